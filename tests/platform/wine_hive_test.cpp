#include "platform/posix/wine_hive.h"
#include "support/named_pipe.h"
#include "support/temp_folder.h"

#include <gtest/gtest.h>
#include <string>
#include <unistd.h>

using namespace brisvane::platform;
using namespace std::string_literals;

namespace {

// Fragments of the files of a prefix made by wineboot.
const std::string kSystemReg = R"(WINE REGISTRY Version 2
;; All keys relative to REGISTRY\\Machine

#arch=win64

[Software\\Classes\\Applications\\iexplore.exe\\shell\\open\\command] 1796851736
#time=1dd88244bffde04
@="\"C:\\Program Files\\Internet Explorer\\iexplore.exe\" %1"

[Software\\Microsoft\\Cryptography\\OID\\EncodingType 1\\CertDllVerifyRevocation\\DEFAULT] 1796851736
#time=1dd88244bc750de
"Dll"=str(7):"cryptnet.dll\0"

[System\\CurrentControlSet\\Enum\\ROOT\\WINE\\WINEBUS] 1796851737
#time=1dd88244c4fee9e
#link
"ConfigFlags"=dword:0000001f
"HardwareId"=hex(7):72,00,6f,00,6f,00,74,00,5c,00,77,00,69,00,6e,00,65,00,62,\
  00,75,00,73,00,00,00,00,00,43,00,3a,00,5c,00,77,00,69,00,6e,00,64,00,6f,00,\
  77,00,73,00,5c,00,69,00,6e,00,66,00
@=hex(ffff0009):f0,03,00,00,00,00,00,00
"Mask"=hex:30,00,02,80,12,00,00,00
"Wallpaper"=""

[Control Panel\\International\\\xd83c\xdf0e\xd83c\xdf0f\xd83c\xdf0d] 1796851732
"Currencies"="USD"
"Desktop"=str(2):"%USERPROFILE%\\Desktop"
)";

const std::vector<std::string> kWinebus = {"System", "CurrentControlSet", "Enum", "ROOT", "WINE",
                                           "WINEBUS"};

std::string DataOf(const hive::Key& root, const std::vector<std::string>& path,
                   std::string_view name, DWORD* type = nullptr) {
    const hive::Key* key = root.Find(path);
    const hive::Value* value = key ? key->FindValue(name) : nullptr;
    if (!value)
        return "(missing)";
    if (type)
        *type = value->type;
    return std::string(value->data.begin(), value->data.end());
}

std::string WithCrLf(std::string text) {
    for (std::size_t at = 0; (at = text.find('\n', at)) != std::string::npos; at += 2)
        text.insert(at, "\r");
    return text;
}

TEST(WineHive, ReadsEachFormOfValueAsWineWroteIt) {
    const std::vector<std::string> command = {"Software", "Classes", "Applications", "iexplore.exe",
                                              "shell",    "open",    "command"};
    const std::vector<std::string> dll = {"Software", "Microsoft",      "Cryptography",
                                          "OID",      "EncodingType 1", "CertDllVerifyRevocation",
                                          "default"};
    // The name of the key is three globes: surrogate pairs in \x escapes.
    const std::vector<std::string> globes = {"control panel", "INTERNATIONAL",
                                             "\xF0\x9F\x8C\x8E\xF0\x9F\x8C\x8F\xF0\x9F\x8C\x8D"};
    const struct Case {
        const std::vector<std::string>& path;
        std::string name;
        DWORD type;
        std::string data;
    } cases[] = {
        {command, "", REG_SZ, "\"C:\\Program Files\\Internet Explorer\\iexplore.exe\" %1\0"s},
        {dll, "Dll", REG_MULTI_SZ, "cryptnet.dll\0\0"s},
        {kWinebus, "ConfigFlags", REG_DWORD, "\x1f\0\0\0"s},
        {kWinebus, "HardwareId", REG_MULTI_SZ, "root\\winebus\0\0C:\\windows\\inf"s},
        {kWinebus, "", 0xffff0009, "\xf0\x03\0\0\0\0\0\0"s},
        {kWinebus, "Mask", REG_BINARY, "\x30\0\x02\x80\x12\0\0\0"s},
        {kWinebus, "Wallpaper", REG_SZ, "\0"s},
        {globes, "desktop", REG_EXPAND_SZ, "%USERPROFILE%\\Desktop\0"s},
    };
    for (const std::string& text : {kSystemReg, WithCrLf(kSystemReg)}) {
        hive::Key root;
        const wine::WineHiveParse parse = wine::ParseWineHive(text, root);
        EXPECT_TRUE(parse.isWineHive);
        EXPECT_EQ(parse.skippedLines, 0u);
        EXPECT_EQ(parse.sections.size(), 4u);
        for (const Case& c : cases) {
            DWORD type = REG_NONE;
            EXPECT_EQ(DataOf(root, c.path, c.name, &type), c.data) << c.name;
            EXPECT_EQ(type, c.type) << c.name;
        }
        const hive::Key& key = *root.Find(kWinebus);
        EXPECT_EQ(wine::ValueText(key, "WALLPAPER"), "");
        EXPECT_EQ(wine::ValueText(key, "ConfigFlags"), std::nullopt);
        EXPECT_EQ(wine::ValueText(key, "Absent"), std::nullopt);
        EXPECT_EQ(wine::ValueText(*root.Find(globes), "Desktop"), "%USERPROFILE%\\Desktop");
    }
}

