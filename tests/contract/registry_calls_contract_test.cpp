// What TRegistry relies on from the advapi32 registry calls, run against our Linux hives and,
// built for Windows, against the system's registry (under Wine). The real registry has no
// sandbox, so every case works below one test key that is removed before and after.
#include "platform/win32.h"
#include "support/registry_values.h"
#include "support/temp_folder.h"

#include <cstring>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

constexpr const char* kTestKey = "Software\\BrisvaneContractTest";

// A text as the program stores it: its characters and one closing zero byte.
std::string Text(const char* text) {
    return std::string(text, std::strlen(text) + 1);
}

std::string Bytes(const char* text, std::size_t size) {
    return std::string(text, size);
}

class RegistryCallsContract : public ::testing::Test {
protected:
    void SetUp() override {
        RegDeleteTreeA(HKEY_CURRENT_USER, kTestKey);
        ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, kTestKey, 0, nullptr, REG_OPTION_NON_VOLATILE,
                                  KEY_ALL_ACCESS, nullptr, &m_key, nullptr),
                  ERROR_SUCCESS);
    }
    void TearDown() override {
        if (m_key)
            RegCloseKey(m_key);
        EXPECT_EQ(RegDeleteTreeA(HKEY_CURRENT_USER, kTestKey), ERROR_SUCCESS);
    }

    HKEY Create(const std::string& path, DWORD* disposition = nullptr) {
        HKEY key = nullptr;
        EXPECT_EQ(RegCreateKeyExA(m_key, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                  KEY_ALL_ACCESS, nullptr, &key, disposition),
                  ERROR_SUCCESS)
            << path;
        return key;
    }

    LONG Open(const std::string& path, HKEY base = nullptr) {
        HKEY key = nullptr;
        const LONG result =
            RegOpenKeyExA(base ? base : m_key, path.c_str(), 0, KEY_ALL_ACCESS, &key);
        if (result == ERROR_SUCCESS)
            RegCloseKey(key);
        return result;
    }

    LONG Set(HKEY key, const char* name, DWORD type, const std::string& data) {
        return RegSetValueExA(key, name, 0, type, reinterpret_cast<const BYTE*>(data.data()),
                              static_cast<DWORD>(data.size()));
    }

    // The value's type and data as the two-step read of TRegistry gets them.
    bool Get(HKEY key, const char* name, DWORD& type, std::string& data) {
        DWORD size = 0;
        if (RegQueryValueExA(key, name, nullptr, &type, nullptr, &size) != ERROR_SUCCESS)
            return false;
        data.assign(size, '\0');
        DWORD got = size;
        const LONG result =
            RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(data.data()), &got);
        EXPECT_EQ(got, size);
        return result == ERROR_SUCCESS;
    }

    testing_support::RegistrySandbox m_sandbox;
    HKEY m_key = nullptr;
};

TEST_F(RegistryCallsContract, KeyNamesMatchWithoutRegardToCaseAndKeepTheCaseTheyWereMadeWith) {
    HKEY paths = Create("Tessmark\\Brisvane\\Paths");
    ASSERT_NE(paths, nullptr);
    RegCloseKey(paths);

    EXPECT_EQ(Open("TESSMARK\\brisvane\\PATHS"), ERROR_SUCCESS);
    EXPECT_EQ(Open("SOFTWARE\\BRISVANECONTRACTTEST\\Tessmark\\Brisvane\\Paths", HKEY_CURRENT_USER),
              ERROR_SUCCESS);

    DWORD disposition = 0;
    HKEY again = Create("tessmark\\BRISVANE\\paths", &disposition);
    EXPECT_EQ(disposition, REG_OPENED_EXISTING_KEY);
    RegCloseKey(again);

    HKEY brisvane = nullptr;
    ASSERT_EQ(RegOpenKeyExA(m_key, "tessmark\\brisvane", 0, KEY_ALL_ACCESS, &brisvane),
              ERROR_SUCCESS);
    char name[64];
    DWORD length = sizeof name;
    ASSERT_EQ(RegEnumKeyExA(brisvane, 0, name, &length, nullptr, nullptr, nullptr, nullptr),
              ERROR_SUCCESS);
    EXPECT_EQ(std::string(name, length), "Paths");
    length = sizeof name;
    EXPECT_EQ(RegEnumKeyExA(brisvane, 1, name, &length, nullptr, nullptr, nullptr, nullptr),
              ERROR_NO_MORE_ITEMS);
    RegCloseKey(brisvane);
}

