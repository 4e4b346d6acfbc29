// Keys with many subkeys and values: every look-up by any spelling of a name, and the order the
// lists come out in, checked against a plain list searched name by name.
#include "platform/posix/hive_key.h"
#include "platform/posix/name_case.h"
#include "platform/posix/reg_import.h"
#include "platform/posix/reg_text.h"
#include "platform/win32.h"
#include "support/temp_folder.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <ctime>
#include <fcntl.h>
#include <functional>
#include <gtest/gtest.h>
#include <random>
#include <string>
#include <sys/stat.h>
#include <vector>

using brisvane::platform::posix::CompareNamesIgnoringCase;
using brisvane::platform::posix::NamesEqualIgnoringCase;
using namespace testing_support;
namespace hive = brisvane::platform::hive;

namespace {

// Names that differ only in case, in several scripts, and one spelled in Windows-1252 bytes.
const std::vector<std::vector<std::string>> kSpellings = {
    {"\xC3\xA9t\xC3\xA9", "\xC3\x89T\xC3\x89", "\xE9T\xC9"}, // été, ÉTÉ, cp1252
    {"\xCE\xA3\xCE\xBF\xCF\x86\xCE\xAF\xCE\xB1", "\xCF\x83\xCE\xBF\xCF\x86\xCE\xAF\xCE\xB1",
     "\xCE\xA3\xCE\x9F\xCE\xA6\xCE\x8A\xCE\x91"},             // Σοφία, σοφία, ΣΟΦΊΑ
    {"\xD0\x9C\xD0\xB8\xD1\x80", "\xD0\xBC\xD0\x98\xD0\xA0"}, // Мир, мИР
    {"Stra\xC3\x9F"
     "e",
     "STRA\xC3\x9F"
     "E"}, // Straße
    {"Cookies", "COOKIES", "cOOKIES"},
};

// A spelling of name number n: the fixed ones first, then generated names mixing ASCII with
// accented letters, whose case is flipped at random.
std::string Spelling(std::size_t n, std::mt19937& random) {
    if (n < kSpellings.size()) {
        const auto& forms = kSpellings[n];
        return forms[random() % forms.size()];
    }
    std::string name = "Entry" + std::to_string(n) + (n % 3 == 0 ? "\xC3\xA0" : "");
    for (char& c : name)
        if (std::isalpha(static_cast<unsigned char>(c)) && random() % 2)
            c = static_cast<char>(c ^ 0x20);
    if (n % 3 == 0 && random() % 2)
        name.replace(name.size() - 2, 2, "\xC3\x80"); // à as À
    return name;
}

struct ModelEntry {
    std::string name;
    DWORD type;
};

// The obvious list: found by comparing every name, values kept in the order first set.
class ModelList {
public:
    ModelEntry* Find(const std::string& name) {
        for (ModelEntry& entry : m_entries)
            if (NamesEqualIgnoringCase(entry.name, name))
                return &entry;
        return nullptr;
    }
    void Set(const std::string& name, DWORD type) {
        if (ModelEntry* entry = Find(name))
            entry->type = type;
        else
            m_entries.push_back({name, type});
    }
    bool Remove(const std::string& name) {
        auto at = std::find_if(m_entries.begin(), m_entries.end(), [&](const ModelEntry& entry) {
            return NamesEqualIgnoringCase(entry.name, name);
        });
        if (at == m_entries.end())
            return false;
        m_entries.erase(at);
        return true;
    }
    const std::vector<ModelEntry>& Entries() const { return m_entries; }

private:
    std::vector<ModelEntry> m_entries;
};

void ExpectValuesMatch(hive::Key& key, const ModelList& model) {
    key.Settle();
    ASSERT_EQ(key.Values().size(), model.Entries().size());
    for (std::size_t i = 0; i < model.Entries().size(); ++i) {
        EXPECT_EQ(key.Values()[i].name, model.Entries()[i].name) << i;
        EXPECT_EQ(key.Values()[i].type, model.Entries()[i].type) << i;
    }
}

void ExpectSubkeysMatch(hive::Key& key, const ModelList& model) {
    key.Settle();
    std::vector<std::string> expected;
    for (const ModelEntry& entry : model.Entries())
        expected.push_back(entry.name);
    std::sort(expected.begin(), expected.end(), [](const std::string& a, const std::string& b) {
        return CompareNamesIgnoringCase(a, b) < 0;
    });
    std::vector<std::string> listed;
    for (const auto& subkey : key.Subkeys())
        listed.push_back(subkey->Name());
    EXPECT_EQ(listed, expected);
}

// Random sets, removals and look-ups, each under a random spelling, in a key of `names`
// distinct names; the lists are compared with the model now and then and at the end.
void RunAgainstModel(std::size_t names, int steps, unsigned seed) {
    std::mt19937 random(seed);
    hive::Key key;
    ModelList values;
    ModelList subkeys;
    for (int step = 0; step < steps; ++step) {
        const std::size_t n = random() % names;
        const std::string name = Spelling(n, random);
        switch (random() % 6) {
        case 0:
        case 1: {
            const DWORD type = random() % 3;
            const bool existed = values.Find(name) != nullptr;
            const bool sameType = existed && values.Find(name)->type == type;
            EXPECT_EQ(key.SetValue(name, type, {1, 2, 3}), !sameType) << name;
            values.Set(name, type);
            break;
        }
        case 2:
            EXPECT_EQ(key.RemoveValue(name), values.Remove(name)) << name;
            break;
        case 3: {
            bool created = false;
            key.AddSubkey(name, &created);
            EXPECT_EQ(created, subkeys.Find(name) == nullptr) << name;
            if (created)
                subkeys.Set(name, REG_NONE);
            break;
        }
        case 4:
            EXPECT_EQ(key.RemoveSubkey(name), subkeys.Remove(name)) << name;
            break;
        default: {
            const hive::Value* value = key.FindValue(name);
            const ModelEntry* expected = values.Find(name);
            ASSERT_EQ(value != nullptr, expected != nullptr) << name;
            if (value) {
                EXPECT_EQ(value->name, expected->name);
            }
            const hive::Key* subkey = key.FindSubkey(name);
            const ModelEntry* expectedKey = subkeys.Find(name);
            ASSERT_EQ(subkey != nullptr, expectedKey != nullptr) << name;
            if (subkey) {
                EXPECT_EQ(subkey->Name(), expectedKey->name);
            }
        }
        }
        if (step % 997 == 0) {
            ExpectValuesMatch(key, values);
            ExpectSubkeysMatch(key, subkeys);
        }
    }
    ExpectValuesMatch(key, values);
    ExpectSubkeysMatch(key, subkeys);
    key.Settle();
    for (const ModelEntry& entry : values.Entries())
        EXPECT_NE(key.FindValue(entry.name), nullptr) << entry.name;
}

TEST(RegistryLookups, SmallKeysFindEverySpellingAndKeepTheirOrder) {
    RunAgainstModel(7, 3000, 1);
}

TEST(RegistryLookups, LargeKeysFindEverySpellingAndKeepTheirOrder) {
    RunAgainstModel(1500, 20000, 2);
}

TEST(RegistryLookups, SubkeysAddedInAnyOrderAreListedAsWindowsListsThem) {
    std::vector<std::string> names;
    for (int i = 0; i < 3000; ++i) {
        std::string name(i % 2 ? "k" : "K");
        name += std::to_string(i);
        if (i % 5 == 0)
            name += "\xC3\xA9";
        names.push_back(name);
    }
    // Long names that first differ far in, and names that begin others.
    for (int i = 0; i < 300; ++i)
        names.push_back((i % 2 ? "A long shared beginning " : "a LONG SHARED beginning ") +
                        std::to_string(i * 7919 % 1000));
    for (const char* name : {"Twelve units", "Twelve unitsX", "Twelve unit", "twelve units and",
                             "Twelve unitsÃ©", "Twelve-units"})
        names.push_back(name);
    // Numbered names that share their first ten units.
    for (int i = 0; i < 300; ++i)
        names.push_back("Key" + std::to_string(10000000 + i * 7919 % 1000));
    for (const auto& forms : kSpellings)
        names.push_back(forms.front());
    std::shuffle(names.begin(), names.end(), std::mt19937(3));
    // Names whose upper-cased units all fit in a byte sort as well as those with Greek and
    // Cyrillic letters.
    std::vector<std::string> latin;
    std::copy_if(names.begin(), names.end(), std::back_inserter(latin),
                 [](const std::string& name) {
                     return std::none_of(name.begin(), name.end(), [](char c) {
                         return c == '\xCE' || c == '\xCF' || c == '\xD0' || c == '\xD1';
                     });
                 });
    auto expectListedInOrder = [](const std::vector<std::string>& added, hive::Key& key) {
        ModelList model;
        for (const std::string& name : added) {
            key.AddSubkey(name);
            model.Set(name, REG_NONE);
        }
        ExpectSubkeysMatch(key, model);
        return model;
    };
    hive::Key latinOnly;
    expectListedInOrder(latin, latinOnly);
    // Names that all share a long beginning, with units that fit a byte and with one that does
    // not, which the sort packs past that beginning.
    std::vector<std::string> alike = {"Classes Entry", "classes entry 12345678a",
                                      "Classes Entry 12345678B", "Classes Entry 12345678"};
    for (int i = 0; i < 400; ++i)
        alike.push_back((i % 2 ? "Classes Entry " : "CLASSES ENTRY ") + std::to_string(i * 7919));
    hive::Key alikeInBytes;
    expectListedInOrder(alike, alikeInBytes);
    alike.push_back("Classes Entry 1\xD0\x90");
    std::shuffle(alike.begin(), alike.end(), std::mt19937(5));
    hive::Key alikeWider;
    expectListedInOrder(alike, alikeWider);
    hive::Key shuffled;
    const ModelList model = expectListedInOrder(names, shuffled);

    // The same tree written out and read back lists the same and is found by other spellings.
    std::vector<hive::RegEdit> edits;
    ASSERT_FALSE(hive::ParseRegDocument(hive::SerializeHive(shuffled, "HKEY_CURRENT_USER"), edits));
    hive::Key back;
    ASSERT_FALSE(hive::ApplyEdits(edits, "HKEY_CURRENT_USER", back));
    ExpectSubkeysMatch(back, model);
    for (const auto& forms : kSpellings)
        for (const std::string& form : forms)
            EXPECT_NE(back.FindSubkey(form), nullptr) << form;
}

// A long key that keeps growing in order goes without its hash until it is changed otherwise:
// after each change every name is found by another spelling, before and after settling.
TEST(RegistryLookups, SubkeysAddedInOrderAreFoundThroughEachChange) {
    using Change = std::function<bool(hive::Key&, ModelList&)>; // whether it did as it should
    const auto add = [](hive::Key& key, ModelList& model, const std::string& name) {
        bool created = false;
        key.AddSubkey(name, &created);
        model.Set(name, REG_NONE);
        return created;
    };
    const std::vector<std::pair<const char*, Change>> changes = {
        {"a name added again in another case",
         [&](hive::Key& key, ModelList& model) { return !add(key, model, "NAME0250"); }},
        {"a name added between two",
         [&](hive::Key& key, ModelList& model) { return add(key, model, "Name0101"); }},
        {"two removed, the last among them, and one added past them",
         [&](hive::Key& key, ModelList& model) {
             return key.RemoveSubkey("name0300") && model.Remove("Name0300") &&
                    key.RemoveSubkey("Name0998") && model.Remove("Name0998") &&
                    add(key, model, "Name9999");
         }},
    };
    for (const auto& [what, change] : changes) {
        hive::Key key;
        ModelList model;
        for (int i = 0; i < 1000; i += 2) {
            char name[16];
            std::snprintf(name, sizeof name, "Name%04d", i);
            add(key, model, name);
        }
        ASSERT_TRUE(change(key, model)) << what;
        for (int settled = 0; settled < 2; ++settled) {
            for (const ModelEntry& entry : model.Entries()) {
                std::string spelling = entry.name;
                std::transform(spelling.begin(), spelling.end(), spelling.begin(), ::tolower);
                const hive::Key* found = key.FindSubkey(spelling);
                ASSERT_NE(found, nullptr) << what << ": " << spelling;
                EXPECT_EQ(found->Name(), entry.name) << what;
            }
            EXPECT_EQ(key.FindSubkey("Name0001"), nullptr) << what;
            ExpectSubkeysMatch(key, model);
        }
    }
}

class RegistryWrites : public ::testing::Test {
protected:
    std::string UserHive() const { return m_sandbox.HivePath("HKEY_CURRENT_USER"); }

