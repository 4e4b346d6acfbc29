// The purge's two shortcuts on Linux must not change what it deletes: unlinks handed to the
// kernel in batches, and a file system's "no extended attributes here" taken as said for good.
#include "cleaner/folder_purge.h"
#include "cleaner_test_helpers.h"
#include "folder_fixture.h"
#include "platform/posix/unlink_batching.h"
#include "platform/posix/unlink_ring.h"
#include "platform/win32.h"
#include "support/child_process.h"
#include "support/file_setup.h"
#include "support/temp_folder.h"

#include <cctype>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <gtest/gtest.h>
#include <map>
#include <set>
#include <string>
#include <sys/syscall.h>
#include <sys/xattr.h>
#include <unistd.h>

namespace fs = std::filesystem;
using namespace testing_support;
using brisvane::platform::posix::SetUnlinkBatching;
using brisvane::platform::posix::UnlinkBatching;

namespace {

using PurgeShortcutsTest = FolderFixture;

void StoreDosAttrib(const std::string& path, const char* value) {
    ASSERT_EQ(lsetxattr(path.c_str(), "user.DOSATTRIB", value, std::strlen(value), 0), 0) << path;
}

// Files of every kind the purge tells apart, in `folder`, with `plain` plain files beside them:
// enough for several batches.
void FillWithEdgeCases(const std::string& folder, const std::string& outside, int plain) {
    MakeFolder(folder);
    for (int i = 0; i < plain; ++i)
        WriteFile(folder + "/page" + std::to_string(i) + "[1].htm", "x");
    for (const char* odd : {" leading space", "trailing dot.", "new\nline", "back\\slash", "-rf",
                            "caf\xc3\xa9.txt", "*?<>|", ".dotted"})
        WriteFile(folder + "/" + odd, "x");
    WriteFile(folder + "/" + std::string(250, 'n'), "x");
    WriteFile(folder + "/locked-by-mode", "x");
    SetDosAttributes(folder + "/locked-by-mode", FILE_ATTRIBUTE_READONLY);
    WriteFile(folder + "/locked-by-bit", "x");
    StoreDosAttrib(folder + "/locked-by-bit", "0x21");
    WriteFile(folder + "/hidden", "x");
    SetDosAttributes(folder + "/hidden", FILE_ATTRIBUTE_HIDDEN);
    WriteFile(folder + "/system", "x");
    SetDosAttributes(folder + "/system", FILE_ATTRIBUTE_SYSTEM);
    WriteFile(folder + "/.shown", "x");
    SetDosAttributes(folder + "/.shown", 0);
    fs::create_symlink(outside + "/keep.txt", folder + "/link-to-file");
    fs::create_symlink(outside, folder + "/link-to-folder");
    fs::create_symlink(outside + "/gone", folder + "/dangling");
    MakeFolder(folder + "/sub");
    WriteFile(folder + "/sub/inner", "x");
}

// A browser profile whose walks meet every edge case: the cache's first folder, which its walk
// passes over, a file among its later entries, folders that empty and folders that stay;
// History folders to park; parked folders from an earlier run, one holding a folder.
void MakeProfile(const std::string& root, const std::string& outside) {
    FillWithEdgeCases(root + "/Cookies", outside, 600);
    FillWithEdgeCases(root + "/History", outside, 40);
    WriteFile(root + "/History/desktop.ini", "x");
    FillWithEdgeCases(root + "/History/Today", outside, 300);
    FillWithEdgeCases(root + "/History/Week", outside, 5);
    const std::string cache = root + "/Cache";
    FillWithEdgeCases(cache + "/0AAAA", outside, 20);
    FillWithEdgeCases(cache + "/1BBBB", outside, 300);
    for (const char* name : {"2CCCC", "3DDDD"}) {
        MakeFolder(cache + "/" + name);
        for (int i = 0; i < 270; ++i)
            WriteFile(cache + "/" + name + "/f" + std::to_string(i), "x");
    }
    WriteFile(cache + "/4loose.gif", "x");
    WriteFile(cache + "/desktop.ini", "x");
    FillWithEdgeCases(root + "/Install/7", outside, 280);
    MakeFolder(root + "/Install/12");
    for (int i = 0; i < 300; ++i)
        WriteFile(root + "/Install/12/f" + std::to_string(i), "x");
    WriteFile(root + "/Install/brisvane.hlp", "x");
}

void Clean(const std::string& root) {
    if (SetCurrentDirectoryA((root + "/Cookies").c_str()))
        PurgeFiles();
    if (SetCurrentDirectoryA((root + "/History").c_str())) {
        DropDesktopIni();
        PurgeFiles();
        ParkSubfolders(root + "/Install");
    }
    if (SetCurrentDirectoryA((root + "/Cache").c_str()))
        EmptySubfolders();
    PurgeParkedFolders(root + "/Install");
    SetCurrentDirectoryA("/");
}

// What is left, with the numbers History folders were parked under (drawn at random) left out,
// each path counted.
std::map<std::string, int> Left(const std::string& root) {
    std::map<std::string, int> left;
    for (std::string path : Tree(root)) {
        const std::size_t number = std::string("Install/").size();
        if (path.rfind("Install/", 0) == 0 && path.size() > number && std::isdigit(path[number]))
            path = "Install/#" + path.substr(path.find_first_not_of("0123456789", number));
        ++left[path];
    }
    return left;
}

class BatchingFor {
public:
    explicit BatchingFor(UnlinkBatching batching) { SetUnlinkBatching(batching); }
    ~BatchingFor() { SetUnlinkBatching(UnlinkBatching::Measured); }
};

} // namespace