TEST_F(RegistryCallsContract, ValueNamesMatchWithoutRegardToCase) {
    ASSERT_EQ(Set(m_key, "IE Cookie", REG_SZ, Text("old")), ERROR_SUCCESS);
    ASSERT_EQ(Set(m_key, "IE COOKIE", REG_SZ, Text("new")), ERROR_SUCCESS);

    DWORD type = 0;
    std::string data;
    ASSERT_TRUE(Get(m_key, "ie cookie", type, data));
    EXPECT_EQ(data, Text("new"));
    DWORD values = 0;
    ASSERT_EQ(RegQueryInfoKeyA(m_key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &values,
                               nullptr, nullptr, nullptr, nullptr),
              ERROR_SUCCESS);
    EXPECT_EQ(values, 1u);

    EXPECT_EQ(RegDeleteValueA(m_key, "Ie CoOkIe"), ERROR_SUCCESS);
    EXPECT_NE(RegDeleteValueA(m_key, "IE Cookie"), ERROR_SUCCESS);
}

TEST_F(RegistryCallsContract, EmptyNameAndNoNameBothMeanTheDefaultValue) {
    DWORD type = 0;
    std::string data;
    EXPECT_FALSE(Get(m_key, "", type, data)) << "a new key has no default value";

    ASSERT_EQ(Set(m_key, "", REG_SZ, Text("C:\\Program Files\\Brisvane")), ERROR_SUCCESS);
    ASSERT_TRUE(Get(m_key, nullptr, type, data));
    EXPECT_EQ(type, REG_SZ);
    EXPECT_EQ(data, Text("C:\\Program Files\\Brisvane"));

    ASSERT_EQ(Set(m_key, nullptr, REG_SZ, Text("other")), ERROR_SUCCESS);
    ASSERT_TRUE(Get(m_key, "", type, data));
    EXPECT_EQ(data, Text("other"));
    EXPECT_FALSE(Get(m_key, "@", type, data)) << "\"@\" is an ordinary name";
}

TEST_F(RegistryCallsContract, ValuesKeepTheirTypeAndEveryByte) {
    struct Case {
        const char* name;
        DWORD type;
        std::string sent; // what the buffer holds; the first `size` bytes are stored
        DWORD size;
    };
    std::string binary;
    for (int byte = 0; byte < 256; ++byte)
        binary.push_back(static_cast<char>(byte));
    // Windows adds a closing zero that a caller forgot to count when the byte after the data
    // is one; the unterminated text is therefore followed by a byte that is not zero.
    const std::vector<Case> cases = {
        {"text", REG_SZ, Text("true"), 5},
        {"empty", REG_SZ, Text(""), 1},
        {"unterminated", REG_SZ, "abc#", 3},
        {"inner zero", REG_SZ, Bytes("ab\0cd", 6), 6},
        {"expand", REG_EXPAND_SZ, Text("%USERPROFILE%\\Cookies"), 22},
        {"dword", REG_DWORD, Bytes("\x01\x00\x00\x80", 4), 4},
        {"binary", REG_BINARY, binary, 256},
        {"no data", REG_BINARY, "", 0},
    };
    for (const Case& c : cases)
        ASSERT_EQ(RegSetValueExA(m_key, c.name, 0, c.type,
                                 reinterpret_cast<const BYTE*>(c.sent.data()), c.size),
                  ERROR_SUCCESS)
            << c.name;

    RegCloseKey(m_key);
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, kTestKey, 0, KEY_ALL_ACCESS, &m_key), ERROR_SUCCESS);
    for (const Case& c : cases) {
        DWORD type = 0;
        std::string data;
        ASSERT_TRUE(Get(m_key, c.name, type, data)) << c.name;
        EXPECT_EQ(type, c.type) << c.name;
        EXPECT_EQ(data, c.sent.substr(0, c.size)) << c.name;
    }
}

