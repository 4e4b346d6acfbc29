#include "ui/form.h"

#include "ui/application.h"
#include "ui/controls.h"
#include "ui/guard.h"
#include "ui/qt/handle.h"
#include "ui/qt/picture.h"
#include "ui/qt/widget.h"
#include "ui/qt/window_font.h"
#include "ui/window_frame.h"

#include <QCloseEvent>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QScreen>
#include <QThread>
#include <QWindow>

using ui::qt::Widget;

namespace {

Qt::WindowFlags FlagsFor(unsigned borderIcons) {
    Qt::WindowFlags flags = Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint;
    if (borderIcons & biSystemMenu)
        flags |= Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
    if (borderIcons & biMinimize)
        flags |= Qt::WindowMinimizeButtonHint;
    if (borderIcons & biMaximize)
        flags |= Qt::WindowMaximizeButtonHint;
    return flags;
}

// The window behind a TForm: closing from the title bar and Enter go to the form.
class FormWidget : public QWidget {
public:
    FormWidget(TForm& form, unsigned borderIcons)
        : QWidget(nullptr, FlagsFor(borderIcons)), m_form(form) {}

protected:
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    TForm& m_form;
};

void FormWidget::closeEvent(QCloseEvent* event) {
    // The window stays unless TitleBarClose hides it itself.
    event->ignore();
    ui::Guard([this] { m_form.TitleBarClose(); });
}

void FormWidget::keyPressEvent(QKeyEvent* event) {
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    if (!enter || (event->modifiers() & ~Qt::KeypadModifier) != Qt::NoModifier) {
        QWidget::keyPressEvent(event);
        return;
    }
    event->accept();
    if (auto* focused = qobject_cast<QPushButton*>(focusWidget())) {
        if (focused->isEnabled())
            focused->click();
        return;
    }
    QPushButton* byDefault = m_form.DefaultButton() ? Widget(m_form.DefaultButton()) : nullptr;
    if (byDefault && byDefault->isEnabled() && byDefault->isVisible())
        byDefault->click();
}

void CentreOnScreen(QWidget* window, int outerWidth, int outerHeight) {
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen)
        return;
    const QRect area = screen->geometry();
    window->move(area.x() + (area.width() - outerWidth) / 2,
                 area.y() + (area.height() - outerHeight) / 2);
}

void FocusFirstControl(QWidget* window, const std::vector<TControl*>& tabOrder) {
    if (window->focusWidget())
        return;
    for (const TControl* control : tabOrder) {
        QWidget* widget = Widget(control);
        if (widget->isEnabled() && widget->isVisibleTo(window) &&
            (widget->focusPolicy() & Qt::TabFocus)) {
            widget->setFocus(Qt::ActiveWindowFocusReason);
            return;
        }
    }
}

} // namespace

TForm::TForm(const std::string& caption, int outerWidth, int outerHeight, unsigned borderIcons)
    : TControl(nullptr), m_outerWidth(outerWidth), m_outerHeight(outerHeight),
      m_borderIcons(borderIcons) {
    auto* window = new FormWidget(*this, borderIcons);
    Attach(new ui::Native{window});
    window->setAttribute(Qt::WA_DeleteOnClose, false);
    window->setWindowTitle(QString::fromStdString(caption));
    window->setFixedSize(ui::ClientWidth(outerWidth), ui::ClientHeight(outerHeight));
    window->setFont(ui::WindowFont());
    if (!Application.Icon().Empty())
        window->setWindowIcon(ui::qt::ToQIcon(Application.Icon()));
}

TForm::~TForm() = default;

HWND TForm::Handle() const {
    return ui::ToHandle(Widget(this));
}

std::string TForm::Caption() const {
    return Widget(this)->windowTitle().toStdString();
}

void TForm::SetCaption(const std::string& caption) {
    Widget(this)->setWindowTitle(QString::fromStdString(caption));
}

void TForm::Show() {
    QWidget* window = Widget(this);
    const bool becomesVisible = !window->isVisible();
    if (becomesVisible) {
        if (!m_placed) {
            CentreOnScreen(window, m_outerWidth, m_outerHeight);
            m_placed = true;
        }
        window->setVisible(true);
    } else if (window->isMinimized()) {
        window->setWindowState(window->windowState() & ~Qt::WindowMinimized);
    }
    window->raise();
    window->activateWindow();
    if (becomesVisible) {
        FocusFirstControl(window, m_tabOrder);
        // Called directly: an error here ends the code that showed the window.
        FormShow();
    }
}

void TForm::DrawNow() {
    QWidget* window = Widget(this);
    if (!window->isVisible())
        return;
    constexpr int kExposeWaitMs = 2000;
    QElapsedTimer waited;
    waited.start();
    for (;;) {
        Application.ProcessMessagesExceptInput();
        const QWindow* handle = window->windowHandle();
        if (!handle || handle->isExposed() || waited.elapsed() > kExposeWaitMs)
            break;
        QThread::msleep(5);
    }
    window->repaint();
    // Sends the painted picture on to the display.
    Application.ProcessMessagesExceptInput();
}

void TForm::Hide() {
    Widget(this)->setVisible(false);
}

void TForm::SetDefaultButton(TButton* button) {
    m_defaultButton = button;
    if (button)
        Widget(button)->setFont(ui::BoldWindowFont());
}

void TForm::SetTabOrder(std::initializer_list<TControl*> controls) {
    m_tabOrder.assign(controls.begin(), controls.end());
    for (std::size_t i = 1; i < m_tabOrder.size(); ++i)
        QWidget::setTabOrder(Widget(m_tabOrder[i - 1]), Widget(m_tabOrder[i]));
}
