#include "app/unit1.h"
#include "app/unit4.h"
#include "app_fixture.h"
#include "settings/registry.h"
#include "settings/registry_layout.h"
#include "support/environment.h"
#include "support/registry_values.h"
#include "support/window_driver.h"
#include "ui/application.h"
#include "ui/message_box.h"
#include "ui/post_quit_message.h"
#include "ui/shell_execute.h"
#include "ui/win_help.h"

#include <optional>
#include <ostream>

namespace {

using app_test::Bounds;
using app_test::Rect;
using app_test::RunLoopWith;
using app_test::SetText;

constexpr const char* kMissingEntry =
    "Brisvane's registry entry is missing or has been altered.  Please re-install the program.";

std::string Read(HKEY root, const char* key, const char* name) {
    TRegistry registry;
    registry.SetRoot(root);
    registry.OpenSubkey(key, false);
    return registry.ReadText(name);
}

bool HasRunEntry() {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, layout::kRunKey, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    const LONG rc = RegQueryValueExA(key, layout::kRunEntry, nullptr, nullptr, nullptr, nullptr);
    RegCloseKey(key);
    return rc == ERROR_SUCCESS;
}

// The page as a cleaning run shows it, with the registry prepared first.
class StartWithWindowsTest : public app_test::ProgramTest {
protected:
    void SetUp() override {
        ProgramTest::SetUp();
        // The Run key exists on every Windows system; unticking opens it without create.
        SetText(HKEY_LOCAL_MACHINE, layout::kRunKey, "Other", "/usr/bin/other");
    }
    void ShowPage() {
        StartUp();
        Form1->Show();
        Form4->Show();
    }
    void SetProgramPath(const std::string& path) {
        SetText(HKEY_LOCAL_MACHINE, layout::kAppPathsKey, layout::kProgramPathValue, path);
    }
    void SetFlag(const char* value) {
        SetText(HKEY_CURRENT_USER, layout::kSettingsKey, layout::kWindowsStartFlag, value);
    }
    std::string Flag() const {
        return Read(HKEY_CURRENT_USER, layout::kSettingsKey, layout::kWindowsStartFlag);
    }
    std::string RunEntry() const {
        return Read(HKEY_LOCAL_MACHINE, layout::kRunKey, layout::kRunEntry);
    }
    static std::optional<std::string> UserRunEntry() {
        return testing_support::ValueText(HKEY_CURRENT_USER, layout::kRunKey, layout::kRunEntry);
    }
    void Click() { window_driver::Tick(*Form4->CheckBox1); }
};

class FinishPageTest : public app_test::ProgramTest {
protected:
    void SetUp() override {
        ProgramTest::SetUp();
        StartUp();
        Form1->Show();
        Form4->Show();
    }
};

TEST_F(FinishPageTest, IsFirstShownExactlyOverTheMainPage) {
    EXPECT_EQ(Bounds(*Form4), Bounds(*Form1));
    EXPECT_EQ(Form4->Label1->Caption(),
              "Your system has now been cleared of all selected Internet debris, eliminating "
              "Internet privacy concerns and freeing additional hard drive space.");
    EXPECT_EQ(Bounds(*Form4->Label1), Rect(136, 8, 313, 41));
    EXPECT_EQ(Form4->CheckBox1->Caption(), "Load Brisvane when Windows starts");
    EXPECT_EQ(Bounds(*Form4->CheckBox1), Rect(144, 72, 297, 17));
    EXPECT_TRUE(window_driver::HasFocus(*Form4->CheckBox1));
    EXPECT_EQ(Form4->Button6->Caption(), "Check for &Upgrades");
    EXPECT_EQ(Bounds(*Form4->Button6), Rect(328, 216, 121, 25));
    EXPECT_EQ(window_driver::PictureSize(*Form4->Image1), std::make_pair(121, 233));
}

TEST_F(FinishPageTest, FinishedIsTheDisabledDefaultButtonSoEnterOnANonButtonDoesNothing) {
    auto* option = new TCheckBox(Form4, "Option", 144, 72, 297, 17);
    int finished = 0;
    Form4->Button5->SetOnClick([&finished] { ++finished; });
    ui::PostQuitMessageRecorder quits;
    window_driver::Press(*option, window_driver::Key::Enter);
    window_driver::PressMnemonic(*Form4, 'F');

    EXPECT_EQ(Form4->DefaultButton(), Form4->Button5);
    EXPECT_TRUE(window_driver::IsBold(*Form4->Button5));
    EXPECT_FALSE(Form4->Button5->Enabled());
    EXPECT_EQ(finished, 0);
    EXPECT_EQ(quits.Count(), 0u);
    EXPECT_TRUE(Form4->Visible());
}

TEST_F(FinishPageTest, BackHidesThePageAndBringsTheMainPageForward) {
    window_driver::Click(*Form4->Button4);
    EXPECT_FALSE(Form4->Visible());
    EXPECT_TRUE(Form1->Visible());
    Form4->Show();
    EXPECT_TRUE(Form4->Visible());
}

TEST_F(FinishPageTest, ClosingFromTheTitleBarOnlyHidesIt) {
    ui::PostQuitMessageRecorder quits;
    ui::WinHelpRecorder help;
    window_driver::CloseFromTitleBar(*Form4);
    EXPECT_FALSE(Form4->Visible());
    EXPECT_TRUE(Form1->Visible());
    EXPECT_EQ(quits.Count(), 0u);
    EXPECT_EQ(help.Count(), 0u);
}

TEST_F(FinishPageTest, CloseEndsTheProgramAfterReleasingTheHelpViewer) {
    app_test::SetText(HKEY_LOCAL_MACHINE, layout::kAppPathsKey, layout::kInstallFolderValue,
                      "/opt/brisvane");
    ui::WinHelpRecorder help;
    EXPECT_EQ(RunLoopWith({[] { window_driver::Click(*Form4->Button3); }}), 0);
    ASSERT_EQ(help.Count(), 1u);
    EXPECT_EQ(help.Last().helpFile, "/opt/brisvane\\brisvan.hlp");
    EXPECT_EQ(help.Last().command, HELP_QUIT);
}

TEST_F(StartWithWindowsTest, ShowingThePageWritesOnlyWhenTheFlagDiffersFromTheBox) {
    SetProgramPath("C:\\Tools\\brisvan.exe");
    const std::string before = testing_support::HiveSnapshot(m_sandbox);
    ShowPage();
    EXPECT_FALSE(Form4->CheckBox1->Checked());
    EXPECT_EQ(testing_support::HiveSnapshot(m_sandbox), before) << "no flag: nothing is written";

    // Another instance ticked the option with an older path: the Run entry is rebuilt from the
    // App Paths entry as it is now, and showing again with the flag unchanged writes nothing.
    Form4->Button4Click();
    SetFlag("true");
    SetText(HKEY_LOCAL_MACHINE, layout::kRunKey, layout::kRunEntry, "C:\\Old\\brisvan.exe");
    Form4->Show();
    EXPECT_TRUE(Form4->CheckBox1->Checked());
    EXPECT_EQ(RunEntry(), "C:\\Tools\\brisvan.exe");
    Form4->Button4Click();
    const std::string shown = testing_support::HiveSnapshot(m_sandbox);
    Form4->Show();
    EXPECT_TRUE(Form4->CheckBox1->Checked());
    EXPECT_EQ(testing_support::HiveSnapshot(m_sandbox), shown);
}

TEST_F(StartWithWindowsTest, TickingStoresThePathExactlyAndUntickingRemovesOnlyTheEntry) {
    SetProgramPath("C:\\Tools\\brisvan.exe");
    ShowPage();
    Click();
    EXPECT_EQ(Flag(), "true");
    EXPECT_EQ(RunEntry(), "C:\\Tools\\brisvan.exe");

    Click();
    EXPECT_EQ(Flag(), "false");
    EXPECT_FALSE(HasRunEntry());
    EXPECT_EQ(Read(HKEY_LOCAL_MACHINE, layout::kRunKey, "Other"), "/usr/bin/other");

    // The Run entry was removed behind the program's back: unticking changes only the flag.
    Form4->CheckBox1->SetChecked(true);
    {
        TRegistry run;
        run.SetRoot(HKEY_LOCAL_MACHINE);
        run.OpenSubkey(layout::kRunKey, false);
        ASSERT_TRUE(run.RemoveValue(layout::kRunEntry));
    }
    const std::string machine = testing_support::HiveSnapshot(m_sandbox, "HKEY_LOCAL_MACHINE");
    ui::MessageBoxRecorder boxes;
    Click();
    EXPECT_EQ(Flag(), "false");
    EXPECT_EQ(testing_support::HiveSnapshot(m_sandbox, "HKEY_LOCAL_MACHINE"), machine);
    EXPECT_EQ(boxes.Count(), 0u);
}

TEST_F(StartWithWindowsTest, TickingWithoutTheProgramsEntryWarnsAndLeavesTheOptionOff) {
    ShowPage();
    ui::MessageBoxRecorder boxes;
    bool tickedWhileOpen = false;
    boxes.WhileOpen(
        [&](const ui::MessageBoxCall&) { tickedWhileOpen = Form4->CheckBox1->Checked(); });
    Click();
    ASSERT_EQ(boxes.Count(), 1u);
    EXPECT_EQ(boxes.Last().owner, nullptr);
    EXPECT_EQ(boxes.Last().text, kMissingEntry);
    EXPECT_EQ(boxes.Last().caption, "Brisvane");
    EXPECT_EQ(boxes.Last().type, UINT(MB_OK | MB_ICONERROR));
    EXPECT_TRUE(tickedWhileOpen);
    EXPECT_FALSE(Form4->CheckBox1->Checked());
    EXPECT_EQ(Flag(), "false");
    EXPECT_FALSE(HasRunEntry());
}

TEST_F(StartWithWindowsTest, AStoredFlagWithoutTheProgramsEntryEndsUntickedWhileShowing) {
    SetFlag("true");
    SetText(HKEY_LOCAL_MACHINE, layout::kRunKey, layout::kRunEntry, "C:\\Old\\brisvan.exe");
    ui::MessageBoxRecorder boxes;
    ShowPage();
    ASSERT_EQ(boxes.Count(), 1u);
    EXPECT_EQ(boxes.Last().text, kMissingEntry);
    EXPECT_FALSE(Form4->CheckBox1->Checked());
    EXPECT_EQ(Flag(), "false");
    EXPECT_FALSE(HasRunEntry());
}

TEST_F(StartWithWindowsTest, AMissingRunKeyIsReportedAfterTheFlagWasStored) {
    SetProgramPath("C:\\Tools\\brisvan.exe");
    {
        TRegistry machine;
        machine.SetRoot(HKEY_LOCAL_MACHINE);
        ASSERT_TRUE(machine.RemoveKey(layout::kRunKey));
    }
    ShowPage();
    ui::MessageBoxRecorder boxes;
    Click();
    ASSERT_EQ(boxes.Count(), 1u);
    EXPECT_EQ(boxes.Last().text, "Failed to set data for 'Brisvane'.");
    EXPECT_EQ(boxes.Last().owner, Application.Handle());
    EXPECT_TRUE(Form4->CheckBox1->Checked());
    EXPECT_EQ(Flag(), "true");
    EXPECT_FALSE(HasRunEntry());

    // Unticking in the same state stores "false" and reports nothing.
    Click();
    EXPECT_EQ(boxes.Count(), 1u);
    EXPECT_EQ(Flag(), "false");
}

TEST_F(StartWithWindowsTest, WhereTheMachinesRunKeyRefusesWritingTheUsersRunKeyStartsIt) {
    // As a standard user meets HKEY_LOCAL_MACHINE: readable, every write refused.
    SetProgramPath("C:\\Tools\\brisvan.exe");
    testing_support::DenyMachineWrites(m_sandbox);
    const std::string machine = testing_support::HiveSnapshot(m_sandbox, "HKEY_LOCAL_MACHINE");
    ShowPage();
    ui::MessageBoxRecorder boxes;
    Click();
    EXPECT_EQ(boxes.Count(), 0u) << boxes.Last().text;
    EXPECT_TRUE(Form4->CheckBox1->Checked());
    EXPECT_EQ(Flag(), "true");
    EXPECT_EQ(UserRunEntry(), "C:\\Tools\\brisvan.exe");
    Form4->Button4Click();
    Form4->Show();
    EXPECT_TRUE(Form4->CheckBox1->Checked());

    Click();
    EXPECT_EQ(Flag(), "false");
    EXPECT_EQ(UserRunEntry(), std::nullopt);
    EXPECT_EQ(testing_support::HiveSnapshot(m_sandbox, "HKEY_LOCAL_MACHINE"), machine);
    EXPECT_EQ(boxes.Count(), 0u);
}

constexpr const char* kProgram = "C:\\Tools\\brisvan.exe";
constexpr const char* kOldProgram = "C:\\Old\\brisvan.exe";

struct RunKeysCase {
    const char* name;
    const char* machineEntry; // nullptr: none
    const char* userEntry;
    bool machineWritable;
    const char* machineAfter;
    const char* userAfter;
};

void PrintTo(const RunKeysCase& test, std::ostream* out) {
    *out << test.name;
}

class RunKeysTest : public StartWithWindowsTest, public testing::WithParamInterface<RunKeysCase> {};

std::optional<std::string> Optional(const char* text) {
    return text ? std::optional<std::string>(text) : std::nullopt;
}

TEST_P(RunKeysTest, EitherRunKeyTicksTheBoxAndTheProgramIsEnteredOnce) {
    const RunKeysCase& test = GetParam();
    SetProgramPath(kProgram);
    if (test.machineEntry)
        SetText(HKEY_LOCAL_MACHINE, layout::kRunKey, layout::kRunEntry, test.machineEntry);
    if (test.userEntry)
        SetText(HKEY_CURRENT_USER, layout::kRunKey, layout::kRunEntry, test.userEntry);
    if (!test.machineWritable)
        testing_support::DenyMachineWrites(m_sandbox);
    ui::MessageBoxRecorder boxes;
    ShowPage();
    EXPECT_EQ(boxes.Count(), 0u);
    EXPECT_TRUE(Form4->CheckBox1->Checked()) << "no flag stored, an entry in a Run key";
    EXPECT_EQ(Flag(), "true");
    EXPECT_EQ(testing_support::ValueText(HKEY_LOCAL_MACHINE, layout::kRunKey, layout::kRunEntry),
              Optional(test.machineAfter));
    EXPECT_EQ(UserRunEntry(), Optional(test.userAfter));
}

INSTANTIATE_TEST_SUITE_P(
    StartWithWindows, RunKeysTest,
    testing::Values(
        // An earlier tick refused by the machine's key wrote the user's; now the machine's may
        // be written, and the user's goes so that the program does not start twice.
        RunKeysCase{"UsersEntryMachineWritable", nullptr, kOldProgram, true, kProgram, nullptr},
        // An elevated run or another user wrote the machine's, which starts it for everybody.
        RunKeysCase{"MachinesEntryMachineRefusing", kProgram, nullptr, false, kProgram, nullptr},
        RunKeysCase{"MachinesOlderEntryMachineRefusing", kOldProgram, nullptr, false, kOldProgram,
                    kProgram}),
    [](const testing::TestParamInfo<RunKeysCase>& info) { return info.param.name; });

TEST_F(FinishPageTest, UpgradeCheckShowsTheNoticeBeforeOpeningTheAddress) {
    ui::MessageBoxRecorder boxes;
    ui::ShellExecuteRecorder shell;
    std::size_t openedBeforeOk = 99;
    boxes.WhileOpen([&](const ui::MessageBoxCall&) { openedBeforeOk = shell.Count(); });
    window_driver::Click(*Form4->Button6);

    ASSERT_EQ(boxes.Count(), 1u);
    EXPECT_EQ(openedBeforeOk, 0u);
    EXPECT_EQ(boxes.Last().owner, nullptr);
    EXPECT_EQ(boxes.Last().caption, "Brisvane");
    EXPECT_EQ(boxes.Last().type, UINT(MB_OK | MB_ICONINFORMATION));
    EXPECT_EQ(boxes.Last().text,
              "Brisvane will now attempt to launch your default web browser and will point the "
              "browser to our upgrade retrieval system.  If this fails to work, you can still "
              "find out whether you have the latest version by visiting "
              "\"www.tessmark.example.\"\n\nPress \"OK\" to continue...");
    ASSERT_EQ(shell.Count(), 1u);
    EXPECT_EQ(shell.Last().owner, nullptr);
    EXPECT_EQ(shell.Last().verb, "open");
    EXPECT_EQ(shell.Last().file, "http://www.tessmark.example/cgi-bin/brisvane/upgrade.cgi?102");
    EXPECT_EQ(shell.Last().parameters, "");
    EXPECT_EQ(shell.Last().directory, "");
    EXPECT_EQ(shell.Last().showCommand, SW_SHOW);
}

} // namespace
