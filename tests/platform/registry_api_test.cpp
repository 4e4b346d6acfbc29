#include "platform/posix/whole_file_seam.h"
#include "platform/win32.h"
#include "support/named_pipe.h"
#include "support/registry_values.h"
#include "support/temp_folder.h"

#include <chrono>
#include <cstdio>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <set>
#include <string>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <vector>

using namespace testing_support;

namespace {

class RegistryApi : public ::testing::Test {
protected:
    std::string CurrentUserHive() const { return m_sandbox.HivePath("HKEY_CURRENT_USER"); }

    HKEY Create(HKEY base, const char* path, DWORD* disposition = nullptr) {
        HKEY key = nullptr;
        DWORD ignored = 0;
        EXPECT_EQ(RegCreateKeyExA(base, path, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS,
                                  nullptr, &key, disposition ? disposition : &ignored),
                  ERROR_SUCCESS)
            << path;
        return key;
    }

    LONG Open(HKEY base, const char* path, REGSAM access, HKEY& key) {
        key = nullptr;
        return RegOpenKeyExA(base, path, 0, access, &key);
    }

    LONG SetBytes(HKEY key, const char* name, DWORD type, const std::vector<BYTE>& data) {
        return RegSetValueExA(key, name, 0, type, data.data(), static_cast<DWORD>(data.size()));
    }

    LONG SetText(HKEY key, const char* name, const std::string& text) {
        return RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                              static_cast<DWORD>(text.size() + 1));
    }

    std::vector<BYTE> Query(HKEY key, const char* name, DWORD* type = nullptr) {
        DWORD size = 0;
        EXPECT_EQ(RegQueryValueExA(key, name, nullptr, type, nullptr, &size), ERROR_SUCCESS);
        std::vector<BYTE> data(size);
        EXPECT_EQ(RegQueryValueExA(key, name, nullptr, type, data.data(), &size), ERROR_SUCCESS);
        return data;
    }

    RegistrySandbox m_sandbox;
};

TEST_F(RegistryApi, KeysAndValuesMatchWithoutCaseAndKeepTheirFirstSpelling) {
    DWORD disposition = 0;
    HKEY key = Create(HKEY_CURRENT_USER, "Software\\Tessmark\\Brisvane", &disposition);
    EXPECT_EQ(disposition, REG_CREATED_NEW_KEY);
    ASSERT_EQ(SetText(key, "Cookies", "true"), ERROR_SUCCESS);
    ASSERT_EQ(SetText(key, "COOKIES", "false"), ERROR_SUCCESS);
    RegCloseKey(key);

    HKEY again = Create(HKEY_CURRENT_USER, "SOFTWARE\\tessmark\\BRISVANE", &disposition);
    EXPECT_EQ(disposition, REG_OPENED_EXISTING_KEY);
    DWORD type = 0;
    std::vector<BYTE> data = Query(again, "cookies", &type);
    EXPECT_EQ(type, REG_SZ);
    EXPECT_EQ(std::string(data.begin(), data.end()), std::string("false", 6));
    RegCloseKey(again);

    std::string file = ReadFile(CurrentUserHive());
    EXPECT_NE(file.find("[HKEY_CURRENT_USER\\Software\\Tessmark\\Brisvane]\r\n"
                        "\"Cookies\"=\"false\"\r\n"),
              std::string::npos)
        << file;
    EXPECT_EQ(file.find("SOFTWARE"), std::string::npos);
    EXPECT_EQ(file.find("COOKIES"), std::string::npos);
}

TEST_F(RegistryApi, WritesAFileThatRegeditImports) {
    HKEY key = Create(HKEY_CURRENT_USER, "Software\\Tessmark\\Brisvane\\Settings");
    ASSERT_EQ(SetText(key, "", "C:\\Program Files\\say \"hi\""), ERROR_SUCCESS);
    ASSERT_EQ(SetText(key, "Cache", "true"), ERROR_SUCCESS);
    ASSERT_EQ(SetBytes(key, "Count", REG_DWORD, {0x2a, 0x01, 0, 0}), ERROR_SUCCESS);
    ASSERT_EQ(SetBytes(key, "Blob", REG_BINARY, {0xde, 0xad}), ERROR_SUCCESS);
    ASSERT_EQ(SetBytes(key, "Env", REG_EXPAND_SZ, {'%', 'X', '%', 0}), ERROR_SUCCESS);
    ASSERT_EQ(SetBytes(key, "Q", REG_QWORD, {1, 2, 3, 4, 5, 6, 7, 8}), ERROR_SUCCESS);
    RegCloseKey(key);

    EXPECT_EQ(ReadFile(CurrentUserHive()), "REGEDIT4\r\n"
                                           "\r\n"
                                           "[HKEY_CURRENT_USER\\Software]\r\n"
                                           "\r\n"
                                           "[HKEY_CURRENT_USER\\Software\\Tessmark]\r\n"
                                           "\r\n"
                                           "[HKEY_CURRENT_USER\\Software\\Tessmark\\Brisvane]\r\n"
                                           "\r\n"
                                           "[HKEY_CURRENT_USER\\Software\\Tessmark\\Brisvane\\"
                                           "Settings]\r\n"
                                           "@=\"C:\\\\Program Files\\\\say \\\"hi\\\"\"\r\n"
                                           "\"Cache\"=\"true\"\r\n"
                                           "\"Count\"=dword:0000012a\r\n"
                                           "\"Blob\"=hex:de,ad\r\n"
                                           "\"Env\"=hex(2):25,58,25,00\r\n"
                                           "\"Q\"=hex(b):01,02,03,04,05,06,07,08\r\n"
                                           "\r\n");
}