TEST_F(RegistryCallsContract, QueryReportsSizeAndTypeAndRefusesShortBuffer) {
    ASSERT_EQ(Set(m_key, "Path", REG_SZ, Text("C:\\Brisvane")), ERROR_SUCCESS);

    DWORD type = 0;
    DWORD size = 0;
    ASSERT_EQ(RegQueryValueExA(m_key, "Path", nullptr, &type, nullptr, &size), ERROR_SUCCESS);
    EXPECT_EQ(type, REG_SZ);
    EXPECT_EQ(size, 12u);

    char buffer[32] = {};
    size = 4;
    EXPECT_EQ(
        RegQueryValueExA(m_key, "Path", nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size),
        ERROR_MORE_DATA);
    EXPECT_EQ(size, 12u);

    size = sizeof buffer;
    ASSERT_EQ(
        RegQueryValueExA(m_key, "Path", nullptr, nullptr, reinterpret_cast<BYTE*>(buffer), &size),
        ERROR_SUCCESS);
    EXPECT_EQ(size, 12u);
    EXPECT_EQ(std::string(buffer), "C:\\Brisvane");

    size = 99;
    EXPECT_EQ(RegQueryValueExA(m_key, "Missing", nullptr, &type, nullptr, &size),
              ERROR_FILE_NOT_FOUND);
}

TEST_F(RegistryCallsContract, OpenFailsOnMissingKeyAndCreateMakesEveryMissingParent) {
    EXPECT_EQ(Open("Tessmark"), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(Open("Tessmark\\Brisvane\\Settings"), ERROR_FILE_NOT_FOUND);

    DWORD disposition = 0;
    HKEY settings = Create("Tessmark\\Brisvane\\Settings", &disposition);
    EXPECT_EQ(disposition, REG_CREATED_NEW_KEY);
    RegCloseKey(settings);
    EXPECT_EQ(Open("Tessmark"), ERROR_SUCCESS);
    EXPECT_EQ(Open("Tessmark\\Brisvane\\Settings"), ERROR_SUCCESS);
}

TEST_F(RegistryCallsContract, KeysThatRefuseWritingSayAccessDeniedAndStillOpenForReading) {
    // As a standard user meets HKEY_LOCAL_MACHINE. The program tells a refusal from a missing
    // key by the answer, and reads there through keys opened for reading only.
    const char* run = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
    testing_support::SetText(HKEY_LOCAL_MACHINE, run, "Other", "C:\\Other\\other.exe");
    testing_support::DenyMachineWrites(m_sandbox);

    HKEY key = nullptr;
    EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, run, 0, KEY_ALL_ACCESS, &key), ERROR_ACCESS_DENIED);
    EXPECT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, run, 0, nullptr, REG_OPTION_NON_VOLATILE,
                              KEY_ALL_ACCESS, nullptr, &key, nullptr),
              ERROR_ACCESS_DENIED);
    EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Missing", 0, KEY_ALL_ACCESS, &key),
              ERROR_FILE_NOT_FOUND);

    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, run, 0, KEY_READ, &key), ERROR_SUCCESS);
    DWORD type = 0;
    std::string data;
    EXPECT_TRUE(Get(key, "Other", type, data));
    EXPECT_EQ(data, Text("C:\\Other\\other.exe"));
    EXPECT_EQ(Set(key, "Brisvane", REG_SZ, Text("C:\\Tools\\brisvan.exe")), ERROR_ACCESS_DENIED);
    EXPECT_EQ(RegDeleteValueA(key, "Other"), ERROR_ACCESS_DENIED);
    RegCloseKey(key);
}

