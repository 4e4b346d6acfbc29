// What the cleaning engine relies on from the kernel32 file calls. The same cases run against
// our Linux layer and, built for Windows, against the system's own calls (under Wine), so that
// a difference between the two shows up here rather than as a folder cleaned differently.
#include "platform/win32.h"
#include "support/temp_folder.h"

#include <algorithm>
#include <cctype>
#include <gtest/gtest.h>
#include <string>
#include <vector>

using testing_support::Exists;
using testing_support::MakeFolder;
using testing_support::WriteFile;

namespace {

struct Entry {
    std::string name;
    DWORD attributes;
};

std::vector<Entry> List(const std::string& pattern) {
    std::vector<Entry> entries;
    WIN32_FIND_DATAA data;
    HANDLE find = FindFirstFileA(pattern.c_str(), &data);
    if (find == INVALID_HANDLE_VALUE)
        return entries;
    do
        entries.push_back({data.cFileName, data.dwFileAttributes});
    while (FindNextFileA(find, &data));
    FindClose(find);
    return entries;
}

std::vector<std::string> Names(const std::vector<Entry>& entries) {
    std::vector<std::string> names;
    for (const Entry& entry : entries)
        names.push_back(entry.name);
    return names;
}

DWORD ListedAttributes(const std::string& name) {
    for (const Entry& entry : List("*.*"))
        if (entry.name == name)
            return entry.attributes;
    ADD_FAILURE() << name << " is not listed";
    return 0;
}

std::string CurrentFolder() {
    char buffer[MAX_PATH * 4];
    const DWORD length = GetCurrentDirectoryA(sizeof buffer, buffer);
    return std::string(buffer, length);
}

// Windows keeps the current folder in the case it was given, so compare as names compare.
bool SameFolder(const std::string& a, const std::string& b) {
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](unsigned char x, unsigned char y) {
               return std::tolower(x) == std::tolower(y);
           });
}

constexpr DWORD kPlainFileMask =
    FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_DIRECTORY;

// Every case works inside a fresh folder that is current while it runs.
class FileCallsContract : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(SetCurrentDirectoryA(m_folder.Path().c_str())); }

    // The program composes its paths with backslashes.
    std::string Full(const std::string& name) const { return m_folder.Path() + "\\" + name; }

    testing_support::TempFolder m_folder{"brisvane-contract"};
    // Declared after the folder so that it leaves the folder (restoring the current one) before
    // the folder is removed: Windows cannot remove a process's current folder.
    testing_support::RegistrySandbox m_sandbox;
};

TEST_F(FileCallsContract, ListingGivesDotEntriesFirstThenNamesInCaseInsensitiveOrder) {
    for (const char* name : {"delta", "Charlie", "bravo.txt", "ALPHA", "echo_1", "echoZ"})
        WriteFile(m_folder / name, "x");
    MakeFolder(m_folder / "Foxtrot");
    MakeFolder(m_folder / "beta");

    // Names are compared as upper case, so "_" (after "Z") sorts after every letter.
    const std::vector<std::string> expected = {".",       "..",    "ALPHA", "beta",   "bravo.txt",
                                               "Charlie", "delta", "echoZ", "echo_1", "Foxtrot"};
    EXPECT_EQ(Names(List("*.*")), expected);
    EXPECT_EQ(Names(List(Full("*.*"))), expected);

    WIN32_FIND_DATAA data;
    EXPECT_EQ(FindFirstFileA(Full("missing\\*.*").c_str(), &data), INVALID_HANDLE_VALUE);
}

TEST_F(FileCallsContract, ListingOfDriveRootHasNoDotEntries) {
    const DWORD root = GetFileAttributesA("C:\\");
    if (root == INVALID_FILE_ATTRIBUTES || (root & FILE_ATTRIBUTE_DIRECTORY) == 0)
        GTEST_SKIP() << "no drive C: here: a Linux file system has a single root, and the "
                        "engine's walks are never given it";
    const std::vector<std::string> names = Names(List("C:\\*.*"));
    ASSERT_FALSE(names.empty());
    for (const std::string& name : names) {
        EXPECT_NE(name, ".");
        EXPECT_NE(name, "..");
    }
}