TEST_F(RegistryApi, KeepsEveryTypeByteForByteThroughTheFile) {
    struct Case {
        const char* name;
        DWORD type;
        std::vector<BYTE> data;
        const char* line;
    };
    std::vector<BYTE> longData(100);
    for (std::size_t i = 0; i < longData.size(); ++i)
        longData[i] = static_cast<BYTE>(i * 7);
    const std::vector<Case> cases = {
        {"text", REG_SZ, {'a', 'b', 0}, "\"text\"=\"ab\""},
        {"no zero", REG_SZ, {'a', 'b'}, "\"no zero\"=hex(1):61,62"},
        {"inner zero", REG_SZ, {'a', 0, 'b', 0}, "\"inner zero\"=hex(1):61,00,62,00"},
        {"two zeros", REG_SZ, {'a', 0, 0}, "\"two zeros\"=hex(1):61,00,00"},
        {"line break", REG_SZ, {'a', '\n', 0}, "\"line break\"=hex(1):61,0a,00"},
        {"empty text", REG_SZ, {}, "\"empty text\"=hex(1):"},
        {"high bytes", REG_SZ, {0xe9, 0xff, 0}, "\"high bytes\"=\"\xe9\xff\""},
        {"short dword", REG_DWORD, {1, 2}, "\"short dword\"=hex(4):01,02"},
        {"none", REG_NONE, {}, "\"none\"=hex(0):"},
        {"multi", REG_MULTI_SZ, {'a', 0, 'b', 0, 0}, "\"multi\"=hex(7):61,00,62,00,00"},
        {"odd type", 0x12345, {9}, "\"odd type\"=hex(12345):09"},
        {"long", REG_BINARY, longData, "\"long\"=hex:00,07,0e,"},
    };
    HKEY key = Create(HKEY_CURRENT_USER, "Types");
    for (const Case& c : cases)
        ASSERT_EQ(SetBytes(key, c.name, c.type, c.data), ERROR_SUCCESS) << c.name;
    RegCloseKey(key);

    std::string file = ReadFile(CurrentUserHive());
    for (const Case& c : cases)
        EXPECT_NE(file.find(std::string(c.line)), std::string::npos) << c.name << "\n" << file;
    std::size_t lineStart = 0;
    while (lineStart < file.size()) {
        std::size_t end = file.find("\r\n", lineStart);
        ASSERT_NE(end, std::string::npos) << "every line ends with CR LF";
        EXPECT_LE(end - lineStart, 80u) << file.substr(lineStart, end - lineStart);
        lineStart = end + 2;
    }

    HKEY reopened = nullptr;
    ASSERT_EQ(Open(HKEY_CURRENT_USER, "types", KEY_READ, reopened), ERROR_SUCCESS);
    for (const Case& c : cases) {
        DWORD type = 0;
        EXPECT_EQ(Query(reopened, c.name, &type), c.data) << c.name;
        EXPECT_EQ(type, c.type) << c.name;
    }
    RegCloseKey(reopened);
}