TEST_F(RegistryCallsContract, EmptyPathOpensTheBaseKeyItself) {
    ASSERT_EQ(Set(m_key, "Here", REG_SZ, Text("yes")), ERROR_SUCCESS);
    HKEY same = nullptr;
    ASSERT_EQ(RegOpenKeyExA(m_key, "", 0, KEY_ALL_ACCESS, &same), ERROR_SUCCESS);
    DWORD type = 0;
    std::string data;
    EXPECT_TRUE(Get(same, "Here", type, data));
    EXPECT_EQ(data, Text("yes"));
    RegCloseKey(same);
}

TEST_F(RegistryCallsContract, TwoHandlesOnOneKeySeeEachOthersChanges) {
    HKEY first = Create("Settings");
    HKEY second = Create("SETTINGS");
    ASSERT_EQ(Set(first, "Cookies", REG_SZ, Text("true")), ERROR_SUCCESS);

    DWORD type = 0;
    std::string data;
    ASSERT_TRUE(Get(second, "Cookies", type, data));
    EXPECT_EQ(data, Text("true"));
    ASSERT_EQ(RegDeleteValueA(second, "Cookies"), ERROR_SUCCESS);
    EXPECT_FALSE(Get(first, "Cookies", type, data));
    RegCloseKey(first);
    RegCloseKey(second);
}

TEST_F(RegistryCallsContract, HandleOfDeletedKeyNeitherReadsNorBringsTheKeyBack) {
    HKEY paths = Create("Paths");
    ASSERT_EQ(Set(paths, "IE Cache", REG_SZ, Text("C:\\Cache")), ERROR_SUCCESS);
    ASSERT_EQ(RegDeleteKeyA(m_key, "Paths"), ERROR_SUCCESS);

    DWORD type = 0;
    std::string data;
    EXPECT_FALSE(Get(paths, "IE Cache", type, data));
    EXPECT_NE(Set(paths, "IE Cache", REG_SZ, Text("again")), ERROR_SUCCESS);
    RegCloseKey(paths);
    EXPECT_EQ(Open("Paths"), ERROR_FILE_NOT_FOUND);
}

TEST_F(RegistryCallsContract, DeleteKeyRefusesKeyWithSubkeys) {
    RegCloseKey(Create("Parent\\Child\\Grandchild"));

    EXPECT_NE(RegDeleteKeyA(m_key, "Parent"), ERROR_SUCCESS);
    EXPECT_NE(RegDeleteKeyA(m_key, "Parent\\Child"), ERROR_SUCCESS);
    EXPECT_EQ(Open("Parent\\Child\\Grandchild"), ERROR_SUCCESS);

    EXPECT_EQ(RegDeleteKeyA(m_key, "PARENT\\child\\GRANDCHILD"), ERROR_SUCCESS);
    EXPECT_EQ(RegDeleteKeyA(m_key, "Parent\\Child"), ERROR_SUCCESS);
    EXPECT_EQ(RegDeleteKeyA(m_key, "Parent"), ERROR_SUCCESS);
    EXPECT_EQ(Open("Parent"), ERROR_FILE_NOT_FOUND);
    EXPECT_NE(RegDeleteKeyA(m_key, "Parent"), ERROR_SUCCESS);
}

TEST_F(RegistryCallsContract, InfoAndEnumerationCountAndMeasureTheSubkeys) {
    for (const char* name : {"b", "Longest name", "a"})
        RegCloseKey(Create(name));

    DWORD subkeys = 0;
    DWORD longest = 0;
    ASSERT_EQ(RegQueryInfoKeyA(m_key, nullptr, nullptr, nullptr, &subkeys, &longest, nullptr,
                               nullptr, nullptr, nullptr, nullptr, nullptr),
              ERROR_SUCCESS);
    EXPECT_EQ(subkeys, 3u);
    EXPECT_EQ(longest, 12u) << "in characters, without the closing zero";

    EXPECT_EQ(RegDeleteTreeA(m_key, "Longest name"), ERROR_SUCCESS);
    ASSERT_EQ(RegQueryInfoKeyA(m_key, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr,
                               nullptr, nullptr, nullptr, nullptr, nullptr),
              ERROR_SUCCESS);
    EXPECT_EQ(subkeys, 2u);
}

} // namespace