    static HKEY CreateKey(const char* path) {
        HKEY key = nullptr;
        EXPECT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, path, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                                  &key, nullptr),
                  ERROR_SUCCESS);
        return key;
    }

    static LONG SetBytes(HKEY key, const std::string& name, DWORD type,
                         const std::vector<BYTE>& data) {
        return RegSetValueExA(key, name.c_str(), 0, type, data.data(),
                              static_cast<DWORD>(data.size()));
    }

    static std::string QueryText(HKEY key, const std::string& name) {
        char text[64] = {};
        DWORD size = sizeof text;
        if (RegQueryValueExA(key, name.c_str(), nullptr, nullptr, reinterpret_cast<BYTE*>(text),
                             &size) != ERROR_SUCCESS)
            return "(missing)";
        return text;
    }

    ino_t Inode() const {
        struct stat info {};
        EXPECT_EQ(stat(UserHive().c_str(), &info), 0);
        return info.st_ino;
    }

    void SetModified(const timespec& when) const {
        const timespec times[2] = {when, when};
        ASSERT_EQ(utimensat(AT_FDCWD, UserHive().c_str(), times, 0), 0);
    }

    RegistrySandbox m_sandbox;
};

TEST_F(RegistryWrites, TheSameTypeAndBytesAgainLeaveTheHiveFileAlone) {
    HKEY key = CreateKey("Software\\Same");
    ASSERT_EQ(SetBytes(key, "Flag", REG_SZ, {'t', 'r', 'u', 'e', 0}), ERROR_SUCCESS);
    const ino_t written = Inode();
    const std::string content = ReadFile(UserHive());

    EXPECT_EQ(SetBytes(key, "FLAG", REG_SZ, {'t', 'r', 'u', 'e', 0}), ERROR_SUCCESS);
    HKEY again = CreateKey("SOFTWARE\\same");
    EXPECT_EQ(Inode(), written) << "nothing changed, so nothing was written";
    EXPECT_EQ(ReadFile(UserHive()), content);
    EXPECT_FALSE(Exists(UserHive() + ".tmp"));

    // Other bytes, or the same bytes under another type, are a change.
    EXPECT_EQ(SetBytes(again, "flag", REG_EXPAND_SZ, {'t', 'r', 'u', 'e', 0}), ERROR_SUCCESS);
    const ino_t retyped = Inode();
    EXPECT_NE(retyped, written);
    EXPECT_EQ(SetBytes(again, "flag", REG_EXPAND_SZ, {'t', 'r', 'u', 'e', 0, 0}), ERROR_SUCCESS);
    EXPECT_NE(Inode(), retyped);
    EXPECT_NE(ReadFile(UserHive()).find("\"Flag\"=hex(2):74,72,75,65,00,00"), std::string::npos);
    RegCloseKey(again);
    RegCloseKey(key);
}

