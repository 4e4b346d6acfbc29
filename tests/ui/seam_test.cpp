#include "ui/folder_picker.h"
#include "ui/message_box.h"
#include "ui/shell_execute.h"
#include "ui/win_help.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

TEST(SeamRecorder, RecordsEveryCallAndAnswersQueuedAnswersFirst) {
    ui::FolderPickerRecorder picker;
    picker.QueueAnswer(std::string("/tmp/first"));
    picker.SetAnswer(std::string("/tmp/always"));

    EXPECT_EQ(ui::BrowseForFolder(nullptr, "Pick one"), "/tmp/first");
    EXPECT_EQ(ui::BrowseForFolder(nullptr, "Pick two"), "/tmp/always");
    picker.SetAnswer(std::nullopt);
    EXPECT_EQ(ui::BrowseForFolder(nullptr, "Pick three"), std::nullopt);

    ASSERT_EQ(picker.Count(), 3u);
    EXPECT_EQ(picker.Calls()[0].prompt, "Pick one");
    EXPECT_EQ(picker.Last().prompt, "Pick three");
}

TEST(SeamRecorder, LooksAtTheProgramWhileTheCallIsOpen) {
    ui::MessageBoxRecorder boxes;
    int state = 1;
    std::vector<int> seen;
    boxes.WhileOpen([&](const ui::MessageBoxCall&) { seen.push_back(state); });
    MessageBoxA(nullptr, "first", "Brisvane", MB_OK | MB_ICONINFORMATION);
    state = 2;
    EXPECT_EQ(MessageBoxA(nullptr, "second", "Brisvane", MB_OK), IDOK);
    EXPECT_EQ(seen, (std::vector<int>{1, 2}));
    EXPECT_EQ(boxes.Calls()[0].type, MB_OK | MB_ICONINFORMATION);
    EXPECT_EQ(boxes.Calls()[0].owner, nullptr);
}

TEST(SeamRecorder, NestedRecordersGiveTheCallBackToTheOuterOneWhenTheyGo) {
    ui::WinHelpRecorder outer;
    {
        ui::WinHelpRecorder inner;
        WinHelpA(nullptr, "\\brisvan.hlp", HELP_QUIT, 0);
        EXPECT_EQ(inner.Count(), 1u);
    }
    WinHelpA(nullptr, "C:\\Tools\\brisvan.hlp", HELP_CONTEXT, 1);
    ASSERT_EQ(outer.Count(), 1u);
    EXPECT_EQ(outer.Last().helpFile, "C:\\Tools\\brisvan.hlp");
    EXPECT_EQ(outer.Last().command, HELP_CONTEXT);
    EXPECT_EQ(outer.Last().data, 1u);
}

TEST(SeamRecorder, ShellExecuteKeepsEveryArgumentAndMissingOnesReadEmpty) {
    ui::ShellExecuteRecorder shell;
    HINSTANCE result =
        ShellExecuteA(nullptr, "open", "http://example.invalid/x?102", nullptr, nullptr, SW_SHOW);
    EXPECT_GT(reinterpret_cast<std::uintptr_t>(result), 32u);
    ASSERT_EQ(shell.Count(), 1u);
    EXPECT_EQ(shell.Last().verb, "open");
    EXPECT_EQ(shell.Last().file, "http://example.invalid/x?102");
    EXPECT_EQ(shell.Last().parameters, "");
    EXPECT_EQ(shell.Last().showCommand, SW_SHOW);
}

} // namespace