TEST_F(RegistryApi, QueriesReportSizesAndMissingValuesAsWindowsDoes) {
    HKEY key = Create(HKEY_CURRENT_USER, "Software");
    ASSERT_EQ(SetText(key, "Name", "hello"), ERROR_SUCCESS);

    DWORD type = 0;
    DWORD size = 0;
    EXPECT_EQ(RegQueryValueExA(key, "name", nullptr, &type, nullptr, &size), ERROR_SUCCESS);
    EXPECT_EQ(size, 6u);
    EXPECT_EQ(type, REG_SZ);

    BYTE small[3] = {};
    size = sizeof small;
    EXPECT_EQ(RegQueryValueExA(key, "Name", nullptr, nullptr, small, &size), ERROR_MORE_DATA);
    EXPECT_EQ(size, 6u);

    EXPECT_EQ(RegQueryValueExA(key, "Missing", nullptr, &type, nullptr, &size),
              ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(RegQueryValueExA(key, nullptr, nullptr, &type, nullptr, &size), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(RegDeleteValueA(key, "Missing"), ERROR_FILE_NOT_FOUND);

    ASSERT_EQ(SetText(key, nullptr, "default"), ERROR_SUCCESS);
    EXPECT_EQ(RegQueryValueExA(key, "", nullptr, &type, nullptr, &size), ERROR_SUCCESS);
    EXPECT_EQ(size, 8u);
    EXPECT_NE(ReadFile(CurrentUserHive()).find("@=\"default\"\r\n"), std::string::npos);
    EXPECT_EQ(RegDeleteValueA(key, ""), ERROR_SUCCESS);
    EXPECT_EQ(RegQueryValueExA(key, nullptr, nullptr, &type, nullptr, &size), ERROR_FILE_NOT_FOUND);
    RegCloseKey(key);

    HKEY missing = nullptr;
    EXPECT_EQ(Open(HKEY_CURRENT_USER, "Software\\Nothing", KEY_ALL_ACCESS, missing),
              ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(missing, nullptr);
    EXPECT_FALSE(Exists(m_sandbox.HivePath("HKEY_LOCAL_MACHINE")))
        << "reading never creates a hive";
}

TEST_F(RegistryApi, ListsSubkeysAndValues) {
    HKEY key = Create(HKEY_CURRENT_USER, "List");
    RegCloseKey(Create(key, "beta"));
    RegCloseKey(Create(key, "Alpha\\Deeper"));
    RegCloseKey(Create(key, "Gamma-long-name"));
    ASSERT_EQ(SetText(key, "second", "22"), ERROR_SUCCESS);
    ASSERT_EQ(SetText(key, "first-longer", "1"), ERROR_SUCCESS);

    DWORD subkeys = 0, longestSubkey = 0, values = 0, longestName = 0, longestData = 0;
    ASSERT_EQ(RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, &subkeys, &longestSubkey, nullptr,
                               &values, &longestName, &longestData, nullptr, nullptr),
              ERROR_SUCCESS);
    EXPECT_EQ(subkeys, 3u);
    EXPECT_EQ(longestSubkey, 15u);
    EXPECT_EQ(values, 2u);
    EXPECT_EQ(longestName, 12u);
    EXPECT_EQ(longestData, 3u);

    std::vector<std::string> names;
    char name[32];
    for (DWORD i = 0;; ++i) {
        DWORD length = sizeof name;
        LONG rc = RegEnumKeyExA(key, i, name, &length, nullptr, nullptr, nullptr, nullptr);
        if (rc == ERROR_NO_MORE_ITEMS)
            break;
        ASSERT_EQ(rc, ERROR_SUCCESS);
        names.emplace_back(name, length);
    }
    EXPECT_EQ(names, (std::vector<std::string>{"Alpha", "beta", "Gamma-long-name"}));
    DWORD tooShort = 5;
    EXPECT_EQ(RegEnumKeyExA(key, 2, name, &tooShort, nullptr, nullptr, nullptr, nullptr),
              ERROR_MORE_DATA);

    DWORD length = sizeof name;
    DWORD type = 0;
    BYTE data[8];
    DWORD size = sizeof data;
    ASSERT_EQ(RegEnumValueA(key, 0, name, &length, nullptr, &type, data, &size), ERROR_SUCCESS);
    EXPECT_EQ(std::string(name, length), "second");
    EXPECT_EQ(size, 3u);
    length = sizeof name;
    EXPECT_EQ(RegEnumValueA(key, 2, name, &length, nullptr, nullptr, nullptr, nullptr),
              ERROR_NO_MORE_ITEMS);
    RegCloseKey(key);
}

TEST_F(RegistryApi, DeletesOnlyLeafKeysAndInvalidatesTheirHandles) {
    HKEY parent = Create(HKEY_CURRENT_USER, "A\\B");
    HKEY child = Create(parent, "C");
    EXPECT_EQ(RegDeleteKeyA(HKEY_CURRENT_USER, "a\\b"), ERROR_ACCESS_DENIED);
    EXPECT_EQ(RegDeleteKeyA(parent, "c"), ERROR_SUCCESS);
    EXPECT_EQ(RegDeleteKeyA(parent, "c"), ERROR_FILE_NOT_FOUND);

    EXPECT_EQ(SetText(child, "x", "y"), static_cast<LONG>(ERROR_KEY_DELETED));
    DWORD size = 0;
    EXPECT_EQ(RegQueryValueExA(child, "x", nullptr, nullptr, nullptr, &size),
              static_cast<LONG>(ERROR_KEY_DELETED));
    EXPECT_EQ(RegCloseKey(child), ERROR_SUCCESS);
    EXPECT_EQ(RegCloseKey(child), static_cast<LONG>(ERROR_INVALID_HANDLE));
    EXPECT_EQ(SetText(child, "x", "y"), static_cast<LONG>(ERROR_INVALID_HANDLE));

    EXPECT_EQ(RegDeleteKeyA(HKEY_CURRENT_USER, "A\\B"), ERROR_SUCCESS);
    EXPECT_EQ(RegDeleteKeyA(HKEY_CURRENT_USER, "A"), ERROR_SUCCESS);
    EXPECT_EQ(ReadFile(CurrentUserHive()), "REGEDIT4\r\n\r\n");
    RegCloseKey(parent);
}

// The inodes of the files written whole while it is installed: one per hive change.
std::set<ino_t> g_filesWritten;

ssize_t RecordingWriter(int fd, const void* data, size_t size) {
    struct stat info {};
    if (fstat(fd, &info) == 0)
        g_filesWritten.insert(info.st_ino);
    return write(fd, data, size);
}

TEST_F(RegistryApi, DeletesATreeInOneChangeOfItsHive) {
    for (const char* path : {"Old\\A\\B\\C", "Old\\A\\D", "Old\\E", "Kept"}) {
        HKEY key = Create(HKEY_CURRENT_USER, path);
        ASSERT_EQ(SetText(key, "v", path), ERROR_SUCCESS);
        RegCloseKey(key);
    }
    HKEY old = Create(HKEY_CURRENT_USER, "Old");
    g_filesWritten.clear();
    brisvane::platform::posix::SetWholeFileWriter(RecordingWriter);
    const LONG deleted = RegDeleteTreeA(HKEY_CURRENT_USER, "old\\a");
    brisvane::platform::posix::SetWholeFileWriter(nullptr);
    EXPECT_EQ(deleted, ERROR_SUCCESS);
    EXPECT_EQ(g_filesWritten.size(), 1u);

    const struct {
        HKEY base;
        const char* subKey;
        LONG expected;
    } cases[] = {
        {HKEY_CURRENT_USER, "Old\\A", ERROR_FILE_NOT_FOUND},
        {HKEY_CURRENT_USER, "", ERROR_ACCESS_DENIED}, // the root itself
        {HKEY_CURRENT_USER, nullptr, ERROR_INVALID_PARAMETER},
        {old, "", ERROR_SUCCESS}, // the handle's own key
    };
    for (const auto& c : cases)
        EXPECT_EQ(RegDeleteTreeA(c.base, c.subKey), c.expected) << (c.subKey ? c.subKey : "null");
    RegCloseKey(old);
    EXPECT_EQ(ReadFile(CurrentUserHive()),
              "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Kept]\r\n\"v\"=\"Kept\"\r\n\r\n");
}

TEST_F(RegistryApi, KeepsTheTwoRootsInTheirOwnFiles) {
    HKEY machine = Create(HKEY_LOCAL_MACHINE, "SOFTWARE\\Vendor");
    ASSERT_EQ(SetText(machine, "Path", "/opt/x"), ERROR_SUCCESS);
    RegCloseKey(machine);
    HKEY user = nullptr;
    EXPECT_EQ(Open(HKEY_CURRENT_USER, "SOFTWARE\\Vendor", KEY_READ, user), ERROR_FILE_NOT_FOUND);
    EXPECT_NE(ReadFile(m_sandbox.HivePath("HKEY_LOCAL_MACHINE"))
                  .find("[HKEY_LOCAL_MACHINE\\SOFTWARE\\Vendor]\r\n\"Path\"=\"/opt/x\"\r\n"),
              std::string::npos);
    EXPECT_EQ(Open(reinterpret_cast<HKEY>(0x80000003u), "", KEY_READ, user),
              static_cast<LONG>(ERROR_INVALID_HANDLE));
}

TEST_F(RegistryApi, CreatesItsFolderAndFilePrivate) {
    RegCloseKey(Create(HKEY_CURRENT_USER, "Software"));
    struct stat info {};
    ASSERT_EQ(stat((m_sandbox.ConfigHome() + "/brisvane").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0700u);
    ASSERT_EQ(stat(CurrentUserHive().c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
}

TEST_F(RegistryApi, FindsTheHivesWhereXdgConfigHomeSaysAtEveryCall) {
    RegCloseKey(Create(HKEY_CURRENT_USER, "First"));
    RegistrySandbox other;
    HKEY key = nullptr;
    EXPECT_EQ(Open(HKEY_CURRENT_USER, "First", KEY_READ, key), ERROR_FILE_NOT_FOUND);

    TempFolder home;
    std::string oldHome = getenv("HOME") ? getenv("HOME") : "";
    setenv("HOME", home.Path().c_str(), 1);
    setenv("XDG_CONFIG_HOME", "", 1);
    RegCloseKey(Create(HKEY_CURRENT_USER, "InHome"));
    setenv("HOME", oldHome.c_str(), 1);
    EXPECT_TRUE(Exists(home.Path() + "/.config/brisvane/HKEY_CURRENT_USER.reg"));
}

TEST_F(RegistryApi, ReadsAHiveChangedBehindItsBack) {
    HKEY key = Create(HKEY_CURRENT_USER, "Live");
    WriteFile(CurrentUserHive(), "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Live]\r\n\"v\"=\"new\"\r\n");
    DWORD size = 0;
    EXPECT_EQ(RegQueryValueExA(key, "V", nullptr, nullptr, nullptr, &size), ERROR_SUCCESS);
    EXPECT_EQ(size, 4u);
    RegCloseKey(key);
}

TEST_F(RegistryApi, RefusesWriteAccessToAHiveWhoseModeDeniesWriting) {
    HKEY key = Create(HKEY_CURRENT_USER, "Software\\Locked");
    ASSERT_EQ(SetText(key, "v", "kept"), ERROR_SUCCESS);
    RegCloseKey(key);
    std::string before = ReadFile(CurrentUserHive());
    HKEY writable = Create(HKEY_CURRENT_USER, "Software\\Locked");
    ASSERT_EQ(chmod(CurrentUserHive().c_str(), 0444), 0);
    // Even a write that would change nothing is refused, as before the hive became read-only.
    EXPECT_EQ(SetText(writable, "v", "kept"), ERROR_ACCESS_DENIED);
    RegCloseKey(writable);

    HKEY opened = nullptr;
    EXPECT_EQ(Open(HKEY_CURRENT_USER, "Software\\Locked", KEY_ALL_ACCESS, opened),
              ERROR_ACCESS_DENIED);
    EXPECT_EQ(Open(HKEY_CURRENT_USER, "Software\\Locked", KEY_SET_VALUE, opened),
              ERROR_ACCESS_DENIED);
    HKEY created = nullptr;
    EXPECT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\New", 0, nullptr, 0, KEY_ALL_ACCESS,
                              nullptr, &created, nullptr),
              ERROR_ACCESS_DENIED);
    EXPECT_EQ(SetText(HKEY_CURRENT_USER, "root value", "x"), ERROR_ACCESS_DENIED);
    EXPECT_EQ(RegDeleteKeyA(HKEY_CURRENT_USER, "Software\\Locked"), ERROR_ACCESS_DENIED);

    ASSERT_EQ(Open(HKEY_CURRENT_USER, "Software\\Locked", KEY_READ, opened), ERROR_SUCCESS);
    EXPECT_EQ(Query(opened, "v"), (std::vector<BYTE>{'k', 'e', 'p', 't', 0}));
    EXPECT_EQ(SetText(opened, "v", "x"), ERROR_ACCESS_DENIED);
    RegCloseKey(opened);
    EXPECT_EQ(ReadFile(CurrentUserHive()), before);
}

// A start writes back every option it read: one already stored as it stands takes no lock.
TEST_F(RegistryApi, WritesAValueAlreadyStoredWithoutTakingTheLock) {
    HKEY key = Create(HKEY_CURRENT_USER, "Software\\Options");
    ASSERT_EQ(SetText(key, "Cookies", "true"), ERROR_SUCCESS);
    const std::string lock = CurrentUserHive() + ".lock";
    std::remove(lock.c_str());
    ASSERT_EQ(mkdir(lock.c_str(), 0700), 0); // no lock can be taken while it is a folder
    EXPECT_EQ(SetText(key, "Cookies", "true"), ERROR_SUCCESS);
    EXPECT_EQ(SetText(key, "Cookies", "false"), ERROR_CANTWRITE);
    EXPECT_EQ(Query(key, "Cookies"), (std::vector<BYTE>{'t', 'r', 'u', 'e', 0}));
    RegCloseKey(key);
    rmdir(lock.c_str());
}

TEST_F(RegistryApi, RefusesWriteAccessWhenTheHiveFolderIsReadOnly) {
    RegCloseKey(Create(HKEY_CURRENT_USER, "Software"));
    std::string folder = m_sandbox.ConfigHome() + "/brisvane";
    ASSERT_EQ(chmod(folder.c_str(), 0555), 0);
    HKEY key = nullptr;
    EXPECT_EQ(Open(HKEY_CURRENT_USER, "Software", KEY_ALL_ACCESS, key), ERROR_ACCESS_DENIED);
    ASSERT_EQ(Open(HKEY_CURRENT_USER, "Software", KEY_READ, key), ERROR_SUCCESS);
    RegCloseKey(key);
    HKEY machine = nullptr;
    EXPECT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE", 0, nullptr, 0, KEY_ALL_ACCESS,
                              nullptr, &machine, nullptr),
              ERROR_ACCESS_DENIED);
    EXPECT_FALSE(Exists(m_sandbox.HivePath("HKEY_LOCAL_MACHINE")));
}

TEST_F(RegistryApi, LeavesADamagedHiveAloneAndNamesItsLineOnce) {
    MakeFolder(m_sandbox.ConfigHome() + "/brisvane");
    const std::string damaged = "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software]\r\n"
                                "\"ok\"=\"1\"\r\n\"broken\"=hex:zz\r\n";
    WriteFile(CurrentUserHive(), damaged);

    ::testing::internal::CaptureStderr();
    HKEY key = nullptr;
    EXPECT_EQ(Open(HKEY_CURRENT_USER, "Software", KEY_READ, key), static_cast<LONG>(ERROR_BADDB));
    EXPECT_EQ(Open(HKEY_CURRENT_USER, "", KEY_READ, key), static_cast<LONG>(ERROR_BADDB));
    HKEY created = nullptr;
    EXPECT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, "Other", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                              &created, nullptr),
              static_cast<LONG>(ERROR_BADDB));
    EXPECT_EQ(SetText(HKEY_CURRENT_USER, "x", "y"), static_cast<LONG>(ERROR_BADDB));
    std::string errors = ::testing::internal::GetCapturedStderr();

    EXPECT_EQ(ReadFile(CurrentUserHive()), damaged);
    EXPECT_NE(errors.find(CurrentUserHive()), std::string::npos) << errors;
    EXPECT_NE(errors.find("line 5"), std::string::npos) << errors;
    EXPECT_EQ(std::count(errors.begin(), errors.end(), '\n'), 1) << errors;

    HKEY machine = Create(HKEY_LOCAL_MACHINE, "SOFTWARE");
    EXPECT_NE(machine, nullptr) << "the other hive is unaffected";
    RegCloseKey(machine);
}

