#include "support/window_driver.h"

#include "ui/qt/widget.h"
#include "ui/window_frame.h"

#include <QAbstractButton>
#include <QApplication>
#include <QEvent>
#include <QTest>
#include <QTimer>
#include <cctype>
#include <gtest/gtest.h>

namespace window_driver {

using ui::qt::Widget;

namespace {

Qt::Key QtKey(Key key) {
    switch (key) {
    case Key::Enter:
        return Qt::Key_Return;
    case Key::Escape:
        return Qt::Key_Escape;
    case Key::Space:
        return Qt::Key_Space;
    case Key::Tab:
        return Qt::Key_Tab;
    }
    return Qt::Key_unknown;
}

} // namespace

void Click(const TButton& button) {
    QTest::mouseClick(Widget(&button), Qt::LeftButton);
}

void Tick(const TCheckBox& box) {
    // The box itself sits at the left; the middle of a wide control may be empty.
    QCheckBox* widget = Widget(&box);
    QTest::mouseClick(widget, Qt::LeftButton, {}, QPoint(5, widget->height() / 2));
}

void Type(const TEdit& edit, const std::string& text) {
    QLineEdit* widget = Widget(&edit);
    widget->setFocus();
    QTest::keyClicks(widget, QString::fromStdString(text));
}

void Press(const TControl& focused, Key key) {
    QWidget* widget = Widget(&focused);
    widget->setFocus();
    QTest::keyClick(widget, QtKey(key));
}

void PressMnemonic(const TForm& form, char letter) {
    const int offset = std::toupper(static_cast<unsigned char>(letter)) - 'A';
    QWidget* window = Widget(&form);
    // Mnemonics answer only in the active window.
    window->activateWindow();
    if (!QTest::qWaitForWindowActive(window))
        ADD_FAILURE() << "the window never became active";
    // As a sequence: a key click with the Alt modifier never reaches the shortcut map.
    QTest::keySequence(window, QKeySequence(Qt::ALT | static_cast<Qt::Key>(Qt::Key_A + offset)));
    // A control pressed by its mnemonic shows itself pressed for 100 ms before it clicks.
    QTest::qWait(200);
}

void CloseFromTitleBar(const TForm& form) {
    Widget(&form)->close();
}

void MoveBy(const TForm& form, int right, int down) {
    QWidget* window = Widget(&form);
    window->move(window->pos() + QPoint(right, down));
}

std::string Caption(const TControl& control) {
    const QWidget* widget = Widget(&control);
    if (widget->isWindow())
        return widget->windowTitle().toStdString();
    if (const auto* button = qobject_cast<const QAbstractButton*>(widget))
        return button->text().toStdString();
    if (const auto* label = qobject_cast<const QLabel*>(widget))
        return label->text().toStdString();
    if (const auto* group = qobject_cast<const QGroupBox*>(widget))
        return group->title().toStdString();
    if (const auto* edit = qobject_cast<const QLineEdit*>(widget))
        return edit->text().toStdString();
    return {};
}

bool HasFocus(const TControl& control) {
    const QWidget* widget = Widget(&control);
    return widget->window()->focusWidget() == widget;
}

bool IsBold(const TControl& control) {
    return Widget(&control)->font().bold();
}

std::pair<int, int> PictureSize(const TImage& image) {
    const QSize size = Widget(&image)->pixmap().size();
    return {std::max(size.width(), 0), std::max(size.height(), 0)};
}

bool ShowsHourGlass(const TControl& control) {
    return Widget(&control)->cursor().shape() == Qt::WaitCursor;
}

std::pair<int, int> OuterSize(const TForm& form) {
    // Offscreen there is no desktop frame: the nominal one around the client area.
    const QSize client = Widget(&form)->size();
    return {client.width() + 2 * ui::kFrameBorder,
            client.height() + ui::kTitleBarHeight + 2 * ui::kFrameBorder};
}

unsigned TitleBarBoxes(const TForm& form) {
    const Qt::WindowFlags flags = Widget(&form)->windowFlags();
    unsigned boxes = 0;
    if (flags & Qt::WindowSystemMenuHint)
        boxes |= biSystemMenu;
    if (flags & Qt::WindowMinimizeButtonHint)
        boxes |= biMinimize;
    if (flags & Qt::WindowMaximizeButtonHint)
        boxes |= biMaximize;
    return boxes;
}

int FontPixelHeight(const TControl& control) {
    return Widget(&control)->font().pixelSize();
}

bool HasIcon(const TForm& form) {
    return !Widget(&form)->windowIcon().isNull();
}

bool ModalWindowOpen() {
    return QApplication::activeModalWidget() != nullptr;
}

void RunUntilIdle() {
    QApplication::sendPostedEvents();
    QApplication::processEvents();
    QApplication::sendPostedEvents();
}

void After(int delayMs, std::function<void()> step) {
    QTimer::singleShot(delayMs, std::move(step));
}

struct ShowCounter::Watch : QObject {
    int count = 0;
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Show)
            ++count;
        return false;
    }
};

ShowCounter::ShowCounter(const TForm& form) : m_watch(std::make_unique<Watch>()) {
    Widget(&form)->installEventFilter(m_watch.get());
}

ShowCounter::~ShowCounter() = default;

int ShowCounter::Count() const {
    return m_watch->count;
}

} // namespace window_driver
