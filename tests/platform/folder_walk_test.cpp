// The folder walk's holds and deletes where links are put in its way: a folder the user named by
// a link, a subfolder swapped for one between its check and its entering, entries that lead
// elsewhere or are gone. The same cases run on Linux and, built for Windows, under Wine with
// real Unix links, which Wine shows to Windows programs without always saying they are links.
#include "platform/folder_walk.h"
#include "platform/win32.h"
#include "support/environment.h"
#include "support/file_setup.h"
#include "support/temp_folder.h"

#include <gtest/gtest.h>
#include <initializer_list>
#include <map>
#include <string>
#include <utility>

using brisvane::platform::DeleteFileNotLink;
using brisvane::platform::EnterSubfolder;
using brisvane::platform::FolderEntries;
using brisvane::platform::HeldFolder;
using namespace testing_support;

namespace {

constexpr const char* kNoLinks = "this system lets the tests make no symbolic link";

class FolderWalkTest : public ::testing::Test {
protected:
    std::string Path(const std::string& name) const { return m_root / name; }

    std::string Folder(const std::string& name, std::initializer_list<const char*> files = {}) {
        MakeFolder(Path(name));
        for (const char* file : files)
            WriteFile(Path(name) + "/" + file, file);
        return Path(name);
    }

    TempFolder m_root;
    RegistrySandbox m_sandbox; // gives the current folder back before the root goes
};

bool Here(const char* name) {
    return GetFileAttributesA(name) != INVALID_FILE_ATTRIBUTES;
}

} // namespace

TEST_F(FolderWalkTest, HeldFolder_FollowsANamedLinkOnceThenHoldsWhereItLed) {
    const std::string chosen = Folder("chosen", {"in-chosen"});
    const std::string decoy = Folder("decoy", {"in-decoy"});
    if (!MakeSymbolicLink(chosen, Path("named")))
        GTEST_SKIP() << kNoLinks;

    const HeldFolder named = HeldFolder::Open(Path("named"));
    const HeldFolder made = HeldFolder::OpenWithoutFollowing(Path("chosen"));
    EXPECT_FALSE(HeldFolder::OpenWithoutFollowing(Path("named")).Valid());
    ASSERT_TRUE(named.Valid());
    ASSERT_TRUE(made.Valid());
    // Held on Windows without delete sharing: no Windows program may rename it meanwhile.
    if (OnWindows()) {
        EXPECT_FALSE(MoveFileA(chosen.c_str(), Path("renamed").c_str()));
    }

    // The link now leads elsewhere: the folder it led to is still the one held.
    ASSERT_TRUE(MakeSymbolicLink(decoy, Path("named")));
    ASSERT_TRUE(named.MakeCurrent());
    EXPECT_TRUE(Here("in-chosen"));

    // A program that ignores sharing swaps the held folder's own path for a link: making it
    // current lands in the held folder or fails, never in what now stands at the path.
    ASSERT_TRUE(SetCurrentDirectoryA(m_root.Path().c_str()));
    if (!SwapFolderForLink(chosen, decoy))
        return;
    for (const HeldFolder* held : {&named, &made}) {
        const bool entered = held->MakeCurrent();
        EXPECT_FALSE(Here("in-decoy"));
        EXPECT_EQ(entered, Here("in-chosen"));
    }
}

TEST_F(FolderWalkTest, EnterSubfolder_NeverEntersAFolderSwappedForALinkAfterItsCheck) {
    const std::string outside = Folder("outside", {"in-outside"});
    Folder("walked/sub", {"in-sub"});
    ASSERT_TRUE(SetCurrentDirectoryA(Path("walked").c_str()));
    const SwapFolderBeforeEntering swap(outside);
    if (!swap.Installed())
        GTEST_SKIP() << "only the Windows walk has a moment between its check of a subfolder and "
                        "its entering it that a test can reach";

    EXPECT_FALSE(EnterSubfolder("sub"));

    // Still in the walked folder, after the swap.
    EXPECT_TRUE(Here("sub.aside"));
    EXPECT_FALSE(Here("in-outside"));
    EXPECT_TRUE(Here("sub.aside\\in-sub"));
}

TEST_F(FolderWalkTest, FolderEntries_AttributesTellAnEntryGoneOrLeadingElsewhere) {
    const std::string listed = Folder("listed", {"plain", "gone", "locked"});
    SetDosAttributes(listed + "/locked", FILE_ATTRIBUTE_READONLY);
    const std::string outside = Folder("outside", {"target"});
    const bool links = MakeSymbolicLink(outside + "/target", listed + "/file-link");
    ASSERT_TRUE(SetCurrentDirectoryA(listed.c_str()));

    std::map<std::string, DWORD> attributes;
    FolderEntries entries(FolderEntries::Order::AnyOrder);
    while (entries.Next()) {
        if (std::string(entries.Name()) == "gone") {
            ASSERT_TRUE(DeleteFileA("gone"));
        }
        attributes[entries.Name()] = entries.Attributes();
    }

    EXPECT_EQ(attributes["gone"], INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(attributes["plain"], GetFileAttributesA("plain"));
    EXPECT_TRUE(attributes["locked"] & FILE_ATTRIBUTE_READONLY);
    if (links) {
        EXPECT_TRUE(attributes["file-link"] & FILE_ATTRIBUTE_REPARSE_POINT);
    }
}

TEST_F(FolderWalkTest, Deletes_NeverReachWhatALinkLeadsTo) {
    const std::string outside = Folder("outside", {"victim"});
    Folder("outside/folder");
    const std::string listed = Folder("listed", {"plain", "locked", "to-link", "named-plain"});
    SetDosAttributes(listed + "/locked", FILE_ATTRIBUTE_READONLY);
    Folder("listed/folder");
    if (!MakeSymbolicLink(outside + "/victim", listed + "/file-link") ||
        !MakeSymbolicLink(outside + "/folder", listed + "/folder-link") ||
        !MakeSymbolicLink(outside + "/victim", listed + "/named-link"))
        GTEST_SKIP() << kNoLinks;
    ASSERT_TRUE(SetCurrentDirectoryA(listed.c_str()));

    // Each entry as the walk meets it; "to-link" is listed as a plain file, then a link to the
    // outside file is put in its place.
    std::map<std::string, bool> deleted;
    FolderEntries entries(FolderEntries::Order::AnyOrder);
    while (entries.Next()) {
        const std::string name = entries.Name();
        if (name.rfind("named-", 0) == 0)
            continue;
        if (name == "to-link") {
            ASSERT_TRUE(DeleteFileA("to-link"));
            ASSERT_TRUE(MakeSymbolicLink(outside + "/victim", listed + "/to-link"));
        }
        deleted[name] = entries.Delete();
    }
    deleted["named-plain"] = DeleteFileNotLink("named-plain");
    deleted["named-link"] = DeleteFileNotLink("named-link");

    // Our Linux layer removes a link itself; Wine would delete what it leads to, so Windows
    // leaves every link where it is.
    const bool linkRemoved = !OnWindows();
    EXPECT_EQ(deleted, (std::map<std::string, bool>{{"plain", true},
                                                    {"locked", false},
                                                    {"folder", false},
                                                    {"folder-link", false},
                                                    {"file-link", linkRemoved},
                                                    {"to-link", linkRemoved},
                                                    {"named-plain", true},
                                                    {"named-link", false}}));
    EXPECT_EQ(ReadFile(outside + "/victim"), "victim");
    EXPECT_TRUE(Exists(outside + "/folder"));
}
