#include "ui/application.h"
#include "ui/message_box.h"
#include "ui/qt/window_font.h"

#include <QApplication>
#include <QFontInfo>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <gtest/gtest.h>

namespace {

QMessageBox* OpenBox() {
    for (QWidget* window : QApplication::topLevelWidgets())
        if (auto* box = qobject_cast<QMessageBox*>(window); box && box->isVisible())
            return box;
    return nullptr;
}

TEST(MessageBoxTest, WritesItsTextAndButtonInTheWindowsFont) {
    Application.Initialize();
    const int windowFontHeight = QFontInfo(ui::WindowFont()).pixelSize();
    int textHeight = 0;
    int buttonHeight = 0;
    QTimer::singleShot(0, [&] {
        QMessageBox* box = OpenBox();
        ASSERT_NE(box, nullptr);
        const auto* text = box->findChild<QLabel*>("qt_msgbox_label");
        ASSERT_NE(text, nullptr);
        textHeight = QFontInfo(text->font()).pixelSize();
        buttonHeight = QFontInfo(box->button(QMessageBox::Ok)->font()).pixelSize();
        box->button(QMessageBox::Ok)->click();
    });
    EXPECT_EQ(MessageBoxA(nullptr, "Some text", "Brisvane", MB_OK | MB_ICONINFORMATION), IDOK);
    EXPECT_EQ(textHeight, windowFontHeight);
    EXPECT_EQ(buttonHeight, windowFontHeight);
}

} // namespace
