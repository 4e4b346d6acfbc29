#include "support/temp_folder.h"
#include "ui/application.h"
#include "ui/controls.h"
#include "ui/folder_picker.h"
#include "ui/form.h"
#include "ui/qt/widget.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>
#include <unistd.h>

namespace {

using ui::qt::Widget;

class Window : public TForm {
public:
    explicit Window(const std::string& caption) : TForm(caption, 300, 200, biSystemMenu) {}
};

TEST(FolderPickerTest, BlocksOnlyItsOwnerAndStartsAtTheTopWhereverTheProcessIs) {
    Application.Initialize();
    Window other("Main page");
    Window owner("Settings");
    auto* about = new TButton(&other, "&About", 10, 10, 80, 25);
    auto* ok = new TButton(&owner, "&OK", 10, 10, 80, 25);
    int aboutPresses = 0;
    int okPresses = 0;
    about->SetOnClick([&] { ++aboutPresses; });
    ok->SetOnClick([&] { ++okPresses; });
    other.Show();
    owner.Show();
    testing_support::TempFolder elsewhere;
    char previous[4096];
    ASSERT_NE(getcwd(previous, sizeof previous), nullptr);
    ASSERT_EQ(chdir(elsewhere.Path().c_str()), 0);

    QString startFolder;
    QTimer::singleShot(0, [&] {
        auto* picker = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(picker, nullptr);
        startFolder = picker->directory().absolutePath();
        QTest::mouseClick(Widget(&other)->windowHandle(), Qt::LeftButton, Qt::NoModifier,
                          Widget(about)->geometry().center());
        QTest::mouseClick(Widget(&owner)->windowHandle(), Qt::LeftButton, Qt::NoModifier,
                          Widget(ok)->geometry().center());
        picker->reject();
    });
    const auto chosen = ui::BrowseForFolder(owner.Handle(), "Select a folder");
    ASSERT_EQ(chdir(previous), 0);

    EXPECT_FALSE(chosen.has_value());
    EXPECT_EQ(startFolder.toStdString(), QDir::rootPath().toStdString());
    EXPECT_EQ(aboutPresses, 1) << "another window's button works while the picker is open";
    EXPECT_EQ(okPresses, 0) << "the owner waits for the picker";
}

} // namespace