TEST_F(RegistryApi, RejectsMalformedPathsAndArguments) {
    HKEY key = nullptr;
    EXPECT_EQ(Open(HKEY_CURRENT_USER, "a\\\\b", KEY_READ, key), ERROR_BAD_PATHNAME);
    EXPECT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "", 0, KEY_READ, nullptr), ERROR_INVALID_PARAMETER);
    HKEY created = Create(HKEY_CURRENT_USER, "Trailing\\");
    EXPECT_EQ(SetText(created, "line\nbreak", "x"), ERROR_INVALID_PARAMETER);
    BYTE data[4];
    EXPECT_EQ(RegQueryValueExA(created, "x", nullptr, nullptr, data, nullptr),
              ERROR_INVALID_PARAMETER);
    RegCloseKey(created);
    EXPECT_EQ(Open(HKEY_CURRENT_USER, "TRAILING", KEY_READ, key), ERROR_SUCCESS);
    RegCloseKey(key);
}

TEST_F(RegistryApi, MatchesAndOrdersNonAsciiNamesAsWindowsDoes) {
    HKEY key = Create(HKEY_CURRENT_USER, "Software\\Müller");
    ASSERT_EQ(SetText(key, "Ärger", "1"), ERROR_SUCCESS);
    ASSERT_EQ(SetText(key, "ärger", "2"), ERROR_SUCCESS);
    RegCloseKey(key);
    DWORD disposition = 0;
    key = Create(HKEY_CURRENT_USER, "SOFTWARE\\MÜLLER", &disposition);
    EXPECT_EQ(disposition, REG_OPENED_EXISTING_KEY);
    EXPECT_EQ(Query(key, "ÄRGER"), (std::vector<BYTE>{'2', 0}));
    DWORD values = 0;
    ASSERT_EQ(RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &values,
                               nullptr, nullptr, nullptr, nullptr),
              ERROR_SUCCESS);
    EXPECT_EQ(values, 1u);

    for (const char* name : {"Écran", "zoo", "ärger"})
        RegCloseKey(Create(key, name));
    std::vector<std::string> listed;
    char name[256];
    for (DWORD i = 0;; ++i) {
        DWORD length = sizeof name;
        if (RegEnumKeyExA(key, i, name, &length, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS)
            break;
        listed.emplace_back(name, length);
    }
    EXPECT_EQ(listed, (std::vector<std::string>{"zoo", "ärger", "Écran"}));
    RegCloseKey(key);
}