TEST_F(RegistryWrites, AHiveRewrittenInPlaceWithTheSameSizeAndTimeIsReadAnew) {
    MakeFolder(m_sandbox.ConfigHome() + "/brisvane");
    // A time still to come can always be shared by a later change, so what was read under it
    // is checked against the file again.
    const timespec later{std::time(nullptr) + 60, 0};
    WriteFile(UserHive(), "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\K]\r\n\"v\"=\"aaaa\"\r\n");
    SetModified(later);
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "K", 0, KEY_READ, &key), ERROR_SUCCESS);
    EXPECT_EQ(QueryText(key, "v"), "aaaa");

    WriteFile(UserHive(), "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\K]\r\n\"v\"=\"bbbb\"\r\n");
    SetModified(later);
    EXPECT_EQ(QueryText(key, "v"), "bbbb");

    // A write of ours after it starts from what the file holds now.
    HKEY writable = CreateKey("K");
    ASSERT_EQ(SetBytes(writable, "w", REG_SZ, {'x', 0}), ERROR_SUCCESS);
    EXPECT_EQ(QueryText(key, "v"), "bbbb");
    EXPECT_EQ(QueryText(key, "w"), "x");
    RegCloseKey(writable);
    RegCloseKey(key);
}

TEST_F(RegistryWrites, ALargeKeyAnswersEverySpellingAndListsInOrderThroughTheCalls) {
    std::mt19937 random(4);
    std::vector<std::string> names;
    std::string hive = "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\Large]\r\n";
    for (std::size_t n = 0; n < 1500; ++n) {
        names.push_back(Spelling(n, random));
        hive += "\"" + names.back() + "\"=\"" + std::to_string(n) + "\"\r\n";
    }
    MakeFolder(m_sandbox.ConfigHome() + "/brisvane");
    WriteFile(UserHive(), hive);
    HKEY key = CreateKey("Software\\Large");
    for (std::size_t n = 0; n < names.size(); ++n)
        EXPECT_EQ(QueryText(key, Spelling(n, random)), std::to_string(n)) << names[n];

    ASSERT_EQ(RegDeleteValueA(key, Spelling(10, random).c_str()), ERROR_SUCCESS);
    ASSERT_EQ(SetBytes(key, Spelling(20, random), REG_SZ, {'2', '0', 0}), ERROR_SUCCESS)
        << "the same again";
    ASSERT_EQ(SetBytes(key, Spelling(10, random), REG_SZ, {'b', 'a', 'c', 'k', 0}), ERROR_SUCCESS);
    names.push_back(names[10]);
    names.erase(names.begin() + 10);
    std::vector<std::string> listed;
    char name[300];
    for (DWORD i = 0;; ++i) {
        DWORD length = sizeof name;
        if (RegEnumValueA(key, i, name, &length, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS)
            break;
        listed.emplace_back(name, length);
    }
    ASSERT_EQ(listed.size(), names.size());
    // A value set again after its removal comes last, spelled as it was set this time.
    EXPECT_TRUE(NamesEqualIgnoringCase(listed.back(), names.back()));
    listed.pop_back();
    names.pop_back();
    EXPECT_EQ(listed, names);
    RegCloseKey(key);
}

} // namespace
