#include "platform/posix/hive_key.h"
#include "platform/posix/reg_import.h"
#include "platform/posix/reg_text.h"
#include "support/utf16_document.h"

#include <gtest/gtest.h>
#include <string>

namespace {

namespace hive = brisvane::platform::hive;
using testing_support::Utf16Le;

hive::Key Import(const std::string& document, std::string_view root = "HKEY_CURRENT_USER") {
    std::vector<hive::RegEdit> edits;
    auto error = hive::ParseRegDocument(document, edits);
    EXPECT_FALSE(error) << (error ? error->reason : "");
    hive::Key key;
    EXPECT_FALSE(hive::ApplyEdits(edits, root, key));
    key.Settle();
    return key;
}

std::vector<BYTE> Bytes(const std::string& s) {
    return {s.begin(), s.end()};
}

std::string DeepPath(std::size_t levels) {
    std::string path;
    for (std::size_t i = 0; i < levels; ++i)
        path += "\\k";
    return path;
}

TEST(RegFileParsing, ReadsTheUnicodeFormOfCurrentWindows) {
    std::string document = "Windows Registry Editor Version 5.00\r\n\r\n"
                           "[HKEY_CURRENT_USER\\Software\\App]\r\n"
                           "@=\"default\"\r\n"
                           "\"Text\"=\"caf\\\"e\\\\\"\r\n"
                           "\"Env\"=hex(2):25,00,58,00,25,00,00,00\r\n"
                           "\"Multi\"=hex(7):61,00,00,00,62,00,\\\r\n"
                           "  00,00,00,00\r\n"
                           "\"Num\"=dword:0000002A\r\n";
    hive::Key root = Import(Utf16Le(document));
    const hive::Key* app = root.Find({"software", "APP"});
    ASSERT_NE(app, nullptr);
    EXPECT_EQ(app->FindValue("")->data, Bytes(std::string("default", 8)));
    EXPECT_EQ(app->FindValue("text")->data, Bytes(std::string("caf\"e\\", 7)));
    EXPECT_EQ(app->FindValue("Env")->type, REG_EXPAND_SZ);
    EXPECT_EQ(app->FindValue("Env")->data, Bytes(std::string("%X%", 4)));
    EXPECT_EQ(app->FindValue("Multi")->data, Bytes(std::string("a\0b\0\0", 5)));
    EXPECT_EQ(app->FindValue("Num")->data, (std::vector<BYTE>{0x2a, 0, 0, 0}));
}

TEST(RegFileParsing, TurnsNonAsciiUtf16IntoUtf8) {
    std::string document = "\xFF\xFE";
    for (char c : std::string("Windows Registry Editor Version 5.00\r\n[HKEY_CURRENT_USER\\K]\r\n"
                              "\"v\"=hex(2):e9,00,ac,20,3d,d8,00,de,00,00\r\n")) {
        document += c;
        document += '\0';
    }
    hive::Key root = Import(document);
    EXPECT_EQ(root.Find({"K"})->FindValue("v")->data,
              Bytes(std::string("\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80", 10)));
}

TEST(RegFileParsing, AppliesDeletionsAsAnImportDoes) {
    hive::Key root;
    root.Create({"Keep"}).SetValue("gone", REG_SZ, Bytes(std::string("x", 2)));
    root.Create({"Keep"}).SetValue("stays", REG_SZ, Bytes(std::string("y", 2)));
    root.Create({"Drop", "Deep"});
    std::vector<hive::RegEdit> edits;
    ASSERT_FALSE(
        hive::ParseRegDocument("REGEDIT4\n\n[-HKEY_CURRENT_USER\\drop]\n\"ignored\"=\"1\"\n"
                               "; a comment\n[HKEY_CURRENT_USER\\Keep]\n\"GONE\"=-\n",
                               edits));
    ASSERT_FALSE(hive::ApplyEdits(edits, "HKEY_CURRENT_USER", root));
    EXPECT_EQ(root.Find({"Drop"}), nullptr);
    EXPECT_EQ(root.Find({"Keep"})->FindValue("gone"), nullptr);
    EXPECT_NE(root.Find({"Keep"})->FindValue("stays"), nullptr);
    EXPECT_EQ(root.Find({"ignored"}), nullptr);
}

TEST(RegFileParsing, SplitsEverySectionWhateverItSharesWithTheOneBefore) {
    const std::string document = "REGEDIT4\r\n[HKEY_CURRENT_USER\\A\\BC]\r\n"
                                 "[HKEY_CURRENT_USER\\A\\B\\C]\r\n[HKEY_CURRENT_USER\\AB]\r\n"
                                 "[HKEY_CURRENT_USER\\A\\B\\]\r\n\"v\"=\"1\"\r\n"
                                 "[HKEY_CURRENT_USER\\A\\B\\]\r\n[HKEY_CURRENT_USER]\r\n"
                                 "[HKEY_CURRENT_USERS\\A]\r\n[-HKEY_CURRENT_USER\\A\\B]\r\n";
    const std::vector<std::string> expected = {
        "HKEY_CURRENT_USER|A|BC", "HKEY_CURRENT_USER|A|B|C", "HKEY_CURRENT_USER|AB",
        "HKEY_CURRENT_USER|A|B",  "HKEY_CURRENT_USER|A|B",   "HKEY_CURRENT_USER|A|B",
        "HKEY_CURRENT_USER",      "HKEY_CURRENT_USERS|A",    "HKEY_CURRENT_USER|A|B",
    };
    std::vector<hive::RegEdit> edits;
    ASSERT_FALSE(hive::ParseRegDocument(document, edits));
    std::vector<std::string> named;
    for (const hive::RegEdit& edit : edits) {
        std::string name = edit.rootName;
        for (const std::string& part : edit.path)
            name += "|" + part;
        named.push_back(name);
    }
    EXPECT_EQ(named, expected);
}

TEST(RegFileParsing, NamesTheLineOfTheFirstFault) {
    struct Case {
        std::string document;
        int line;
    };
    const std::vector<Case> cases = {
        {"REGEDIT5\r\n", 1},
        {"REGEDIT4\r\n\"early\"=\"1\"\r\n", 2},
        {"REGEDIT4\r\n[HKEY_CURRENT_USER\\K\r\n", 2},
        {"REGEDIT4\r\n[HKEY_CURRENT_USER\\K]\r\n\"v\"=\"open\r\n", 3},
        {"REGEDIT4\r\n[HKEY_CURRENT_USER\\K]\r\n\"v\"=\"a\\x\"\r\n", 3},
        {"REGEDIT4\r\n[HKEY_CURRENT_USER\\K]\r\n\"v\"=\"ends in \\\r\n", 3},
        {"REGEDIT4\r\n[HKEY_CURRENT_USER\\K]\r\n\"v\\\"=\"1\"\r\n", 3},
        {"REGEDIT4\r\n[HKEY_CURRENT_USER\\K]\r\n\"v\"=dword:123456789\r\n", 3},
        {"REGEDIT4\r\n[HKEY_CURRENT_USER\\K]\r\n\r\n\"v\"=hex:01,\\\r\n  0g\r\n", 5},
        {"REGEDIT4\r\n[HKEY_CURRENT_USER\\K]\r\nnonsense\r\n", 3},
        {"REGEDIT4\r\n[HKEY_CURRENT_USER\\\\K]\r\n", 2},
        {"REGEDIT4\r\n[HKEY_CURRENT_USER\\K\\L]\r\n[HKEY_CURRENT_USER\\K\\\\L]\r\n", 3},
        {"REGEDIT4\r\n\r\n[HKEY_CURRENT_USER" + DeepPath(hive::kMaxKeyDepth + 1) + "]\r\n", 3},
    };
    for (const Case& c : cases) {
        std::vector<hive::RegEdit> edits;
        auto error = hive::ParseRegDocument(c.document, edits);
        ASSERT_TRUE(error) << c.document;
        EXPECT_EQ(error->line, c.line) << c.document;
        EXPECT_FALSE(error->reason.empty());
    }
}

TEST(RegFileWriting, ReadsBackWhatItWrites) {
    hive::Key root;
    hive::Key& key = root.Create({"Software", "Odd]Name"});
    std::vector<BYTE> big(300);
    for (std::size_t i = 0; i < big.size(); ++i)
        big[i] = static_cast<BYTE>(i);
    key.SetValue("big", REG_BINARY, big);
    key.SetValue("quote\"back\\slash", REG_SZ, Bytes(std::string("a\"b\\c", 6)));
    key.SetValue("\"\\", REG_SZ, Bytes(std::string("\\\"\\", 4)));
    key.SetValue("", REG_EXPAND_SZ, Bytes(std::string("%PATH%", 7)));
    root.SetValue("at root", REG_DWORD, {1, 0, 0, 0});

    std::string text = hive::SerializeHive(root, "HKEY_LOCAL_MACHINE");
    EXPECT_EQ(
        text.rfind("REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE]\r\n\"at root\"=dword:00000001\r\n", 0), 0u)
        << text;
    hive::Key back = Import(text, "hkey_local_machine");
    const hive::Key* again = back.Find({"SOFTWARE", "odd]name"});
    ASSERT_NE(again, nullptr);
    EXPECT_EQ(again->Name(), "Odd]Name");
    EXPECT_EQ(again->FindValue("big")->data, big);
    EXPECT_EQ(again->FindValue("QUOTE\"BACK\\SLASH")->data, Bytes(std::string("a\"b\\c", 6)));
    EXPECT_EQ(again->FindValue("\"\\")->data, Bytes(std::string("\\\"\\", 4)));
    EXPECT_EQ(again->FindValue("")->type, REG_EXPAND_SZ);
    EXPECT_EQ(back.FindValue("at root")->data, (std::vector<BYTE>{1, 0, 0, 0}));
    EXPECT_EQ(hive::SerializeHive(back, "HKEY_LOCAL_MACHINE"), text);
}

// Texts are searched for '"' and '\' several bytes at a time: each must be found wherever it
// falls, beside bytes that differ from them in one bit, and before another one in the same word.
TEST(RegFileWriting, EscapesEveryQuoteAndBackslashWhereverItFalls) {
    const std::string near = "\xA2\xDC!#[]";
    for (const std::string special : {"\"", "\\", "\\\"", "\"\\"}) {
        for (std::size_t at = 0; at < 20; ++at) {
            std::string text;
            for (std::size_t i = 0; i < 20; ++i)
                text += near[i % near.size()];
            text.insert(at, special);
            hive::Key root;
            root.Create({"K"}).SetValue(text, REG_SZ, Bytes(text + '\0'));
            const hive::Key back = Import(hive::SerializeHive(root, "HKEY_CURRENT_USER"));
            const hive::Key* key = back.Find({"K"});
            ASSERT_NE(key, nullptr);
            ASSERT_NE(key->FindValue(text), nullptr) << "at " << at;
            EXPECT_EQ(key->FindValue(text)->data, Bytes(text + '\0')) << "at " << at;
        }
    }
}

TEST(RegistryKeys, LetGoOfATreeOfAnyDepthWithoutRunningOutOfStack) {
    const std::vector<std::string> path(300000, "k");
    hive::Key root;
    root.Create(path).SetValue("v", REG_SZ, Bytes(std::string("x", 2)));
    root = hive::Key();
    EXPECT_TRUE(root.Subkeys().empty());
    root.Create(path);
    EXPECT_TRUE(root.RemoveSubkey("K"));
    root.Create(path);
}

} // namespace
