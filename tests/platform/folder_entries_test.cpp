// The walks' own listing: the same entries and attributes as the file calls give, and a
// deletion that trusts what the listing read yet never reaches past the listed folder, whatever
// is put in an entry's place after it was listed.
#include "platform/folder_walk.h"
#include "platform/win32.h"
#include "support/temp_folder.h"

#include <filesystem>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <map>
#include <set>
#include <string>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <vector>

namespace fs = std::filesystem;
using brisvane::platform::FolderEntries;
using namespace testing_support;

namespace {

class FolderEntriesTest : public ::testing::Test {
protected:
    void SetUp() override {
        MakeFolder(Path("listed"));
        MakeFolder(Path("outside"));
        ASSERT_TRUE(SetCurrentDirectoryA(Path("listed").c_str()));
    }

    std::string Path(const std::string& name) const { return m_root / name; }
    std::string Listed(const std::string& name) const { return Path("listed/" + name); }

    // Moves `entries` to the entry `name`.
    static void MoveTo(FolderEntries& entries, const std::string& name) {
        while (entries.Next()) {
            if (entries.Name() == name)
                return;
        }
        FAIL() << name << " was not listed";
    }

    RegistrySandbox m_sandbox; // gives the current folder back
    TempFolder m_root;
};

void SetDosAttrib(const std::string& path, const std::string& value) {
    ASSERT_EQ(lsetxattr(path.c_str(), "user.DOSATTRIB", value.data(), value.size(), 0), 0);
}

std::string DosAttrib(const std::string& path) {
    char buffer[64];
    const ssize_t size = lgetxattr(path.c_str(), "user.DOSATTRIB", buffer, sizeof buffer);
    return size < 0 ? "<none>" : std::string(buffer, static_cast<std::size_t>(size));
}

constexpr DWORD kSuccess = ERROR_SUCCESS;

std::string Content(const std::string& path) {
    std::ifstream in(path);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

} // namespace

TEST_F(FolderEntriesTest, GiveEveryEntryOnceAndTellFoldersAndLinksApart) {
    for (const char* name : {"b.txt", "A.txt", "c.txt"})
        WriteFile(Listed(name), "x");
    MakeFolder(Listed("D"));
    fs::create_directory_symlink(Path("outside"), Listed("e-link"));

    std::vector<std::string> ordered;
    std::map<std::string, std::pair<bool, bool>> kinds; // name: folder, link
    FolderEntries listing(FolderEntries::Order::Listing);
    ASSERT_TRUE(listing.Valid());
    while (listing.Next()) {
        ordered.emplace_back(listing.Name());
        kinds[listing.Name()] = {listing.IsFolder(), listing.IsLink()};
    }
    EXPECT_EQ(ordered,
              (std::vector<std::string>{".", "..", "A.txt", "b.txt", "c.txt", "D", "e-link"}));
    EXPECT_EQ(kinds["D"], std::make_pair(true, false));
    EXPECT_EQ(kinds["e-link"], std::make_pair(false, true));
    EXPECT_EQ(kinds["b.txt"], std::make_pair(false, false));

    std::multiset<std::string> unordered;
    FolderEntries any(FolderEntries::Order::AnyOrder);
    while (any.Next())
        unordered.insert(any.Name());
    EXPECT_EQ(unordered, (std::multiset<std::string>{"A.txt", "b.txt", "c.txt", "D", "e-link"}));
}

TEST_F(FolderEntriesTest, AttributesAreThoseTheFileCallsReport) {
    for (const char* name :
         {"plain", "mode-locked", "hidden", "system", "samba-locked", ".dotted", ".shown", "blob"})
        WriteFile(Listed(name), "x");
    chmod(Listed("mode-locked").c_str(), 0444);
    SetDosAttrib(Listed("hidden"), "0x2");
    SetDosAttrib(Listed("system"), "0x4");
    SetDosAttrib(Listed("samba-locked"), "0x21");
    SetDosAttrib(Listed(".shown"), "0x0");
    // Samba's binary form, version 1: "0x6", its zero, version and level, then the bits.
    SetDosAttrib(Listed("blob"), std::string("0x6\0\1\0\1\0\6\0\0\0", 12));
    MakeFolder(Listed("folder"));
    SetDosAttrib(Listed("folder"), "0x2");
    fs::create_directory_symlink(Path("outside"), Listed("folder-link"));
    WriteFile(Path("outside/target"), "x");
    SetDosAttrib(Path("outside/target"), "0x2");
    fs::create_symlink(Path("outside/target"), Listed("file-link"));

    int compared = 0;
    FolderEntries entries(FolderEntries::Order::AnyOrder);
    while (entries.Next()) {
        EXPECT_EQ(entries.Attributes(), GetFileAttributesA(entries.Name())) << entries.Name();
        ++compared;
    }
    EXPECT_EQ(compared, 11);
}

TEST_F(FolderEntriesTest, DeleteRefusesWhatDeleteFileRefuses) {
    for (const char* name : {"plain", "mode-locked", "samba-locked", "hidden"})
        WriteFile(Listed(name), "x");
    chmod(Listed("mode-locked").c_str(), 0444);
    SetDosAttrib(Listed("samba-locked"), "0x21");
    SetDosAttrib(Listed("hidden"), "0x2");
    MakeFolder(Listed("folder"));
    fs::create_directory_symlink(Path("outside"), Listed("folder-link"));
    WriteFile(Path("outside/target"), "kept");
    fs::create_symlink(Path("outside/target"), Listed("file-link"));

    std::map<std::string, std::pair<bool, DWORD>> outcomes;
    FolderEntries entries(FolderEntries::Order::AnyOrder);
    while (entries.Next()) {
        const bool deleted = entries.Delete();
        outcomes[entries.Name()] = {deleted, deleted ? kSuccess : GetLastError()};
    }
    const std::pair<bool, DWORD> refused{false, ERROR_ACCESS_DENIED};
    const std::pair<bool, DWORD> done{true, kSuccess};
    EXPECT_EQ(outcomes, (std::map<std::string, std::pair<bool, DWORD>>{
                            {"plain", done},
                            {"mode-locked", refused},
                            {"samba-locked", refused},
                            {"hidden", done}, // hidden is no bar to deleting; the walk decides
                            {"folder", refused},
                            {"folder-link", refused},
                            {"file-link", done},
                        }));
    EXPECT_EQ(Content(Path("outside/target")), "kept");
    EXPECT_TRUE(fs::exists(Listed("folder")));
    EXPECT_TRUE(fs::is_symlink(Listed("folder-link")));
}

TEST_F(FolderEntriesTest, AnEntrySwappedAfterItWasListedIsNeverFollowed) {
    WriteFile(Listed("to-link"), "x");
    WriteFile(Listed("to-folder"), "x");
    WriteFile(Path("outside/precious"), "precious");
    SetDosAttrib(Path("outside/precious"), "0x1");
    chmod(Path("outside/precious").c_str(), 0444);
    MakeFolder(Path("outside/docs"));
    WriteFile(Path("outside/docs/letter"), "letter");

    // Each listed and judged plain, then a link or a folder put in the file's place.
    const auto swapAndDelete = [&](const std::string& name, const std::function<void()>& swap) {
        FolderEntries entries(FolderEntries::Order::AnyOrder);
        MoveTo(entries, name);
        EXPECT_EQ(entries.Attributes(), static_cast<DWORD>(FILE_ATTRIBUTE_NORMAL)) << name;
        fs::remove(Listed(name));
        swap();
        return entries.Delete();
    };
    std::map<std::string, bool> deleted;
    deleted["to-link"] = swapAndDelete(
        "to-link", [&] { fs::create_symlink(Path("outside/precious"), Listed("to-link")); });
    deleted["to-folder"] = swapAndDelete("to-folder", [&] {
        MakeFolder(Listed("to-folder"));
        WriteFile(Listed("to-folder/inner"), "inner");
    });

    // The link itself went; what it led to was neither opened for writing nor changed.
    EXPECT_EQ(deleted, (std::map<std::string, bool>{{"to-link", true}, {"to-folder", false}}));
    EXPECT_FALSE(fs::exists(fs::symlink_status(Listed("to-link"))));
    EXPECT_EQ(Content(Path("outside/precious")), "precious");
    struct stat st {};
    ASSERT_EQ(stat(Path("outside/precious").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0444u);
    EXPECT_EQ(DosAttrib(Path("outside/precious")), "0x1");
    EXPECT_EQ(Content(Listed("to-folder/inner")), "inner");
    EXPECT_EQ(Content(Path("outside/docs/letter")), "letter");
}

TEST_F(FolderEntriesTest, AttributesComeFromTheListedFolderWhateverItsPathLeadsToNow) {
    WriteFile(Listed("page.htm"), "x");
    MakeFolder(Path("decoy"));
    WriteFile(Path("decoy/page.htm"), "x");
    SetDosAttrib(Path("decoy/page.htm"), "0x1");

    FolderEntries entries(FolderEntries::Order::AnyOrder);
    ASSERT_NO_FATAL_FAILURE(MoveTo(entries, "page.htm"));
    fs::rename(Path("listed"), Path("listed.aside"));
    fs::create_directory_symlink(Path("decoy"), Path("listed"));

    EXPECT_EQ(entries.Attributes(), static_cast<DWORD>(FILE_ATTRIBUTE_NORMAL));
    EXPECT_TRUE(entries.Delete());
    EXPECT_FALSE(fs::exists(Path("listed.aside/page.htm")));
    EXPECT_TRUE(fs::exists(Path("decoy/page.htm")));
}

TEST_F(FolderEntriesTest, AnEntryGoneSinceItWasListedIsNeitherJudgedNorDeleted) {
    WriteFile(Listed("gone"), "x");
    FolderEntries entries(FolderEntries::Order::Listing);
    ASSERT_NO_FATAL_FAILURE(MoveTo(entries, "gone"));
    fs::remove(Listed("gone"));

    EXPECT_EQ(entries.Attributes(), INVALID_FILE_ATTRIBUTES);
    EXPECT_FALSE(entries.Delete());
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
}
