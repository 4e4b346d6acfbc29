#include "platform/win32.h"
#include "support/child_process.h"
#include "support/file_setup.h"
#include "support/temp_folder.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <gtest/gtest.h>
#include <string>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <thread>
#include <vector>

namespace fs = std::filesystem;
using namespace testing_support;

namespace {

class FileApiTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(SetCurrentDirectoryA(m_folder.Path().c_str())); }

    std::string Path(const std::string& name) const { return m_folder / name; }

    RegistrySandbox m_sandbox; // restores the current folder afterwards
    TempFolder m_folder;
};

std::vector<std::string> List(const std::string& pattern) {
    std::vector<std::string> names;
    WIN32_FIND_DATAA data;
    HANDLE find = FindFirstFileA(pattern.c_str(), &data);
    if (find == INVALID_HANDLE_VALUE)
        return names;
    do {
        names.push_back(data.cFileName);
    } while (FindNextFileA(find, &data));
    EXPECT_EQ(GetLastError(), ERROR_NO_MORE_FILES);
    FindClose(find);
    return names;
}

void SetDosAttrib(const std::string& path, const std::string& value) {
    ASSERT_EQ(lsetxattr(path.c_str(), "user.DOSATTRIB", value.data(), value.size(), 0), 0);
}

std::string GetDosAttrib(const std::string& path) {
    char buffer[64];
    const ssize_t size = lgetxattr(path.c_str(), "user.DOSATTRIB", buffer, sizeof buffer);
    return size < 0 ? "<none>" : std::string(buffer, static_cast<std::size_t>(size));
}

std::string Blob(const std::string& hexText, std::uint16_t version,
                 std::vector<std::uint32_t> words) {
    std::string blob = hexText + '\0';
    if (blob.size() % 2)
        blob += '\0';
    for (int i = 0; i < 2; ++i) {
        blob += static_cast<char>(version & 0xFF);
        blob += static_cast<char>(version >> 8);
    }
    while (blob.size() % 4)
        blob += '\0';
    for (std::uint32_t word : words) {
        for (int i = 0; i < 4; ++i)
            blob += static_cast<char>((word >> (8 * i)) & 0xFF);
    }
    blob += std::string(16, '\0'); // times
    return blob;
}

mode_t ModeOf(const std::string& path) {
    struct stat st;
    EXPECT_EQ(lstat(path.c_str(), &st), 0);
    return st.st_mode & 07777;
}

} // namespace

TEST_F(FileApiTest, Listing_GivesDotEntriesFirstThenNamesInCaseInsensitiveOrder) {
    for (const char* name : {"b.txt", "a.txt", "_under", "C", "A.txt", "noext"})
        WriteFile(Path(name), "x");
    MakeFolder(Path("Beta"));
    const std::vector<std::string> expected{".",    "..", "A.txt", "a.txt", "b.txt",
                                            "Beta", "C",  "noext", "_under"};
    EXPECT_EQ(List("*.*"), expected);
    EXPECT_EQ(List("*"), expected);
    ASSERT_TRUE(SetCurrentDirectoryA("/"));
    EXPECT_EQ(List(m_folder.Path() + "\\*.*"), expected);
}

TEST_F(FileApiTest, Listing_PassesOverEntriesDeletedOrMovedMeanwhile) {
    for (const char* name : {"a", "b", "c", "d"})
        WriteFile(Path(name), "x");
    WIN32_FIND_DATAA data;
    HANDLE find = FindFirstFileA("*.*", &data);
    ASSERT_NE(find, INVALID_HANDLE_VALUE);
    fs::remove(Path("b"));
    fs::rename(Path("c"), Path("e"));
    std::vector<std::string> names{data.cFileName};
    while (FindNextFileA(find, &data))
        names.push_back(data.cFileName);
    FindClose(find);
    EXPECT_EQ(names, (std::vector<std::string>{".", "..", "a", "d"}));
}

