#include "ui/form.h"

#include "ui/application.h"
#include "ui/controls.h"
#include "ui/guard.h"
#include "ui/window_font.h"
#include "ui/window_frame.h"

#include <QCloseEvent>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QScreen>
#include <QThread>
#include <QWindow>

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

} // namespace

TForm::TForm(const std::string& caption, int outerWidth, int outerHeight, unsigned borderIcons)
    : QWidget(nullptr, FlagsFor(borderIcons)), m_outerWidth(outerWidth),
      m_outerHeight(outerHeight) {
    setAttribute(Qt::WA_DeleteOnClose, false);
    setWindowTitle(QString::fromStdString(caption));
    setFixedSize(ui::ClientWidth(outerWidth), ui::ClientHeight(outerHeight));
    setFont(ui::WindowFont());
    if (!Application.Icon().isNull())
        setWindowIcon(Application.Icon());
}

TForm::~TForm() = default;

std::string TForm::Caption() const {
    return windowTitle().toStdString();
}

void TForm::SetCaption(const std::string& caption) {
    setWindowTitle(QString::fromStdString(caption));
}

void TForm::Show() {
    const bool becomesVisible = !isVisible();
    if (becomesVisible) {
        if (!m_placed) {
            CentreOnScreen();
            m_placed = true;
        }
        setVisible(true);
    } else if (isMinimized()) {
        setWindowState(windowState() & ~Qt::WindowMinimized);
    }
    raise();
    activateWindow();
    if (becomesVisible) {
        FocusFirstControl();
        // Called directly: an error here ends the code that showed the window.
        FormShow();
    }
}

void TForm::DrawNow() {
    if (!isVisible())
        return;
    constexpr int kExposeWaitMs = 2000;
    QElapsedTimer waited;
    waited.start();
    for (;;) {
        Application.ProcessMessagesExceptInput();
        const QWindow* window = windowHandle();
        if (!window || window->isExposed() || waited.elapsed() > kExposeWaitMs)
            break;
        QThread::msleep(5);
    }
    repaint();
    // Sends the painted picture on to the display.
    Application.ProcessMessagesExceptInput();
}

void TForm::Close() {
    if (Application.MainForm() == this)
        Application.Terminate();
    else
        Hide();
}

void TForm::Hide() {
    setVisible(false);
}

void TForm::SetDefaultButton(TButton* button) {
    m_defaultButton = button;
    if (button)
        button->setFont(ui::BoldWindowFont());
}

void TForm::SetTabOrder(std::initializer_list<QWidget*> controls) {
    m_tabOrder.assign(controls.begin(), controls.end());
    for (std::size_t i = 1; i < m_tabOrder.size(); ++i)
        QWidget::setTabOrder(m_tabOrder[i - 1], m_tabOrder[i]);
}

void TForm::closeEvent(QCloseEvent* event) {
    // The window stays unless TitleBarClose hides it itself.
    event->ignore();
    ui::Guard([this] { TitleBarClose(); });
}

void TForm::keyPressEvent(QKeyEvent* event) {
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
    if (m_defaultButton && m_defaultButton->isEnabled() && m_defaultButton->isVisible())
        m_defaultButton->click();
}

void TForm::CentreOnScreen() {
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen)
        return;
    const QRect area = screen->geometry();
    move(area.x() + (area.width() - m_outerWidth) / 2,
         area.y() + (area.height() - m_outerHeight) / 2);
}

void TForm::FocusFirstControl() {
    if (focusWidget())
        return;
    for (QWidget* control : m_tabOrder) {
        if (control->isEnabled() && control->isVisibleTo(this) &&
            (control->focusPolicy() & Qt::TabFocus)) {
            control->setFocus(Qt::ActiveWindowFocusReason);
            return;
        }
    }
}