std::string KeyPath(std::size_t levels) {
    std::string path = "k";
    for (std::size_t i = 1; i < levels; ++i)
        path += "\\k";
    return path;
}

TEST_F(RegistryApi, RefusesToCreateKeysMoreThan512LevelsDeep) {
    HKEY deepest = Create(HKEY_CURRENT_USER, KeyPath(512).c_str());
    ASSERT_NE(deepest, nullptr);
    const std::string hive = HiveSnapshot(m_sandbox);
    HKEY key = nullptr;
    EXPECT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, KeyPath(513).c_str(), 0, nullptr, 0,
                              KEY_ALL_ACCESS, nullptr, &key, nullptr),
              ERROR_INVALID_PARAMETER);
    EXPECT_EQ(RegCreateKeyExA(deepest, "k", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
              ERROR_INVALID_PARAMETER);
    EXPECT_EQ(HiveSnapshot(m_sandbox), hive);
    RegCloseKey(deepest);
}

TEST_F(RegistryApi, TakesAHiveWithAKeyTooDeepForDamageAndLeavesItAlone) {
    MakeFolder(m_sandbox.ConfigHome() + "/brisvane");
    struct Case {
        HKEY root;
        const char* rootName;
        std::size_t levels;
    };
    for (const Case& c : {Case{HKEY_CURRENT_USER, "HKEY_CURRENT_USER", 513},
                          Case{HKEY_LOCAL_MACHINE, "HKEY_LOCAL_MACHINE", 250000}}) {
        const std::string deep = "REGEDIT4\r\n\r\n[" + std::string(c.rootName) + "\\" +
                                 KeyPath(c.levels) + "]\r\n\"v\"=\"1\"\r\n";
        WriteFile(m_sandbox.HivePath(c.rootName), deep);
        ::testing::internal::CaptureStderr();
        HKEY key = nullptr;
        EXPECT_EQ(Open(c.root, "k", KEY_READ, key), static_cast<LONG>(ERROR_BADDB));
        EXPECT_EQ(SetText(c.root, "x", "y"), static_cast<LONG>(ERROR_BADDB));
        const std::string errors = ::testing::internal::GetCapturedStderr();
        EXPECT_NE(errors.find("512 levels"), std::string::npos) << errors;
        EXPECT_EQ(ReadFile(m_sandbox.HivePath(c.rootName)), deep);
    }
}