TEST(WineHive, DecodesWineEscapes) {
    const struct {
        std::string escaped;
        std::string text;
    } cases[] = {
        {R"(caf\xe9)", "caf\xC3\xA9"},
        {R"(caf\x00e9d)", "caf\xC3\xA9"s + "d"},   // all four digits before a hex digit
        {R"(\xd83c\xdf0e!)", "\xF0\x9F\x8C\x8E!"}, // a surrogate pair
        {R"(\xd83c!\xdf0e)", "?!?"},               // two lone halves
        {R"(\xg \q \[\] \\ \")", "xg q [] \\ \""},
        {R"(\a\b\t\n\v\f\r\e)", "\a\b\t\n\v\f\r\x1b"},
        {R"(\101\0\1010)", "A\0A0"s},
        {"raw \xC3\xA9 and \xE9", "raw \xC3\xA9 and \xC3\xA9"}, // UTF-8, else Latin-1
    };
    for (const auto& c : cases) {
        hive::Key root;
        const std::string text = "WINE REGISTRY Version 2\n[K]\n\"v\"=\"" + c.escaped + "\"\n";
        EXPECT_EQ(wine::ParseWineHive(text, root).skippedLines, 0u) << c.escaped;
        EXPECT_EQ(DataOf(root, {"K"}, "v"), c.text + '\0') << c.escaped;
    }
}

TEST(WineHive, KeepsOnlyWantedKeysButListsEverySection) {
    hive::Key root;
    const wine::WineHiveParse parse =
        wine::ParseWineHive(kSystemReg, root, [](const std::vector<std::string>& path) {
            return !path.empty() && hive::NamesEqual(path[0], "SYSTEM");
        });
    EXPECT_EQ(DataOf(root, kWinebus, "Mask"), "\x30\0\x02\x80\x12\0\0\0"s);
    EXPECT_EQ(root.FindSubkey("Software"), nullptr);
    EXPECT_EQ(root.FindSubkey("Control Panel"), nullptr);
    ASSERT_EQ(parse.sections.size(), 4u);
    EXPECT_EQ(parse.sections[1].path.back(), "DEFAULT");
    for (std::size_t i = 0; i < parse.sections.size(); ++i) {
        EXPECT_EQ(kSystemReg[parse.sections[i].begin], '[');
        const std::size_t next =
            i + 1 < parse.sections.size() ? parse.sections[i + 1].begin : kSystemReg.size();
        EXPECT_EQ(parse.sections[i].end, next);
    }
}

TEST(WineHive, WithoutKeyTakesOutTheKeyAndItsSubkeysByteForByte) {
    const std::string pieces[] = {
        "WINE REGISTRY Version 2\n;; All keys relative to REGISTRY\\\\User\\\\S-1-5-21\n",
        "[Software\\\\Microsoft\\\\Internet Explorer\\\\Main] 1796851736\n\"Start Page\"=\"a\"\n",
        "[Software\\\\Microsoft\\\\Internet Explorer\\\\TypedURLs] 1796851740\n#time=1dd8\n"
        "\"url1\"=\"http://example.com/\"\n",
        "[Software\\\\Microsoft\\\\Internet Explorer\\\\TypedURLs\\\\More] 17968\n@=hex:01,\\\n"
        "  02\n",
        "[Software\\\\Microsoft\\\\Internet Explorer\\\\TypedURLsOld] 1796851740\n\"u\"=\"b\"\n",
        "[Software\\\\Wine] 1796851736\n\"Version\"=\"win10\"\n",
    };
    // Wine puts a blank line between sections; the file ends after the last value's line.
    const auto join = [&](std::initializer_list<int> which) {
        std::string text;
        for (int i : which)
            text += (text.empty() ? "" : "\n") + pieces[i];
        return text;
    };
    const std::vector<std::string> typed = {"Software", "Microsoft", "Internet Explorer",
                                            "TypedURLs"};
    const struct {
        std::string text;
        std::vector<std::string> key;
        std::string expected;
        std::size_t removed;
    } cases[] = {
        {join({0, 1, 2, 3, 4, 5}), typed, join({0, 1, 4, 5}), 2},
        {join({0, 1, 2, 3, 4, 5}),
         {"SOFTWARE", "microsoft", "internet explorer", "typedurls"},
         join({0, 1, 4, 5}),
         2},
        {join({0, 3, 1, 2}), typed, join({0, 1}) + "\n", 2},
        {join({0, 1, 4, 5}), typed, join({0, 1, 4, 5}), 0},
        {"not a wine file\n" + pieces[2], typed, "not a wine file\n" + pieces[2], 0},
    };
    for (const auto& c : cases) {
        std::size_t removed = 99;
        const std::string result = wine::WithoutKey(c.text, c.key, &removed);
        EXPECT_EQ(result, c.expected);
        EXPECT_EQ(removed, c.removed);
        hive::Key root;
        EXPECT_EQ(wine::ParseWineHive(result, root).skippedLines, 0u);
    }
}

