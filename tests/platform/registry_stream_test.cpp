// Reading a hive in chunks must give what reading it whole gives: the same edits and faults,
// the same key, the same text written.
#include "platform/posix/hive_file.h"
#include "platform/posix/hive_halves.h"
#include "platform/posix/hive_key.h"
#include "platform/posix/reg_import.h"
#include "platform/posix/reg_text.h"
#include "support/temp_folder.h"
#include "support/utf16_document.h"

#include <algorithm>
#include <cstring>
#include <gtest/gtest.h>
#include <optional>
#include <string>
#include <vector>

namespace {

namespace hive = brisvane::platform::hive;
using namespace testing_support;

// An edit and the fault that ended the parse, as text, so that two parses compare whole.
std::string Describe(const std::string& bytes, std::size_t chunk) {
    std::string described;
    const hive::EditSink sink = [&](const hive::RegEdit& edit) -> std::optional<hive::ParseError> {
        described += std::to_string(static_cast<int>(edit.kind)) + " " + edit.rootName;
        for (const std::string& part : edit.path)
            described += "\\" + part;
        described += " " + std::to_string(edit.line) + " " + edit.value.name + "=" +
                     std::to_string(edit.value.type) + ":";
        described.append(edit.value.data.begin(), edit.value.data.end());
        described += "\n";
        return std::nullopt;
    };
    std::optional<hive::ParseError> error;
    if (chunk == 0) {
        error = hive::ParseRegDocument(bytes, sink);
    } else {
        std::size_t at = 0;
        error = hive::ParseRegStream(
            [&](char* buffer, std::size_t size) {
                const std::size_t taken = std::min({size, chunk, bytes.size() - at});
                std::memcpy(buffer, bytes.data() + at, taken);
                at += taken;
                return taken;
            },
            sink);
    }
    if (error)
        described += "fault at line " + std::to_string(error->line) + ": " + error->reason;
    return described;
}

TEST(RegStream, HandsTheSameEditsAndFaultsAsTheWholeTextInChunksOfAnySize) {
    const std::string regedit4 = "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\A\\B]\r\n@=\"d\"\r\n"
                                 "\"bin\"=hex:01,02,\\\r\n  03,04\r\n\"n\"=dword:1f\r\n"
                                 "[-HKEY_CURRENT_USER\\A\\Gone]\r\n\"skipped\"=\"x\"\r\n"
                                 "[HKEY_CURRENT_USER\\A]\r\n\"old\"=-\r\n";
    const std::string windows = "Windows Registry Editor Version 5.00\r\n\r\n"
                                "[HKEY_LOCAL_MACHINE\\S]\r\n\"Env\"=hex(2):25,00,41,00,00,00\r\n"
                                "\"Pair\"=\"\xF0\x9F\x98\x80\"\r\n";
    const std::vector<std::string> documents = {
        regedit4,
        "\xEF\xBB\xBF" + regedit4,
        Utf16Le(windows),
        Utf16Le(windows) + "x", // an odd last byte
        "REGEDIT4\n[HKEY_CURRENT_USER\\A]\n\"v\"=\"no line end at the end\"",
        "REGEDIT4\r\n[HKEY_CURRENT_USER\\A]\r\n\"b\"=wrong\r\n",
        "REGEDIT4\r\n[HKEY_CURRENT_USER\\A]\r\n\"h\"=hex:01,\\\r\n",
        "REGEDIT5\r\n",
        "REGEDIT4",
        "RE",
        "\xEF\xBB\xBF",
        "",
    };
    for (const std::string& document : documents) {
        const std::string whole = Describe(document, 0);
        for (std::size_t chunk : {1, 2, 3, 7, 64 * 1024})
            EXPECT_EQ(Describe(document, chunk), whole) << "chunks of " << chunk << ":\n"
                                                        << document;
    }
}

// A key as the query shows it: its values in order, then its subkeys' names.
std::string Listing(const hive::Key& key) {
    std::string listed;
    for (const hive::Value& value : key.Values()) {
        listed += std::string(value.name) + " " + std::to_string(value.type) + " ";
        listed.append(value.data.begin(), value.data.end());
        listed += "\n";
    }
    for (const hive::Key* subkey : key.Subkeys())
        listed += "[" + std::string(subkey->Name()) + "]\n";
    return listed;
}

// Keys spread over several sections, spelt in other cases, deleted and made again, values
// deleted and set again, subkeys out of order, with enough filler that the asked keys lie in
// several chunks.
// With valuesInMiddle, the fillers are values of the key asked for, lying across the middle.
std::string AwkwardHive(int fillers = 3000, bool valuesInMiddle = false) {
    std::string text = "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Soft\\App]\r\n@=\"default\"\r\n"
                       "\"b\"=\"1\"\r\n\"a\"=dword:2\r\n[HKEY_CURRENT_USER\\Soft\\App\\zeta]\r\n"
                       "[HKEY_CURRENT_USER\\Soft\\Other]\r\n\"b\"=\"other's\"\r\n";
    if (valuesInMiddle)
        text += "  [HKEY_CURRENT_USER\\Soft\\App]\r\n";
    for (int i = 0; i < fillers; ++i) {
        if (!valuesInMiddle)
            text += "[HKEY_CURRENT_USER\\Soft\\Filler\\K" + std::to_string(i) + "]\r\n";
        text += "\"v" + (valuesInMiddle ? std::to_string(i) : "") + "\"=\"" + std::string(20, 'f') +
                "\"\r\n";
    }
    text +=
        "[HKEY_CURRENT_USER\\SOFT\\app]\r\n\"B\"=\"2\"\r\n\"a\"=-\r\n\"c\"=hex:00\r\n"
        "\"a\"=\"again\"\r\n[HKEY_CURRENT_USER\\Soft\\App\\Alpha\\Deep]\r\n"
        "[HKEY_CURRENT_USER\\Soft\\App\\MIDDLE]\r\n[-HKEY_CURRENT_USER\\Soft\\App\\Zeta]\r\n"
        "[HKEY_CURRENT_USER\\Soft\\App\\zeta]\r\n\"new\"=\"1\"\r\n"
        "[-HKEY_CURRENT_USER\\Soft\\App\\Middle\\Below]\r\n"
        "[-HKEY_CURRENT_USER\\Soft\\Gone]\r\n[HKEY_CURRENT_USER\\Soft\\Gone\\Back]\r\n"
        "[HKEY_CURRENT_USER\\Soft\\Ap]\r\n[HKEY_CURRENT_USER\\Soft\\Ap\\zeta]\r\n\"w\"=\"1\"\r\n"
        "[hkey_current_user\\Soft\\App\\zeta]\r\n\"v\"=\"1\"\r\n"
        "[HKEY_CURRENT_USER\\Soft\\Removed]\r\n\"x\"=\"1\"\r\n"
        "[-HKEY_CURRENT_USER\\Soft\\Removed]\r\n\"y\"=\"ignored\"\r\n";
    return text;
}

TEST(RegStream, ReadsOneKeyAsTheWholeTreeHasIt) {
    RegistrySandbox sandbox;
    MakeFolder(sandbox.ConfigHome() + "/brisvane");
    struct Case {
        std::vector<std::string> path;
        std::optional<std::string> value;
    };
    const std::vector<Case> cases = {
        {{"Soft", "App"}, {}},
        {{"soft", "APP"}, {}},
        {{"Soft", "App"}, "b"},
        {{"Soft", "App"}, "A"},
        {{"Soft", "App"}, ""},
        {{"Soft", "App"}, "missing"},
        {{"Soft", "App", "Zeta"}, {}},
        {{"Soft", "App", "middle"}, {}},
        {{"Soft"}, {}},
        {{"Soft", "Filler", "K2999"}, {}},
        {{"Soft", "App"}, "v150000"},
        {{}, {}},
        {{"Soft", "Gone"}, {}},
        {{"Soft", "Removed"}, {}},
        {{"Soft", "Nowhere", "Deeper"}, {}},
    };
    const std::string hivePath = sandbox.HivePath("HKEY_CURRENT_USER");
    // The large one is read in two halves at once; the UTF-16 one never is.
    for (const std::string& text : {AwkwardHive(), Utf16Le(AwkwardHive()), AwkwardHive(120000),
                                    Utf16Le(AwkwardHive(70000))}) {
        WriteFile(hivePath, text);
        std::shared_ptr<const hive::Key> whole;
        ASSERT_EQ(hive::ReadHive(hive::Root::CurrentUser, whole), ERROR_SUCCESS);
        for (const Case& c : cases) {
            const std::string named = c.path.empty() ? "(root)" : c.path.back();
            std::shared_ptr<const hive::Key> streamed;
            const LONG rc = hive::ReadHiveKey(hive::Root::CurrentUser, c.path, streamed, c.value);
            const hive::Key* expected = whole->Find(c.path);
            ASSERT_EQ(rc, expected ? ERROR_SUCCESS : ERROR_FILE_NOT_FOUND) << named;
            if (!expected)
                continue;
            const hive::Key* key = streamed->Find(c.path);
            ASSERT_NE(key, nullptr) << named;
            if (!c.value) {
                EXPECT_EQ(Listing(*key), Listing(*expected)) << named;
                continue;
            }
            const hive::Value* want = expected->FindValue(*c.value);
            const hive::Value* got = key->FindValue(*c.value);
            ASSERT_EQ(got != nullptr, want != nullptr) << named << " " << *c.value;
            if (want) {
                EXPECT_TRUE(got->type == want->type && got->data == want->data.Span())
                    << named << " " << *c.value;
            }
        }
    }
}

// A sink that has no use for a section's values is not handed them, yet each is still read: a
// damaged one is named at its line, as when every value is handed. A deleted section's values
// are never handed, and a section taken as the start of a part is asked nothing about.
TEST(RegStream, PassesOverValuesNoOneWantsButStillChecksThem) {
    const std::string head = "REGEDIT4\r\n";
    const std::string body = "[HKEY_CURRENT_USER\\Skip]\r\n\"a\"=\"1\"\r\n"
                             "[HKEY_CURRENT_USER\\Keep]\r\n\"b\"=\"2\"\r\n"
                             "[-HKEY_CURRENT_USER\\Keep]\r\n\"c\"=\"3\"\r\n";
    struct Case {
        std::string text;
        bool asPart; // read from just after its first section line, which is entered
        std::string handed;
    };
    const std::vector<Case> cases = {
        {head + body, false, "Skip Keep b Keep "},
        {head + body + "[HKEY_CURRENT_USER\\Skip]\r\n\"d\"=dword:xyz\r\n", false,
         "Skip Keep b Keep Skip fault at line 9"},
        {body, true, "a Keep b Keep "},
    };
    for (const Case& c : cases) {
        std::string handed;
        std::string section;
        const hive::EditSink sink =
            [&](const hive::RegEdit& edit) -> std::optional<hive::ParseError> {
            section = edit.path.empty() ? "" : edit.path.back();
            handed +=
                edit.kind == hive::RegEdit::Kind::SetValue ? edit.value.name + " " : section + " ";
            return std::nullopt;
        };
        const hive::SectionValuesWanted wanted = [&] { return section == "Keep"; };
        std::size_t at = c.asPart ? c.text.find('\n') + 1 : 0;
        const hive::ByteSource source = [&](char* buffer, std::size_t size) {
            const std::size_t taken = std::min(size, c.text.size() - at);
            std::memcpy(buffer, c.text.data() + at, taken);
            at += taken;
            return taken;
        };
        const std::optional<hive::ParseError> error =
            c.asPart ? hive::ParseRegPart(source, false, c.text.substr(0, at - 1), sink, &wanted)
                     : hive::ParseRegStream(source, sink, nullptr, &wanted);
        if (error)
            handed += "fault at line " + std::to_string(error->line);
        EXPECT_EQ(handed, c.handed) << c.text;
    }
}

TEST(RegStream, CutsLargeTextOnlyWhereNoLineRunsOn) {
    const std::vector<std::pair<std::string, std::optional<std::size_t>>> cases = {
        {"tail\n\"v\"=\"1\"\r\n[K]\r\n", 14},
        {"tail\n\"v\"=\"1\"\r\n\"w\"=\"2\"\r\n", 14},
        {"tail\n\n[K]\n", 6},
        // After a line going on with '\\' the next is part of it, whatever it starts with.
        {"tail\n\"h\"=hex:01,\\ \r\n[x],02\r\n\"v\"=\"1\"\r\n", 28},
        {"tail\n\"h\"=hex:01,\\\r\n[x],02\r\n", std::nullopt},
        // The text before the first line end may be part of a longer line.
        {"[A]\n[B]\n", std::nullopt},
        {"  [K]\r\n", std::nullopt},
    };
    for (const auto& [window, place] : cases)
        EXPECT_EQ(hive::CutPlace(window), place) << window;

    // Whether a '[' after these bytes starts a key section; those of the whole file, or not.
    struct Before {
        std::string text;
        bool wholeFile;
        std::optional<bool> starts;
    };
    const std::vector<Before> befores = {
        {"\"v\"=\"1\"\r\n", false, true},
        {"\"v\"=\"1\"\r\n \t", false, true},
        {"\"name ", false, false},
        {"\"h\"=hex:01,\\ \r\n", false, false},
        {"x\r\n \r\n", false, true},
        {"REGEDIT4\r\n", true, true},
        {"  ", true, false},
        // Only blanks before, with more of the file beyond them: nothing can be told.
        {" \r\n  ", false, std::nullopt},
        {"   ", false, std::nullopt},
    };
    for (const Before& b : befores)
        EXPECT_EQ(hive::StartsSectionLine(b.text, b.wholeFile), b.starts) << b.text;
}

TEST(RegStream, WritesTheSameTextInPiecesAsWhole) {
    // Over a chunk of text both in one key's values and across keys.
    hive::Key root;
    hive::Key& many = root.Create({"Many"});
    for (int i = 0; i < 40000; ++i)
        many.SetValue("Value" + std::to_string(i), REG_SZ,
                      std::vector<BYTE>(30, static_cast<BYTE>('a' + i % 26)));
    for (int i = 0; i < 20000; ++i)
        root.Create({"Keys", "K" + std::to_string(i)})
            .SetValue("", REG_BINARY, std::vector<BYTE>(20, static_cast<BYTE>(i)));
    // Data whose length does not fit the short form, one piece longer than a chunk.
    many.SetValue(std::string(300, 'n'), REG_BINARY, std::vector<BYTE>(255, 7));
    many.SetValue("Long", REG_BINARY, std::vector<BYTE>(1 << 20, 9));
    root.Settle();
    EXPECT_TRUE(many.FindValue(std::string(300, 'N'))->data == std::vector<BYTE>(255, 7));
    EXPECT_TRUE(many.FindValue("long")->data == std::vector<BYTE>(1 << 20, 9));
    const std::string whole = hive::SerializeHive(root, "HKEY_CURRENT_USER");
    std::string pieces;
    std::size_t handed = 0;
    ASSERT_TRUE(hive::SerializeHiveTo(root, "HKEY_CURRENT_USER", [&](std::string_view text) {
        pieces += text;
        ++handed;
        return true;
    }));
    EXPECT_GT(whole.size(), std::size_t{2} << 20);
    EXPECT_GT(handed, 2u);
    EXPECT_EQ(pieces, whole);
    // A refused piece ends the writing.
    EXPECT_FALSE(
        hive::SerializeHiveTo(root, "HKEY_CURRENT_USER", [](std::string_view) { return false; }));
}

} // namespace