TEST_F(FileApiTest, Listing_MatchesPatternsAndPlainNamesWithoutRegardToCase) {
    for (const char* name : {"one.TXT", "Two.txt", "three.dat", "ReadMe"})
        WriteFile(Path(name), "x");
    EXPECT_EQ(List("*.txt"), (std::vector<std::string>{"one.TXT", "Two.txt"}));
    EXPECT_EQ(List("t?o.*"), (std::vector<std::string>{"Two.txt"}));
    EXPECT_EQ(List("README"), (std::vector<std::string>{"ReadMe"}));
    // A wildcard matches whole characters, whatever their case, never single bytes of them.
    for (const char* name : {"über.txt", "㼀x.txt"})
        WriteFile(Path(name), "x");
    EXPECT_EQ(List("Ü*"), (std::vector<std::string>{"über.txt"}));
    EXPECT_EQ(List("?x.txt"), (std::vector<std::string>{"㼀x.txt"}));

    WIN32_FIND_DATAA data;
    EXPECT_EQ(FindFirstFileA("*.zip", &data), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(FindFirstFileA("missing\\*.*", &data), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);
}

TEST_F(FileApiTest, Lookup_MatchesEveryPartWithoutRegardToCaseAndBothSeparators) {
    MakeFolder(Path("Alpha/Beta"));
    WriteFile(Path("Alpha/Beta/File.TXT"), "x");
    EXPECT_EQ(GetFileAttributesA("alpha\\BETA/file.txt"), FILE_ATTRIBUTE_NORMAL);
    EXPECT_TRUE(SetCurrentDirectoryA("ALPHA\\beta"));
    EXPECT_TRUE(DeleteFileA("FILE.txt"));
    EXPECT_FALSE(Exists(Path("Alpha/Beta/File.TXT")));
}

TEST_F(FileApiTest, Lookup_PrefersTheExactNameOverOtherSpellings) {
    MakeFolder(Path("Data"));
    WriteFile(Path("data"), "x");
    EXPECT_EQ(GetFileAttributesA("data"), FILE_ATTRIBUTE_NORMAL);
    EXPECT_EQ(GetFileAttributesA("Data"), FILE_ATTRIBUTE_DIRECTORY);
    // No exact match: the first spelling in listing order.
    EXPECT_EQ(GetFileAttributesA("DATA"), FILE_ATTRIBUTE_DIRECTORY);
    EXPECT_EQ(GetFileAttributesA("nothing"), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(GetFileAttributesA("nowhere\\nothing"), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);
}

TEST_F(FileApiTest, Listing_AndLookup_TreatNonAsciiLettersAsNtfsDoes) {
    for (const char* name : {"Écran", "zoo", "ärger", "Müller"})
        MakeFolder(Path(name));
    // By upper-cased UTF-16 code units: Z, then Ä (0xC4) before É (0xC9).
    EXPECT_EQ(List("*.*"),
              (std::vector<std::string>{".", "..", "Müller", "zoo", "ärger", "Écran"}));
    EXPECT_TRUE(SetCurrentDirectoryA("MÜLLER"));
    EXPECT_TRUE(SetCurrentDirectoryA("..\\écran"));
    EXPECT_TRUE(SetCurrentDirectoryA("..\\\xC4rger")) << "the single-byte text of Windows";
    EXPECT_EQ(List(m_folder.Path() + "\\ÄRGER"), (std::vector<std::string>{"ärger"}));
}

TEST_F(FileApiTest, CurrentFolder_ChangesOnlyToExistingFolders) {
    MakeFolder(Path("sub"));
    WriteFile(Path("file"), "x");
    EXPECT_FALSE(SetCurrentDirectoryA(""));
    EXPECT_FALSE(SetCurrentDirectoryA("file"));
    EXPECT_EQ(GetLastError(), ERROR_DIRECTORY);
    EXPECT_FALSE(SetCurrentDirectoryA("missing"));

    char buffer[4096];
    const DWORD length = GetCurrentDirectoryA(sizeof buffer, buffer);
    EXPECT_EQ(std::string(buffer, length), fs::canonical(m_folder.Path()).string());
    EXPECT_EQ(GetCurrentDirectoryA(3, buffer), length + 1);

    EXPECT_TRUE(SetCurrentDirectoryA("SUB"));
    EXPECT_EQ(fs::current_path(), fs::canonical(Path("sub")));
}

TEST_F(FileApiTest, Attributes_ComeFromModeBitsLeadingDotAndLinks) {
    WriteFile(Path("plain"), "x");
    WriteFile(Path("locked"), "x");
    fs::permissions(Path("locked"), fs::perms::owner_write, fs::perm_options::remove);
    WriteFile(Path(".dotted"), "x");
    MakeFolder(Path("folder"));
    fs::create_symlink(Path("plain"), Path("filelink"));
    fs::create_symlink(Path("folder"), Path("folderlink"));

    EXPECT_EQ(GetFileAttributesA("plain"), FILE_ATTRIBUTE_NORMAL);
    EXPECT_EQ(GetFileAttributesA("locked"), FILE_ATTRIBUTE_READONLY);
    EXPECT_EQ(GetFileAttributesA(".dotted"), FILE_ATTRIBUTE_HIDDEN);
    EXPECT_EQ(GetFileAttributesA("folder"), FILE_ATTRIBUTE_DIRECTORY);
    EXPECT_EQ(GetFileAttributesA("filelink"), FILE_ATTRIBUTE_REPARSE_POINT);
    EXPECT_EQ(GetFileAttributesA("folderlink"),
              FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY);

    WIN32_FIND_DATAA data;
    HANDLE find = FindFirstFileA("locked", &data);
    ASSERT_NE(find, INVALID_HANDLE_VALUE);
    EXPECT_EQ(data.dwFileAttributes, FILE_ATTRIBUTE_READONLY);
    EXPECT_EQ(data.nFileSizeLow, 1u);
    FindClose(find);
}

TEST_F(FileApiTest, Attributes_ReadBothFormsOfTheStoredDosBits) {
    WriteFile(Path("text"), "x");
    SetDosAttrib(Path("text"), "0x22");
    WriteFile(Path("textz"), "x");
    SetDosAttrib(Path("textz"), std::string("0x4\0", 4));
    WriteFile(Path(".shown"), "x");
    SetDosAttrib(Path(".shown"), "0x20");
    WriteFile(Path("v1"), "x");
    SetDosAttrib(Path("v1"), Blob("0x6", 1, {0x06, 0}));
    WriteFile(Path("v3"), "x");
    SetDosAttrib(Path("v3"), Blob("0x22", 3, {0x1, 0x22, 0}));
    WriteFile(Path("v5"), "x");
    SetDosAttrib(Path("v5"), Blob("", 5, {0x1, 0x24}));

    EXPECT_EQ(GetFileAttributesA("text"), FILE_ATTRIBUTE_HIDDEN);
    EXPECT_EQ(GetFileAttributesA("textz"), FILE_ATTRIBUTE_SYSTEM);
    EXPECT_EQ(GetFileAttributesA(".shown"), FILE_ATTRIBUTE_NORMAL);
    EXPECT_EQ(GetFileAttributesA("v1"), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
    EXPECT_EQ(GetFileAttributesA("v3"), FILE_ATTRIBUTE_HIDDEN);
    EXPECT_EQ(GetFileAttributesA("v5"), FILE_ATTRIBUTE_SYSTEM);
}

TEST_F(FileApiTest, SetAttributes_MapsReadOnlyToModeAndHiddenSystemToTheTextForm) {
    WriteFile(Path("file"), "x");
    fs::permissions(Path("file"), static_cast<fs::perms>(0664));
    const DWORD all = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                      FILE_ATTRIBUTE_ARCHIVE;
    ASSERT_TRUE(SetFileAttributesA("FILE", all));
    EXPECT_EQ(ModeOf(Path("file")), 0444u);
    EXPECT_EQ(GetDosAttrib(Path("file")), "0x6");
    EXPECT_EQ(GetFileAttributesA("file"),
              FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);

    ASSERT_TRUE(SetFileAttributesA("file", FILE_ATTRIBUTE_NORMAL));
    EXPECT_EQ(GetFileAttributesA("file"), FILE_ATTRIBUTE_NORMAL);
    EXPECT_EQ(ModeOf(Path("file")) & 0200u, 0200u);
    EXPECT_EQ(GetDosAttrib(Path("file")), "0x0");

    // A plain file gets no stored value it does not need.
    WriteFile(Path("other"), "x");
    ASSERT_TRUE(SetFileAttributesA("other", FILE_ATTRIBUTE_NORMAL));
    EXPECT_EQ(GetDosAttrib(Path("other")), "<none>");
    // A dotted name shown again needs one.
    WriteFile(Path(".dot"), "x");
    ASSERT_TRUE(SetFileAttributesA(".dot", FILE_ATTRIBUTE_NORMAL));
    EXPECT_EQ(GetFileAttributesA(".dot"), FILE_ATTRIBUTE_NORMAL);
}

TEST_F(FileApiTest, SetAttributes_LeavesTheTargetOfALinkAlone) {
    WriteFile(Path("target"), "x");
    fs::permissions(Path("target"), fs::perms::owner_write, fs::perm_options::remove);
    fs::create_symlink(Path("target"), Path("link"));
    EXPECT_TRUE(SetFileAttributesA("link", FILE_ATTRIBUTE_NORMAL));
    EXPECT_EQ(ModeOf(Path("target")) & 0200u, 0u);
}

TEST_F(FileApiTest, Attributes_ReadALongStoredValueWholeAndKeepOneNotUnderstood) {
    const std::string padding(1000, '\0');
    const struct {
        const char* name;
        std::string value;
        DWORD attributes;
    } cases[] = {
        {"padded-text", std::string("0x21", 4) + padding, FILE_ATTRIBUTE_READONLY},
        {"padded-blob", Blob("0x24", 4, {0x1, 0x24, 0}) + padding, FILE_ATTRIBUTE_SYSTEM},
        {"long-garbage", std::string(300, 'x'), FILE_ATTRIBUTE_READONLY},
        {"garbage", "hidden", FILE_ATTRIBUTE_READONLY},
    };
    for (const auto& c : cases) {
        WriteFile(Path(c.name), "x");
        SetDosAttrib(Path(c.name), c.value);
        EXPECT_EQ(GetFileAttributesA(c.name), c.attributes) << c.name;
        WIN32_FIND_DATAA data;
        const HANDLE find = FindFirstFileA(c.name, &data);
        ASSERT_NE(find, INVALID_HANDLE_VALUE);
        FindClose(find);
        EXPECT_EQ(data.dwFileAttributes, c.attributes) << c.name;
        if (c.attributes & FILE_ATTRIBUTE_READONLY) {
            EXPECT_FALSE(DeleteFileA(c.name)) << c.name;
            EXPECT_TRUE(Exists(Path(c.name))) << c.name;
        }
    }
    // A value not understood is replaced when the attributes are set, as a damaged one would be.
    ASSERT_TRUE(SetFileAttributesA("garbage", FILE_ATTRIBUTE_NORMAL));
    EXPECT_EQ(GetDosAttrib(Path("garbage")), "0x0");
    EXPECT_TRUE(DeleteFileA("garbage"));
}

TEST_F(FileApiTest, SetAttributes_ChangesNothingWhenEitherHalfFails) {
    // The value refused as the kernel refuses it on a file its owner cannot write, or the mode.
    const struct {
        const char* name;
        mode_t mode;
        const char* value;
        DWORD wanted;
        std::vector<long> failing;
        int error;
    } cases[] = {
        {"to-read-only", 0644, nullptr, FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN,
         AttributeWriteCalls(), EACCES},
        {"to-writable", 0444, "0x2", FILE_ATTRIBUTE_NORMAL, AttributeWriteCalls(), EACCES},
        {"mode-refused", 0644, "0x0", FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_SYSTEM,
         ModeChangeCalls(), EPERM},
    };
    for (const auto& c : cases) {
        WriteFile(Path(c.name), "x");
        if (c.value)
            SetDosAttrib(Path(c.name), c.value);
        fs::permissions(Path(c.name), static_cast<fs::perms>(c.mode));
        const std::string name = c.name;
        const DWORD wanted = c.wanted;
        const ChildOutcome outcome = RunWithFailingCalls(
            c.failing, c.error, [&] { return SetFileAttributesA(name.c_str(), wanted) ? 1 : 0; });
        if (!outcome.ran)
            GTEST_SKIP() << "no seccomp filter can make the calls fail: " << outcome.whyNot;
        EXPECT_EQ(outcome.result, 0) << c.name;
        EXPECT_EQ(ModeOf(Path(c.name)), c.mode) << c.name;
        EXPECT_EQ(GetDosAttrib(Path(c.name)), c.value ? c.value : "<none>") << c.name;
    }
}

TEST_F(FileApiTest, SetAttributes_WithoutProcChangesOnlyTheEntryItOpened) {
    WriteFile(Path("desktop.ini"), "x");
    MakeFolder(Path("folder"));
    TempFolder outside;
    WriteFile(outside / "precious", "x");
    fs::permissions(outside / "precious", static_cast<fs::perms>(0444));
    fs::create_symlink(outside / "precious", Path("swap"));

    // desktop.ini and a link to the outside file trade places all the while it is changed.
    const ChildOutcome outcome = RunWithoutProc([] {
        if (!SetFileAttributesA("folder", FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM))
            return 1;
        std::atomic<bool> done{false};
        std::thread swapper([&] {
            for (int i = 0; i < 50000; ++i)
                renameat2(AT_FDCWD, "desktop.ini", AT_FDCWD, "swap", RENAME_EXCHANGE);
            done = true;
        });
        for (int i = 0; !done; ++i)
            SetFileAttributesA("desktop.ini",
                               i % 2 ? FILE_ATTRIBUTE_NORMAL
                                     : FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN);
        swapper.join();
        return 0;
    });
    if (!outcome.ran)
        GTEST_SKIP() << "no private mount namespace without /proc: " << outcome.whyNot;
    EXPECT_EQ(outcome.result, 0);
    EXPECT_EQ(GetDosAttrib(Path("folder")), "0x6");
    EXPECT_EQ(ModeOf(outside / "precious"), 0444u);
    EXPECT_EQ(GetDosAttrib(outside / "precious"), "<none>");
}

TEST_F(FileApiTest, DeleteFile_RefusesReadOnlyFilesFoldersAndMissingFiles) {
    WriteFile(Path("locked"), "x");
    fs::permissions(Path("locked"), fs::perms::owner_write, fs::perm_options::remove);
    MakeFolder(Path("folder"));

    EXPECT_FALSE(DeleteFileA("locked"));
    EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
    EXPECT_TRUE(Exists(Path("locked")));
    EXPECT_FALSE(DeleteFileA("folder"));
    EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
    EXPECT_TRUE(Exists(Path("folder")));
    EXPECT_FALSE(DeleteFileA("missing"));
    EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
}

TEST_F(FileApiTest, DeleteFile_RemovesALinkButNeverItsTarget) {
    TempFolder outside;
    WriteFile(outside / "keep", "x");
    fs::create_symlink(outside / "keep", Path("link"));
    fs::create_symlink(outside.Path(), Path("folderlink"));
    EXPECT_TRUE(DeleteFileA("link"));
    EXPECT_FALSE(Exists(Path("link")));
    EXPECT_EQ(ReadFile(outside / "keep"), "x");
    EXPECT_FALSE(DeleteFileA("folderlink"));
    EXPECT_TRUE(Exists(Path("folderlink")));
}

TEST_F(FileApiTest, RemoveDirectory_RemovesOnlyEmptyRealFolders) {
    MakeFolder(Path("full"));
    WriteFile(Path("full/file"), "x");
    MakeFolder(Path("empty"));
    MakeFolder(Path("trailing"));
    WriteFile(Path("file"), "x");
    TempFolder outside;
    fs::create_symlink(outside.Path(), Path("link"));

    EXPECT_FALSE(RemoveDirectoryA("full"));
    EXPECT_EQ(GetLastError(), ERROR_DIR_NOT_EMPTY);
    EXPECT_FALSE(RemoveDirectoryA("."));
    EXPECT_FALSE(RemoveDirectoryA(".."));
    EXPECT_FALSE(RemoveDirectoryA("file"));
    EXPECT_FALSE(RemoveDirectoryA("link"));
    EXPECT_TRUE(Exists(Path("link")));
    EXPECT_TRUE(fs::exists(outside.Path()));
    EXPECT_TRUE(RemoveDirectoryA("EMPTY"));
    EXPECT_FALSE(Exists(Path("empty")));
    EXPECT_TRUE(RemoveDirectoryA((m_folder.Path() + "\\trailing\\").c_str()));
    EXPECT_FALSE(Exists(Path("trailing")));
}

TEST_F(FileApiTest, CreateDirectory_RefusesExistingNamesInAnyCase) {
    EXPECT_TRUE(CreateDirectoryA("New", nullptr));
    EXPECT_FALSE(CreateDirectoryA("NEW", nullptr));
    EXPECT_EQ(GetLastError(), ERROR_ALREADY_EXISTS);
    EXPECT_FALSE(CreateDirectoryA("missing\\new", nullptr));
    EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);
}

TEST_F(FileApiTest, MoveFile_MovesFoldersButNeverReplacesAnExistingTarget) {
    MakeFolder(Path("from"));
    WriteFile(Path("from/inside"), "a");
    MakeFolder(Path("taken"));
    WriteFile(Path("taken/mine"), "b");

    EXPECT_FALSE(MoveFileA(Path("from").c_str(), Path("TAKEN").c_str()));
    EXPECT_EQ(GetLastError(), ERROR_ALREADY_EXISTS);
    EXPECT_EQ(ReadFile(Path("from/inside")), "a");
    EXPECT_EQ(ReadFile(Path("taken/mine")), "b");

    EXPECT_TRUE(MoveFileA("FROM", "moved"));
    EXPECT_EQ(ReadFile(Path("moved/inside")), "a");
    EXPECT_FALSE(Exists(Path("from")));
    // A new spelling of the same name is a rename, not a clash.
    EXPECT_TRUE(MoveFileA("moved", "Moved"));
    EXPECT_TRUE(Exists(Path("Moved/inside")));
}

TEST_F(FileApiTest, MoveFile_FailsAcrossFileSystemsWithoutCopying) {
    OtherFileSystemFolder other;
    if (other.Path().empty())
        GTEST_SKIP() << other.WhyNone();
    MakeFolder(Path("folder"));
    WriteFile(Path("folder/inside"), "a");
    EXPECT_FALSE(MoveFileA(Path("folder").c_str(), (other.Path() + "\\0").c_str()));
    EXPECT_EQ(GetLastError(), ERROR_NOT_SAME_DEVICE);
    EXPECT_EQ(ReadFile(Path("folder/inside")), "a");
    EXPECT_FALSE(Exists(other.Path() + "/0"));
}

TEST(LastError, IsKeptPerThread) {
    SetLastError(ERROR_ACCESS_DENIED);
    DWORD seenByOther = 1;
    std::thread other([&] {
        seenByOther = GetLastError();
        SetLastError(ERROR_DIR_NOT_EMPTY);
    });
    other.join();
    EXPECT_EQ(seenByOther, ERROR_SUCCESS);
    EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
}