TEST(WineHive, DamagedLinesArePassedOverAndTheRestIsRead) {
    std::string deep = "[";
    for (std::size_t i = 0; i <= hive::kMaxKeyDepth + 88; ++i)
        deep += "k\\\\";
    const struct {
        std::string text;
        std::size_t skipped;
    } cases[] = {
        {"[A]\n\"a\"=\"b\\\n", 1},
        {"[A]\n\"a\"=\"unterminated\n\"b\n", 2},
        {"[A]\n\"a\"=\"\\x\n", 1},
        {"[A]\n\"b\"=hex:zz\n\"a\"=hex:01,\\\n", 2}, // runs into the next section
        {"[A]\n\"a\"=\"x\0y\"\n\0\0\n"s, 1},
        {"\"early\"=\"x\"\n[A]\ngarbage\n  01,02\n", 3},
        {"[A]\n\"a\"=dword:xyz\n\"b\"=wrong:1\n\"c\"\n\"d\"=hex(7:00\n\"e\"=str(2)\"x\"\n", 5},
        {"[A\n\"a\"=\"x\"\n[B]]]\n", 1},
        {deep + "]\n\"a\"=\"x\"\n", 1},
        {"[A]\n\"a\"=\"" + std::string(4 << 20, 'x') + "\n", 1},
        {"[" + std::string(4 << 20, '[') + "\n[A]\n\"a\"=\"" + std::string(4 << 20, '\\') + "\"\n",
         1},
    };
    for (const auto& c : cases) {
        hive::Key root;
        const std::string text = "WINE REGISTRY Version 2\n" + c.text + "[Good]\n\"v\"=\"ok\"\n";
        const wine::WineHiveParse parse = wine::ParseWineHive(text, root);
        EXPECT_EQ(parse.skippedLines, c.skipped) << c.text.substr(0, 60);
        EXPECT_EQ(DataOf(root, {"good"}, "V"), "ok\0"s) << c.text.substr(0, 60);
        EXPECT_EQ(root.FindSubkey("k"), nullptr);
    }
    // Cut anywhere, a file loses at most its last line.
    for (std::size_t size = 0; size <= kSystemReg.size(); ++size) {
        hive::Key root;
        const wine::WineHiveParse parse = wine::ParseWineHive(kSystemReg.substr(0, size), root);
        EXPECT_EQ(parse.isWineHive, size >= wine::kWineHiveHeader.size()) << size;
        EXPECT_LE(parse.skippedLines, 1u) << size;
    }
    hive::Key root;
    EXPECT_FALSE(wine::ParseWineHive("REGEDIT4\n[A]\n\"a\"=\"b\"\n", root).isWineHive);
    EXPECT_FALSE(root.HasSubkeys());
}

TEST(WineHive, ReadsOnlyARegularWineFileAndNeverWaits) {
    testing_support::TempFolder folder;
    testing_support::WriteFile(folder / "user.reg", kSystemReg);
    testing_support::WriteFile(folder / "other.reg", "REGEDIT4\n");
    testing_support::MakeNamedPipe(folder / "pipe.reg");
    testing_support::WriteFile(folder / "huge.reg", "");
    ASSERT_EQ(truncate((folder / "huge.reg").c_str(), wine::kMaxWineHiveSize + 1), 0);

    hive::Key root;
    std::string text;
    struct stat info {};
    EXPECT_EQ(wine::ReadWineHive(folder / "user.reg", root, {}, &text, &info),
              wine::WineHiveRead::Read);
    EXPECT_EQ(text, kSystemReg);
    EXPECT_EQ(info.st_size, static_cast<off_t>(kSystemReg.size()));
    EXPECT_EQ(DataOf(root, kWinebus, "ConfigFlags"), "\x1f\0\0\0"s);

    const std::pair<std::string, wine::WineHiveRead> cases[] = {
        {"other.reg", wine::WineHiveRead::NotAWineHive},
        {"pipe.reg", wine::WineHiveRead::NotRegular},
        {"huge.reg", wine::WineHiveRead::TooLarge},
        {".", wine::WineHiveRead::NotRegular},
        {"absent.reg", wine::WineHiveRead::Missing},
        {"user.reg/below", wine::WineHiveRead::Missing},
    };
    for (const auto& [name, expected] : cases) {
        hive::Key other;
        wine::WineHiveRead read = wine::WineHiveRead::Failed;
        EXPECT_TRUE(testing_support::FinishesWithoutAWriterOn(
            folder / "pipe.reg", [&] { read = wine::ReadWineHive(folder / name, other); }));
        EXPECT_EQ(read, expected) << name;
        EXPECT_FALSE(other.HasSubkeys()) << name;
    }
}

} // namespace