TEST_F(RegistryApi, NeverOpensAHiveThatIsNotARegularFileAndNamesIt) {
    MakeFolder(m_sandbox.ConfigHome() + "/brisvane");
    MakeNamedPipe(CurrentUserHive());
    ::testing::internal::CaptureStderr();
    LONG opened = ERROR_SUCCESS;
    LONG written = ERROR_SUCCESS;
    EXPECT_TRUE(FinishesWithoutAWriterOn(CurrentUserHive(), [&] {
        HKEY key = nullptr;
        opened = Open(HKEY_CURRENT_USER, "Software", KEY_READ, key);
        written = SetText(HKEY_CURRENT_USER, "x", "y");
    }));
    std::string errors = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(opened, static_cast<LONG>(ERROR_CANTREAD));
    EXPECT_EQ(written, static_cast<LONG>(ERROR_CANTREAD));
    EXPECT_NE(errors.find(CurrentUserHive() + " is a named pipe"), std::string::npos) << errors;

    ASSERT_EQ(unlink(CurrentUserHive().c_str()), 0);
    MakeFolder(CurrentUserHive());
    ::testing::internal::CaptureStderr();
    HKEY key = nullptr;
    EXPECT_EQ(Open(HKEY_CURRENT_USER, "Software", KEY_READ, key),
              static_cast<LONG>(ERROR_CANTREAD));
    EXPECT_EQ(SetText(HKEY_CURRENT_USER, "x", "y"), static_cast<LONG>(ERROR_CANTREAD));
    errors = ::testing::internal::GetCapturedStderr();
    EXPECT_NE(errors.find(CurrentUserHive() + " is a folder"), std::string::npos) << errors;
}

