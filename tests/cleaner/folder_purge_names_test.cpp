// The walks on entries that only the wide file calls reach on Windows: names outside the ANSI
// code page, and paths beyond 260 characters. Every entry a walk lists is cleaned by the name
// the listing gave, and whatever is kept (read-only files, links) is still kept. Files are made
// and read here with the system's own wide calls (UTF-8 names on Linux).
#include "cleaner/folder_purge.h"
#include "folder_fixture.h"
#include "platform/folder_walk.h"
#include "platform/win32.h"
#include "support/environment.h"
#include "support/file_setup.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <set>
#include <string>

using brisvane::platform::HeldFolder;
using namespace testing_support;

namespace {

#ifdef _WIN32
std::wstring Native(const std::string& utf8) {
    std::wstring wide(utf8.size() + 1, L'\0');
    wide.resize(static_cast<std::size_t>(
        MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), wide.data(),
                            static_cast<int>(wide.size()))));
    for (wchar_t& c : wide)
        c = c == L'/' ? L'\\' : c;
    return L"\\\\?\\" + wide;
}

std::string Utf8(const wchar_t* wide) {
    std::string text(std::wcslen(wide) * 4 + 1, '\0');
    text.resize(static_cast<std::size_t>(WideCharToMultiByte(
        CP_UTF8, 0, wide, -1, text.data(), static_cast<int>(text.size()), nullptr, nullptr)));
    text.pop_back();
    return text;
}

void MakeEntry(const std::string& path, bool folder) {
    const bool made = folder ? CreateDirectoryW(Native(path).c_str(), nullptr)
                             : CloseHandle(CreateFileW(Native(path).c_str(), GENERIC_WRITE, 0,
                                                       nullptr, CREATE_NEW, 0, nullptr));
    ASSERT_TRUE(made) << path << ", error " << GetLastError();
}

std::set<std::string> Listed(const std::string& folder) {
    std::set<std::string> names;
    WIN32_FIND_DATAW found{};
    const HANDLE listing = FindFirstFileW((Native(folder) + L"\\*").c_str(), &found);
    if (listing == INVALID_HANDLE_VALUE)
        return {"(not listed)"};
    do {
        const std::string name = Utf8(found.cFileName);
        if (name != "." && name != "..")
            names.insert(name);
    } while (FindNextFileW(listing, &found));
    FindClose(listing);
    return names;
}

void MakeReadOnly(const std::string& path) {
    ASSERT_TRUE(SetFileAttributesW(Native(path).c_str(), FILE_ATTRIBUTE_READONLY));
}
#else
void MakeEntry(const std::string& path, bool folder) {
    if (folder)
        ASSERT_TRUE(std::filesystem::create_directory(path)) << path;
    else
        std::ofstream(path) << "x";
}

std::set<std::string> Listed(const std::string& folder) {
    std::set<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        names.insert(entry.path().filename().string());
    return names;
}

void MakeReadOnly(const std::string& path) {
    SetDosAttributes(path, FILE_ATTRIBUTE_READONLY);
}
#endif

class FolderPurgeNamesTest : public FolderFixture {
protected:
    // `folder` (under the root, made already) holds these new entries; a name ending in "/"
    // is a folder.
    void Add(const std::string& folder, std::initializer_list<std::string> names) {
        for (const std::string& name : names) {
            const bool isFolder = name.back() == '/';
            ASSERT_NO_FATAL_FAILURE(MakeEntry(
                folder + "/" + (isFolder ? name.substr(0, name.size() - 1) : name), isFolder));
        }
    }

    // A link "link" in `folder` to the file "outside/keep", where the tests can make one. Its
    // name is plain: Wine's own rename of a Unix link moves what it leads to.
    // Whether there is one is told by the listing: the helper's own check stops at 260
    // characters on Windows.
    bool AddLink(const std::string& folder) {
        MakeSymbolicLink(Path("outside") + "/keep", folder + "/link");
        return Listed(folder).count("link") == 1;
    }

    // A folder `base` under the root, then folders in it down to a path longer than `length`.
    std::string Deep(const std::string& base, std::size_t length) {
        std::string deep = Path(base);
        MakeFolder(deep);
        while (deep.size() <= length) {
            deep += "/a-rather-long-folder-name";
            MakeEntry(deep, true);
        }
        return deep;
    }
};

const std::string kCyrillic = "журнал.txt";
const std::string kJapanese = "日本.txt";

} // namespace

TEST_F(FolderPurgeNamesTest, Walks_CleanEveryEntryWhateverItsNameAndKeepWhatTheyKeep) {
    const std::string outside = Folder("outside", {"keep"});
    const std::string cookies = Folder("Cookies");
    Add(cookies, {kCyrillic, kJapanese, "plain.txt", "только.txt"});
    MakeReadOnly(cookies + "/только.txt");
    const bool link = AddLink(cookies);
    const std::string cache = Folder("Cache", {"0first.htm"});
    Add(cache, {"кэш/", "日本/"});
    Add(cache + "/кэш", {kJapanese});
    Add(cache + "/日本", {kCyrillic});

    ASSERT_TRUE(EnterFolder(HeldFolder::Open(cookies)));
    PurgeFiles();
    ASSERT_TRUE(EnterFolder(HeldFolder::Open(cache)));
    EmptySubfolders();

    // A link stays on Windows (Wine would delete what it leads to); Linux removes it itself.
    std::set<std::string> kept{"только.txt"};
    if (link && OnWindows())
        kept.insert("link");
    EXPECT_EQ(Listed(cookies), kept);
    EXPECT_EQ(Listed(cache), std::set<std::string>{"0first.htm"});
    EXPECT_EQ(ReadFile(outside + "/keep"), "keep");
}

TEST_F(FolderPurgeNamesTest, Walks_CleanFoldersWhosePathsPassTheOldLimit) {
    const std::string outside = Folder("outside", {"keep"});
    const std::string favorites = Deep("Favorites", 300);
    Add(favorites, {"a.url", kJapanese, "locked.url", "sub/"});
    Add(favorites + "/sub", {"inner.url"});
    MakeReadOnly(favorites + "/locked.url");
    const bool link = AddLink(favorites);
    const std::string install = Deep("Install", 280);
    Add(install, {"0/", "7/", "Documents/"});
    Add(install + "/7", {kCyrillic});
    const std::string history = install + "/History";
    MakeEntry(history, true);
    Add(history, {"Today/", "日本/"});
    Add(history + "/日本", {kJapanese});
    ASSERT_GT(favorites.size() + kJapanese.size(), 300u);

    ASSERT_TRUE(EnterFolder(HeldFolder::Open(favorites)));
    PurgeFiles();
    ASSERT_TRUE(EnterFolder(HeldFolder::Open(history)));
    ParkSubfolders(install);
    const std::size_t parked = Listed(install).size();
    PurgeParkedFolders(install);

    std::set<std::string> kept{"locked.url", "sub"};
    if (link && OnWindows())
        kept.insert("link");
    EXPECT_EQ(Listed(favorites), kept);
    EXPECT_EQ(Listed(favorites + "/sub"), std::set<std::string>{"inner.url"});
    EXPECT_EQ(parked, 6u); // "0", "7", "Documents", "History" and the two parked
    EXPECT_EQ(Listed(history), std::set<std::string>{});
    EXPECT_EQ(Listed(install), (std::set<std::string>{"Documents", "History"}));
    EXPECT_EQ(ReadFile(outside + "/keep"), "keep");
}
