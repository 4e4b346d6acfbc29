#include "support/window_driver.h"

#include "ui/qt/widget.h"

#include <QAbstractButton>
#include <QApplication>
#include <QTest>
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

void RunUntilIdle() {
    QApplication::sendPostedEvents();
    QApplication::processEvents();
    QApplication::sendPostedEvents();
}

} // namespace window_driver