TEST_F(RegistryApi, WritesThroughAHiveThatIsASymbolicLink) {
    MakeFolder(m_sandbox.ConfigHome() + "/brisvane");
    MakeFolder(m_sandbox.ConfigHome() + "/dotfiles");
    const std::string target = m_sandbox.ConfigHome() + "/dotfiles/user.reg";
    WriteFile(target, "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software]\r\n\"kept\"=\"1\"\r\n");
    ASSERT_EQ(chmod(target.c_str(), 0640), 0);
    ASSERT_EQ(symlink("../dotfiles/user.reg", CurrentUserHive().c_str()), 0);

    HKEY key = Create(HKEY_CURRENT_USER, "Software\\New");
    ASSERT_EQ(SetText(key, "added", "2"), ERROR_SUCCESS);
    RegCloseKey(key);

    struct stat info {};
    ASSERT_EQ(lstat(CurrentUserHive().c_str(), &info), 0);
    EXPECT_TRUE(S_ISLNK(info.st_mode)) << "the link is kept";
    const std::string written = ReadFile(target);
    EXPECT_NE(written.find("\"kept\"=\"1\""), std::string::npos) << written;
    EXPECT_NE(written.find("\"added\"=\"2\""), std::string::npos) << written;
    ASSERT_EQ(stat(target.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0640u);
    EXPECT_FALSE(Exists(target + ".tmp"));

    ASSERT_EQ(chmod(target.c_str(), 0444), 0);
    EXPECT_EQ(Open(HKEY_CURRENT_USER, "Software", KEY_ALL_ACCESS, key), ERROR_ACCESS_DENIED);
}

TEST_F(RegistryApi, NeverWritesThroughALinkLeftAtTheTemporaryOrLockFile) {
    MakeFolder(m_sandbox.ConfigHome() + "/brisvane");
    const std::string victim = m_sandbox.ConfigHome() + "/victim";
    WriteFile(victim, "precious");
    ASSERT_EQ(symlink(victim.c_str(), (CurrentUserHive() + ".tmp").c_str()), 0);
    // Opening the lock through a link would create a file wherever it points.
    const std::string absent = m_sandbox.ConfigHome() + "/created-through-link";
    ASSERT_EQ(symlink(absent.c_str(), (CurrentUserHive() + ".lock").c_str()), 0);

    HKEY key = Create(HKEY_CURRENT_USER, "Software");
    ASSERT_NE(key, nullptr);
    ASSERT_EQ(SetText(key, "v", "1"), ERROR_SUCCESS);
    RegCloseKey(key);
    EXPECT_EQ(ReadFile(victim), "precious");
    EXPECT_NE(ReadFile(CurrentUserHive()).find("\"v\"=\"1\""), std::string::npos);
    struct stat info {};
    EXPECT_NE(lstat((CurrentUserHive() + ".tmp").c_str(), &info), 0);
    EXPECT_FALSE(Exists(absent));
}

// As `touch -d`, `cp -p` or `rsync -t --inplace` leave it: the same file, the same size, the old
// time. Every other round waits before the first read, so that only the file's identity can tell
// the edit; the others edit at once, in what may still be the same clock tick.
TEST_F(RegistryApi, SeesAndKeepsAnEditMadeInPlaceWithTheOldTimePutBack) {
    HKEY key = Create(HKEY_CURRENT_USER, "Live");
    const std::string hive = CurrentUserHive();
    const timespec oldTimes[2] = {{1'500'000'000, 0}, {1'500'000'000, 0}};
    auto text = [&](const char* name) {
        std::vector<BYTE> data = Query(key, name);
        return std::string(data.begin(), data.end() - (data.empty() ? 0 : 1));
    };
    for (int round = 0; round < 12; ++round) {
        ASSERT_EQ(SetText(key, "Theirs", "before"), ERROR_SUCCESS);
        ASSERT_EQ(utimensat(AT_FDCWD, hive.c_str(), oldTimes, 0), 0);
        if (round % 2)
            std::this_thread::sleep_for(std::chrono::milliseconds(40));
        ASSERT_EQ(text("Theirs"), "before");

        const std::string content = ReadFile(hive);
        const std::size_t at = content.find("\"Theirs\"=\"before\"");
        ASSERT_NE(at, std::string::npos);
        const int fd = open(hive.c_str(), O_WRONLY);
        ASSERT_GE(fd, 0);
        const std::string edit = "\"Theirs\"=\"edited\"";
        EXPECT_EQ(pwrite(fd, edit.data(), edit.size(), static_cast<off_t>(at)),
                  static_cast<ssize_t>(edit.size()));
        close(fd);
        ASSERT_EQ(utimensat(AT_FDCWD, hive.c_str(), oldTimes, 0), 0);

        EXPECT_EQ(text("Theirs"), "edited") << "round " << round;
        ASSERT_EQ(SetText(key, "Mine", std::to_string(round)), ERROR_SUCCESS);
        EXPECT_NE(ReadFile(hive).find("\"Theirs\"=\"edited\""), std::string::npos)
            << "round " << round;
    }
    RegCloseKey(key);
}

} // namespace