TEST_F(PurgeShortcutsTest, BatchedUnlinksDeleteExactlyWhatPlainOnesDo) {
    const std::string refusal = brisvane::platform::posix::UnlinkRingRefusal();
    if (!refusal.empty())
        GTEST_SKIP() << "no io_uring here, so nothing is batched: " << refusal;
    const std::string outside = Folder("outside", {"keep.txt"});
    std::map<std::string, std::map<std::string, int>> left;
    for (const auto& [label, batching] : {std::pair{"batched", UnlinkBatching::Always},
                                          std::pair{"plain", UnlinkBatching::Never}}) {
        const std::string root = Path(label);
        MakeProfile(root, outside);
        const std::size_t before = Tree(root).size();
        {
            const BatchingFor forced(batching);
            Clean(root);
        }
        left[label] = Left(root);
        EXPECT_LT(Tree(root).size() + 2400, before) << label << ": the plain files went";
    }
    EXPECT_EQ(left["batched"], left["plain"]);
    // What both kept, by the rules of each walk.
    std::map<std::string, int>& kept = left["plain"];
    EXPECT_EQ(kept.count("Cookies/page0[1].htm"), 0u);
    EXPECT_EQ(kept.count("Cookies/locked-by-bit"), 1u);
    EXPECT_EQ(kept.count("Cache/0AAAA/page0[1].htm"), 1u) << "the third entry is passed over";
    EXPECT_EQ(kept.count("Cache/1BBBB/"), 1u) << "it holds a folder of its own";
    EXPECT_EQ(kept.count("Cache/1BBBB/page0[1].htm"), 0u);
    EXPECT_EQ(kept.count("Cache/2CCCC/") + kept.count("Cache/4loose.gif"), 0u);
    EXPECT_EQ(kept.count("Install/brisvane.hlp"), 1u);
    // Today, Week and 7 each hold a folder; 12 and the parked "sub" were emptied and removed.
    EXPECT_EQ(kept["Install/#/"], 3);
    EXPECT_EQ(Tree(outside), std::set<std::string>{"keep.txt"});
}

TEST_F(PurgeShortcutsTest, OnlyNotSupportedIsTakenAsNoAttributesForTheWholeFileSystem) {
    struct Case {
        const char* name;
        std::vector<long> failing; // the reads that fail, with `error`
        int error;
        std::set<std::string> leftInFirst;
        DWORD hiddenSeenAs; // of a file in a second folder, read by its path afterwards
    };
    // The relative read fails; the read by path still works unless told otherwise.
    const std::vector<Case> cases{
        {"not-supported", {kSysGetxattrat}, ENOTSUP, {}, 0},
        {"refused", {kSysGetxattrat}, EIO, {}, FILE_ATTRIBUTE_HIDDEN},
        {"every-read-failing",
         AttributeReadCalls(),
         EIO,
         {"a.txt", "b.txt"},
         FILE_ATTRIBUTE_READONLY},
    };
    for (const Case& c : cases) {
        const std::string first = Folder(std::string(c.name) + "-1", {"a.txt", "b.txt"});
        const std::string second = Folder(std::string(c.name) + "-2", {"hidden.txt"});
        SetDosAttributes(second + "/hidden.txt", FILE_ATTRIBUTE_HIDDEN);
        ASSERT_TRUE(SetCurrentDirectoryA(first.c_str()));

        const ChildOutcome outcome = RunWithFailingCalls(c.failing, c.error, [&] {
            PurgeFiles();
            const DWORD hidden = GetFileAttributesA((second + "/hidden.txt").c_str());
            return hidden == INVALID_FILE_ATTRIBUTES ? 100 : static_cast<int>(hidden & 0x7);
        });
        if (!outcome.ran)
            GTEST_SKIP() << "no seccomp filter can make the attribute reads fail: "
                         << outcome.whyNot;
        EXPECT_EQ(Tree(first), c.leftInFirst) << c.name;
        EXPECT_EQ(outcome.result, static_cast<int>(c.hiddenSeenAs)) << c.name;
    }
}