TEST_F(FileCallsContract, ListingReturnsNoEntryTwiceWhileEntriesAreDeleted) {
    for (const char* name : {"a", "b", "c", "d", "e"})
        WriteFile(m_folder / name, "x");

    std::vector<std::string> seen;
    WIN32_FIND_DATAA data;
    HANDLE find = FindFirstFileA("*.*", &data);
    ASSERT_NE(find, INVALID_HANDLE_VALUE);
    do {
        seen.push_back(data.cFileName);
        if ((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
            EXPECT_TRUE(DeleteFileA(data.cFileName)) << data.cFileName;
        }
    } while (FindNextFileA(find, &data));
    EXPECT_TRUE(FindClose(find));

    EXPECT_EQ(seen, (std::vector<std::string>{".", "..", "a", "b", "c", "d", "e"}));
    EXPECT_EQ(Names(List("*.*")), (std::vector<std::string>{".", ".."}));
}

TEST_F(FileCallsContract, NamesMatchWithoutRegardToCaseAndKeepTheirOwnCase) {
    WriteFile(m_folder / "Prefs.Js", "x");
    MakeFolder(m_folder / "Cache");

    EXPECT_NE(GetFileAttributesA("PREFS.JS"), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(Names(List("*.*")), (std::vector<std::string>{".", "..", "Cache", "Prefs.Js"}));
    EXPECT_EQ(Names(List("prefs.JS")), std::vector<std::string>{"Prefs.Js"});

    ASSERT_TRUE(SetCurrentDirectoryA("CACHE"));
    EXPECT_TRUE(SetCurrentDirectoryA(".."));
    EXPECT_TRUE(DeleteFileA("PREFS.JS"));
    EXPECT_FALSE(Exists(m_folder / "Prefs.Js"));
}

TEST_F(FileCallsContract, AttributesShowReadOnlyHiddenSystemAndDirectory) {
    for (const char* name : {"plain", "readonly", "hidden", "system"})
        WriteFile(m_folder / name, "x");
    MakeFolder(m_folder / "folder");
    ASSERT_TRUE(SetFileAttributesA("readonly", FILE_ATTRIBUTE_READONLY));
    ASSERT_TRUE(SetFileAttributesA("hidden", FILE_ATTRIBUTE_HIDDEN));
    ASSERT_TRUE(SetFileAttributesA("system", FILE_ATTRIBUTE_SYSTEM));

    // Only the bits the engine tests; a new file may also carry the archive bit.
    constexpr DWORD tested = kPlainFileMask | FILE_ATTRIBUTE_READONLY;
    EXPECT_EQ(ListedAttributes("plain") & tested, 0u);
    EXPECT_EQ(ListedAttributes("readonly") & tested, FILE_ATTRIBUTE_READONLY);
    EXPECT_EQ(ListedAttributes("hidden") & tested, FILE_ATTRIBUTE_HIDDEN);
    EXPECT_EQ(ListedAttributes("system") & tested, FILE_ATTRIBUTE_SYSTEM);
    EXPECT_EQ(ListedAttributes("folder") & tested, FILE_ATTRIBUTE_DIRECTORY);
    EXPECT_EQ(GetFileAttributesA("HIDDEN") & tested, FILE_ATTRIBUTE_HIDDEN);
}

TEST_F(FileCallsContract, DeleteFileRefusesReadOnlyFileAndDeletesHiddenAndSystemOnes) {
    for (const char* name : {"readonly", "hidden", "system"})
        WriteFile(m_folder / name, "x");
    ASSERT_TRUE(SetFileAttributesA("readonly", FILE_ATTRIBUTE_READONLY));
    ASSERT_TRUE(SetFileAttributesA("hidden", FILE_ATTRIBUTE_HIDDEN));
    ASSERT_TRUE(SetFileAttributesA("system", FILE_ATTRIBUTE_SYSTEM));

    EXPECT_FALSE(DeleteFileA("readonly"));
    EXPECT_TRUE(Exists(m_folder / "readonly"));
    EXPECT_TRUE(DeleteFileA("hidden"));
    EXPECT_TRUE(DeleteFileA("system"));
    EXPECT_FALSE(DeleteFileA("missing"));
    EXPECT_EQ(Names(List("*.*")), (std::vector<std::string>{".", "..", "readonly"}));
}

TEST_F(FileCallsContract, NormalAttributeClearsReadOnlyHiddenAndSystemSoTheFileCanGo) {
    WriteFile(m_folder / "Desktop.INI", "[.ShellClassInfo]\r\n");
    ASSERT_TRUE(SetFileAttributesA("Desktop.INI", FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN |
                                                      FILE_ATTRIBUTE_SYSTEM));
    ASSERT_FALSE(DeleteFileA("desktop.ini"));

    EXPECT_TRUE(SetFileAttributesA("desktop.ini", FILE_ATTRIBUTE_NORMAL));
    EXPECT_EQ(ListedAttributes("Desktop.INI") & (kPlainFileMask | FILE_ATTRIBUTE_READONLY), 0u);
    EXPECT_TRUE(DeleteFileA("desktop.ini"));
    EXPECT_FALSE(Exists(m_folder / "Desktop.INI"));
    EXPECT_FALSE(SetFileAttributesA("desktop.ini", FILE_ATTRIBUTE_NORMAL));
}

TEST_F(FileCallsContract, MoveFileMovesFolderWithContentsButNeverOntoExistingName) {
    MakeFolder(m_folder / "History/Today");
    WriteFile(m_folder / "History/Today/index.dat", "x");
    MakeFolder(m_folder / "install/7");
    WriteFile(m_folder / "install/7/keep", "x");
    WriteFile(m_folder / "install/8", "a file");

    EXPECT_FALSE(MoveFileA(Full("History\\Today").c_str(), Full("install\\7").c_str()));
    EXPECT_FALSE(MoveFileA(Full("History\\Today").c_str(), Full("install\\8").c_str()));
    EXPECT_TRUE(Exists(m_folder / "History/Today/index.dat"));
    EXPECT_TRUE(Exists(m_folder / "install/7/keep"));
    EXPECT_FALSE(Exists(m_folder / "install/7/index.dat"));

    EXPECT_TRUE(MoveFileA(Full("History\\Today").c_str(), Full("install\\42").c_str()));
    EXPECT_FALSE(Exists(m_folder / "History/Today"));
    EXPECT_TRUE(Exists(m_folder / "install/42/index.dat"));
}

TEST_F(FileCallsContract, RemoveDirectoryRemovesOnlyEmptyFolders) {
    MakeFolder(m_folder / "empty");
    MakeFolder(m_folder / "trailing");
    MakeFolder(m_folder / "withFile");
    WriteFile(m_folder / "withFile/a", "x");
    MakeFolder(m_folder / "withHidden");
    WriteFile(m_folder / "withHidden/h", "x");
    ASSERT_TRUE(SetFileAttributesA("withHidden\\h", FILE_ATTRIBUTE_HIDDEN));
    MakeFolder(m_folder / "withFolder/inner");
    WriteFile(m_folder / "file", "x");

    EXPECT_FALSE(RemoveDirectoryA("withFile"));
    EXPECT_FALSE(RemoveDirectoryA("withHidden"));
    EXPECT_FALSE(RemoveDirectoryA("withFolder"));
    EXPECT_FALSE(RemoveDirectoryA("file"));
    EXPECT_FALSE(RemoveDirectoryA("."));
    EXPECT_FALSE(RemoveDirectoryA(".."));
    EXPECT_FALSE(RemoveDirectoryA("missing"));
    EXPECT_TRUE(RemoveDirectoryA("EMPTY"));
    // The start-up walk names the folder by its full path with a closing backslash.
    EXPECT_TRUE(RemoveDirectoryA((Full("trailing") + "\\").c_str()));

    EXPECT_EQ(Names(List("*.*")), (std::vector<std::string>{".", "..", "file", "withFile",
                                                            "withFolder", "withHidden"}));
}

TEST_F(FileCallsContract, SetCurrentDirectoryEntersFoldersByNameOrFullPath) {
    MakeFolder(m_folder / "Cache/Sub");
    const std::string top = CurrentFolder();

    ASSERT_TRUE(SetCurrentDirectoryA("cache"));
    const std::string cache = CurrentFolder();
    EXPECT_TRUE(SameFolder(cache, top + "\\cache") || SameFolder(cache, top + "/cache")) << cache;
    ASSERT_TRUE(SetCurrentDirectoryA("SUB"));
    EXPECT_FALSE(SameFolder(CurrentFolder(), cache));
    ASSERT_TRUE(SetCurrentDirectoryA(Full("Cache").c_str()));
    EXPECT_TRUE(SameFolder(CurrentFolder(), cache)) << CurrentFolder();
    ASSERT_TRUE(SetCurrentDirectoryA(m_folder.Path().c_str()));
    EXPECT_TRUE(SameFolder(CurrentFolder(), top)) << CurrentFolder();
}

TEST_F(FileCallsContract, SetCurrentDirectoryFailsOnFileEmptyTextAndMissingPathAndStaysPut) {
    WriteFile(m_folder / "file", "x");
    MakeFolder(m_folder / "sub");
    ASSERT_TRUE(SetCurrentDirectoryA("sub"));
    const std::string before = CurrentFolder();

    EXPECT_FALSE(SetCurrentDirectoryA(Full("file").c_str()));
    EXPECT_FALSE(SetCurrentDirectoryA("..\\file"));
    EXPECT_FALSE(SetCurrentDirectoryA(""));
    EXPECT_FALSE(SetCurrentDirectoryA("missing"));
    EXPECT_FALSE(SetCurrentDirectoryA(Full("missing\\deeper").c_str()));
    EXPECT_EQ(CurrentFolder(), before);
}

} // namespace
