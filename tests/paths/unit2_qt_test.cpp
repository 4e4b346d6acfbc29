// What only the Qt backend can show: the widgets' parents and fonts, the group frames as
// painted, and the bytes behind text typed into an edit.
#include "settings_dialog_fixture.h"
#include "support/window_driver.h"
#include "ui/qt/widget.h"
#include "ui/qt/window_font.h"
#include "ui/window_frame.h"

#include <QApplication>
#include <QTest>

namespace {

using namespace settings_dialog_test;
using ui::qt::Widget;

TEST_F(SettingsDialogTest, ControlsCarryTheirCaptionsPlacesAndParents) {
    TForm2 dialog;
    EXPECT_EQ(dialog.Caption(), "Settings");
    EXPECT_EQ(Widget(&dialog)->width(), ui::ClientWidth(439));
    EXPECT_EQ(Widget(&dialog)->height(), ui::ClientHeight(284));
    EXPECT_FALSE(Widget(&dialog)->windowFlags() & Qt::WindowMaximizeButtonHint);
    EXPECT_TRUE(Widget(&dialog)->windowFlags() & Qt::WindowMinimizeButtonHint);

    EXPECT_EQ(dialog.Label1->Caption(), "Browser Path Settings");
    EXPECT_EQ(Widget(dialog.Label1)->geometry(), QRect(8, 8, 417, 25));
    EXPECT_TRUE(Widget(dialog.Label1)->alignment() & Qt::AlignHCenter);
    // Times New Roman where the system has it, else the serif that stands in for it.
    EXPECT_EQ(Widget(dialog.Label1)->font().family(), ui::InstalledFamily("Times New Roman"));
    EXPECT_TRUE(Widget(dialog.Label1)->font().bold());
    EXPECT_EQ(Widget(dialog.Label1)->font().pixelSize(), 16);
    EXPECT_EQ(Widget(dialog.GroupBox1)->title(), " Internet Explorer ");
    EXPECT_EQ(Widget(dialog.GroupBox1)->geometry(), QRect(8, 32, 417, 113));
    EXPECT_EQ(Widget(dialog.GroupBox2)->title(), " Netscape ");
    EXPECT_EQ(Widget(dialog.GroupBox2)->geometry(), QRect(8, 152, 417, 65));

    struct Expected {
        QWidget* control;
        QWidget* parent;
        QString text;
        QRect bounds;
    };
    const std::vector<Expected> controls = {
        {Widget(dialog.Label2), Widget(dialog.GroupBox1), "Cookie:", {8, 16, 36, 13}},
        {Widget(dialog.Label3), Widget(dialog.GroupBox1), "Favorites:", {216, 16, 46, 13}},
        {Widget(dialog.Label4), Widget(dialog.GroupBox1), "History:", {8, 56, 35, 13}},
        {Widget(dialog.Label5), Widget(dialog.GroupBox1), "Cache:", {216, 56, 34, 13}},
        {Widget(dialog.Edit1), Widget(dialog.GroupBox1), "Edit1", {8, 32, 153, 21}},
        {Widget(dialog.Edit2), Widget(dialog.GroupBox1), "Edit2", {216, 32, 153, 21}},
        {Widget(dialog.Edit3), Widget(dialog.GroupBox1), "Edit3", {8, 72, 153, 21}},
        {Widget(dialog.Edit4), Widget(dialog.GroupBox1), "Edit4", {216, 72, 153, 21}},
        {Widget(dialog.Button5), Widget(dialog.GroupBox1), "...", {168, 32, 25, 17}},
        {Widget(dialog.Button6), Widget(dialog.GroupBox1), "...", {168, 72, 25, 17}},
        {Widget(dialog.Button7), Widget(dialog.GroupBox1), "...", {376, 32, 25, 17}},
        {Widget(dialog.Button8), Widget(dialog.GroupBox1), "...", {376, 72, 25, 17}},
        {Widget(dialog.Label6),
         Widget(dialog.GroupBox2),
         "Netscape v4.x Directory:",
         {8, 16, 117, 13}},
        {Widget(dialog.Label7),
         Widget(dialog.GroupBox2),
         "Netsape v3.x Netscape Directory:",
         {216, 16, 160, 13}},
        {Widget(dialog.Edit5), Widget(dialog.GroupBox2), "Edit5", {8, 32, 153, 21}},
        {Widget(dialog.Edit6), Widget(dialog.GroupBox2), "Edit6", {216, 32, 153, 21}},
        {Widget(dialog.Button9), Widget(dialog.GroupBox2), "...", {376, 32, 25, 17}},
        {Widget(dialog.Button10), Widget(dialog.GroupBox2), "...", {168, 32, 25, 17}},
        {Widget(dialog.Button4), Widget(&dialog), "&Reset", {8, 224, 73, 25}},
        {Widget(dialog.Button3), Widget(&dialog), "&Cancel", {176, 224, 73, 25}},
        {Widget(dialog.Button2), Widget(&dialog), "&Help", {264, 224, 73, 25}},
        {Widget(dialog.Button1), Widget(&dialog), "&OK", {352, 224, 73, 25}},
    };
    for (const Expected& expected : controls) {
        QString text;
        if (auto* label = qobject_cast<QLabel*>(expected.control))
            text = label->text();
        else if (auto* edit = qobject_cast<QLineEdit*>(expected.control))
            text = edit->text();
        else if (auto* button = qobject_cast<QPushButton*>(expected.control))
            text = button->text();
        EXPECT_EQ(text, expected.text);
        EXPECT_EQ(expected.control->parentWidget(), expected.parent) << text.toStdString();
        const QRect bounds = expected.control->geometry();
        if (qobject_cast<QLabel*>(expected.control)) {
            // Row labels size themselves to their text, whatever font stands in.
            EXPECT_EQ(bounds.topLeft(), expected.bounds.topLeft()) << text.toStdString();
            EXPECT_EQ(bounds.height(), expected.bounds.height());
            EXPECT_GE(bounds.width(), expected.control->fontMetrics().horizontalAdvance(text));
        } else {
            EXPECT_EQ(bounds, expected.bounds) << text.toStdString();
        }
    }
}

// The first row, from the top of the box, that differs from the dialog's background right of
// the caption: the frame's top edge.
int FrameTop(const QImage& dialog, const QRect& box) {
    const int x = box.right() - 20;
    const QRgb background = dialog.pixel(x, box.y() - 2);
    for (int y = box.y(); y < box.bottom(); ++y)
        if (dialog.pixel(x, y) != background)
            return y - box.y();
    return -1;
}

TEST_F(SettingsDialogTest, GroupFramesRunThroughTheirCaptionsAboveTheFirstRowOfLabels) {
    TForm2 dialog;
    Widget(&dialog)->show();
    const QImage picture = Widget(&dialog)->grab().toImage();
    for (TGroupBox* group : {dialog.GroupBox1, dialog.GroupBox2}) {
        const int top = FrameTop(picture, Widget(group)->geometry());
        EXPECT_GE(top, 0) << Widget(group)->title().toStdString();
        EXPECT_LT(top, QFontMetrics(Widget(group)->font()).height())
            << Widget(group)->title().toStdString() << ": the top edge crosses the caption";
        EXPECT_LT(top + 2, Widget(dialog.Label2)->y()) << "the labels are inside the frame";
    }
}

TEST_F(SettingsDialogTest, TabOrderRunsThroughEachGroupThenTheButtonsAndNoneIsDefault) {
    TForm2 dialog;
    std::vector<QWidget*> chain;
    QWidget* widget = Widget(dialog.Edit1);
    do {
        if ((widget->focusPolicy() & Qt::TabFocus) && Widget(&dialog)->isAncestorOf(widget))
            chain.push_back(widget);
        widget = widget->nextInFocusChain();
    } while (widget != Widget(dialog.Edit1));

    const std::vector<QWidget*> expected = {
        Widget(dialog.Edit1),   Widget(dialog.Edit2),   Widget(dialog.Edit3),
        Widget(dialog.Edit4),   Widget(dialog.Button5), Widget(dialog.Button6),
        Widget(dialog.Button7), Widget(dialog.Button8), Widget(dialog.Edit5),
        Widget(dialog.Edit6),   Widget(dialog.Button9), Widget(dialog.Button10),
        Widget(dialog.Button4), Widget(dialog.Button3), Widget(dialog.Button2),
        Widget(dialog.Button1)};
    EXPECT_EQ(chain, expected);
    EXPECT_EQ(dialog.DefaultButton(), nullptr);
    for (QPushButton* button : Widget(&dialog)->findChildren<QPushButton*>())
        EXPECT_FALSE(button->isDefault() || button->autoDefault());
}

TEST_F(SettingsDialogTest, AnEditKeepsTheLoadedBytesOfTheTextTheUserDidNotChange) {
    SetText(HKEY_CURRENT_USER, layout::kPathsKey, "IE Cookie", "C:\\J\xFCrgen\\Cookies");
    CreateWindows();
    Form2->Show();

    Widget(Form2->Edit1)->end(false);
    window_driver::Type(*Form2->Edit1, "\\Old");
    Widget(Form2->Edit1)->setCursorPosition(3);
    Widget(Form2->Edit1)->insert(QString::fromUtf8("\u00E9"));
    Form2->Edit2->SetText("C:\\Fav");
    Widget(Form2->Edit2)->end(false);
    window_driver::Type(*Form2->Edit2, "orites");
    Form2->Button1->Click();

    EXPECT_EQ(ValueText(HKEY_CURRENT_USER, layout::kPathsKey, "IE Cookie"),
              "C:\\\xC3\xA9J\xFCrgen\\Cookies\\Old")
        << "typed text is UTF-8; the bytes around it are as loaded";
    EXPECT_EQ(ValueText(HKEY_CURRENT_USER, layout::kPathsKey, "IE Favorites"), "C:\\Favorites");
}

TEST_F(SettingsDialogTest, ALoadedByteThatIsNotUtf8ShowsAsTheCodePagesCharacter) {
    SetText(HKEY_CURRENT_USER, layout::kPathsKey, "IE Cookie", "C:\\Users\\J\xFCrgen\\Cookies");
    CreateWindows();
    EXPECT_EQ(Widget(Form2->Edit1)->text(), QString::fromUtf8("C:\\Users\\J\u00FCrgen\\Cookies"));
}

} // namespace
