#include "settings/registry.h"
#include "settings/registry_layout.h"
#include "support/temp_folder.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

using namespace testing_support;

namespace {

class Registry : public ::testing::Test {
protected:
    std::string UserHive() const { return m_sandbox.HivePath("HKEY_CURRENT_USER"); }

    // Lays a hive file down as a person or another program might have written it.
    void WriteUserHive(const std::string& sections) {
        MakeFolder(m_sandbox.ConfigHome() + "/brisvane");
        WriteFile(UserHive(), "REGEDIT4\r\n\r\n" + sections);
    }

    std::string ErrorOf(const std::function<void()>& action) {
        try {
            action();
        } catch (const ERegistryException& error) {
            return error.Message();
        }
        return "no error";
    }

    RegistrySandbox m_sandbox;
};

TEST_F(Registry, AMissingKeyReadsEmptyAndRefusesWrites) {
    TRegistry registry;
    EXPECT_EQ(registry.Root(), HKEY_CURRENT_USER);
    EXPECT_FALSE(registry.OpenSubkey(layout::kSettingsKey, false));
    EXPECT_FALSE(registry.HasOpenKey());
    EXPECT_EQ(registry.ReadText(layout::kCookiesFlag), "");
    EXPECT_EQ(ErrorOf([&] { registry.WriteText(layout::kCookiesFlag, "true"); }),
              "Failed to set data for 'Cookies'");
    EXPECT_FALSE(registry.RemoveValue(layout::kCookiesFlag));
    EXPECT_FALSE(Exists(UserHive()));
}

TEST_F(Registry, CreatingAKeyMakesItsParentsAndStoresText) {
    {
        TRegistry registry;
        ASSERT_TRUE(registry.OpenSubkey(layout::kSettingsKey, true));
        registry.WriteText(layout::kCookiesFlag, "true");
        registry.WriteText(layout::kCookiesFlag, "false");
        registry.WriteText("", "default");
    }
    TRegistry registry;
    ASSERT_TRUE(registry.OpenSubkey("Software\\Tessmark", false));
    ASSERT_TRUE(registry.OpenSubkey("Brisvane\\Settings", false)) << "relative to the open key";
    EXPECT_EQ(registry.ReadText("COOKIES"), "false");
    EXPECT_EQ(registry.ReadText(""), "default");
    EXPECT_NE(ReadFile(UserHive())
                  .find("[HKEY_CURRENT_USER\\Software\\Tessmark\\Brisvane\\"
                        "Settings]\r\n\"Cookies\"=\"false\"\r\n@=\"default\"\r\n"),
              std::string::npos);
}

TEST_F(Registry, AbsoluteAndRelativeSpellingsNameTheSameKey) {
    TRegistry writer;
    ASSERT_TRUE(writer.OpenSubkey(layout::kPathsKey, true));
    writer.WriteText(layout::kIeCookiePath, "/c");

    TRegistry reader;
    ASSERT_TRUE(reader.OpenSubkey("\\SOFTWARE\\Tessmark\\Brisvane\\Paths", false));
    EXPECT_EQ(reader.ReadText("ie cookie"), "/c");
    ASSERT_TRUE(reader.OpenSubkey("\\Software", false)) << "absolute even while a key is open";
    EXPECT_FALSE(reader.OpenSubkey("Software", false)) << "relative: Software\\Software";
    ASSERT_TRUE(reader.OpenSubkey("", false));
    EXPECT_TRUE(reader.OpenSubkey("", true)) << "an empty path reopens the open key";
}

TEST_F(Registry, ReadsOnlyStringTypesAndStopsAtTheFirstZero) {
    WriteUserHive("[HKEY_CURRENT_USER\\K]\r\n"
                  "\"empty\"=\"\"\r\n"
                  "\"no data\"=hex(1):\r\n"
                  "\"binary none\"=hex:\r\n"
                  "\"dword\"=dword:00000001\r\n"
                  "\"binary\"=hex:41,42,00\r\n"
                  "\"expand\"=hex(2):25,48,4f,4d,45,25,2f,78,00\r\n"
                  "\"no zero\"=hex(1):61,62,63\r\n"
                  "\"inner zero\"=hex(1):61,62,00,63,64,00\r\n");
    TRegistry registry;
    ASSERT_TRUE(registry.OpenSubkey("K", false));
    EXPECT_EQ(registry.ReadText("missing"), "");
    EXPECT_EQ(registry.ReadText("empty"), "");
    EXPECT_EQ(registry.ReadText("no data"), "");
    EXPECT_EQ(registry.ReadText("binary none"), "") << "size 0 of any type is empty text";
    EXPECT_EQ(ErrorOf([&] { registry.ReadText("dword"); }), "Invalid data type for 'dword'");
    EXPECT_EQ(ErrorOf([&] { registry.ReadText("Binary"); }), "Invalid data type for 'Binary'");
    EXPECT_EQ(registry.ReadText("expand"), "%HOME%/x");
    EXPECT_EQ(registry.ReadText("no zero"), "abc");
    EXPECT_EQ(registry.ReadText("inner zero"), "ab");
}

TEST_F(Registry, RemovesAWholeSubtreeAndLeavesTheOpenKeyAlone) {
    WriteUserHive("[HKEY_CURRENT_USER\\SOFTWARE\\Microsoft\\Internet Explorer\\TypedURLs]\r\n"
                  "\"url1\"=\"http://a/\"\r\n\r\n"
                  "[HKEY_CURRENT_USER\\SOFTWARE\\Microsoft\\Internet Explorer\\TypedURLs\\A\\B]\r\n"
                  "\"x\"=\"1\"\r\n\r\n"
                  "[HKEY_CURRENT_USER\\SOFTWARE\\Microsoft\\Internet Explorer\\TypedURLs\\C]\r\n"
                  "\r\n[HKEY_CURRENT_USER\\SOFTWARE\\Microsoft\\Internet Explorer\\Main]\r\n"
                  "\"Start\"=\"home\"\r\n");
    TRegistry registry;
    ASSERT_TRUE(registry.OpenSubkey("Software\\Microsoft\\Internet Explorer\\Main", false));
    EXPECT_TRUE(registry.RemoveKey(layout::kTypedUrlsKey));
    EXPECT_EQ(registry.ReadText("Start"), "home");
    EXPECT_FALSE(registry.RemoveKey(layout::kTypedUrlsKey)) << "already gone";
    EXPECT_EQ(ReadFile(UserHive()).find("TypedURLs"), std::string::npos);

    EXPECT_FALSE(registry.OpenSubkey("\\Software\\Microsoft\\Internet Explorer\\TypedURLs", false));
    ASSERT_TRUE(registry.OpenSubkey("\\Software\\Microsoft", false));
    ASSERT_TRUE(registry.OpenSubkey("Internet Explorer\\Main\\Deep\\Er", true));
    ASSERT_TRUE(registry.OpenSubkey("\\Software\\Microsoft", false));
    EXPECT_TRUE(registry.RemoveKey("INTERNET EXPLORER")) << "relative to the open key";
    EXPECT_TRUE(registry.HasOpenKey());
    EXPECT_EQ(ReadFile(UserHive()), "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\SOFTWARE]\r\n\r\n"
                                    "[HKEY_CURRENT_USER\\SOFTWARE\\Microsoft]\r\n\r\n");
}

TEST_F(Registry, RemoveKeyTakesTheWholeTreeOrNothing) {
    // A name longer than Windows allows can be listed but never opened; the tree goes with it.
    const std::string sections = "[HKEY_CURRENT_USER\\Software\\Old\\A]\r\n\"v\"=\"1\"\r\n\r\n"
                                 "[HKEY_CURRENT_USER\\Software\\Old\\" +
                                 std::string(300, 'r') +
                                 "]\r\n\r\n"
                                 "[HKEY_CURRENT_USER\\Software\\Old\\Z]\r\n\"v\"=\"1\"\r\n\r\n"
                                 "[HKEY_CURRENT_USER\\Software\\Old\\Z\\Deeper]\r\n\"w\"=\"2\"\r\n";
    const std::string folder = m_sandbox.ConfigHome() + "/brisvane";
    // Whatever keeps the hive from being written keeps the whole tree, byte for byte.
    struct Resisting {
        const char* what;
        std::string path;
        mode_t mode;
        const char* damage;
    };
    for (const Resisting& c : {Resisting{"read-only file", UserHive(), 0444, ""},
                               Resisting{"read-only folder", folder, 0555, ""},
                               Resisting{"damaged file", UserHive(), 0644, "not a line\r\n"}}) {
        SCOPED_TRACE(c.what);
        WriteUserHive(sections + c.damage);
        const std::string before = ReadFile(UserHive());
        const bool damaged = *c.damage != '\0';
        ASSERT_EQ(chmod(c.path.c_str(), c.mode), 0);
        if (damaged)
            ::testing::internal::CaptureStderr();
        EXPECT_FALSE(TRegistry().RemoveKey("\\Software\\Old"));
        if (damaged)
            ::testing::internal::GetCapturedStderr();
        ASSERT_EQ(chmod(c.path.c_str(), c.path == folder ? 0755 : 0644), 0);
        EXPECT_EQ(ReadFile(UserHive()), before);
    }
    WriteUserHive(sections);
    EXPECT_TRUE(TRegistry().RemoveKey("\\Software\\Old"));
    EXPECT_EQ(ReadFile(UserHive()), "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software]\r\n\r\n");
}

TEST_F(Registry, RemoveKeyOfNothingChangesNothing) {
    TRegistry registry;
    EXPECT_FALSE(registry.RemoveKey("\\SOFTWARE\\Microsoft\\Internet Explorer\\TypedURLs"));
    EXPECT_FALSE(Exists(UserHive()));
    ASSERT_TRUE(registry.OpenSubkey("Software\\Kept", true));
    registry.CloseSubkey();
    EXPECT_FALSE(registry.RemoveKey("")) << "the root itself stays";
    EXPECT_FALSE(registry.RemoveKey("\\"));
    EXPECT_TRUE(registry.OpenSubkey("Software\\Kept", false));
}

TEST_F(Registry, KeepsTheOpenKeyThroughFailuresAndTheSameRoot) {
    TRegistry registry;
    ASSERT_TRUE(registry.OpenSubkey(layout::kSettingsKey, true));
    registry.WriteText("a", "1");
    EXPECT_FALSE(registry.OpenSubkey("\\No\\Such\\Key", false));
    EXPECT_EQ(registry.ReadText("a"), "1");

    registry.SetRoot(HKEY_CURRENT_USER);
    EXPECT_EQ(registry.ReadText("a"), "1");

    registry.SetRoot(HKEY_LOCAL_MACHINE);
    EXPECT_FALSE(registry.HasOpenKey());
    EXPECT_EQ(registry.ReadText("a"), "");
    ASSERT_TRUE(registry.OpenSubkey(layout::kRunKey, true));
    registry.WriteText(layout::kRunEntry, "/usr/bin/brisvane");
    EXPECT_NE(ReadFile(m_sandbox.HivePath("HKEY_LOCAL_MACHINE"))
                  .find("\"Brisvane\"=\"/usr/bin/brisvane\""),
              std::string::npos);

    registry.CloseSubkey();
    EXPECT_FALSE(registry.HasOpenKey());
    EXPECT_EQ(registry.ReadText(layout::kRunEntry), "");
}

TEST_F(Registry, ARemovedValueIsGoneAndASecondRemovalFails) {
    TRegistry registry;
    ASSERT_TRUE(registry.OpenSubkey(layout::kSettingsKey, true));
    registry.WriteText(layout::kWindowsStartFlag, "true");
    EXPECT_TRUE(registry.RemoveValue("windows start"));
    EXPECT_FALSE(registry.RemoveValue(layout::kWindowsStartFlag));
    EXPECT_EQ(registry.ReadText(layout::kWindowsStartFlag), "");
}

TEST_F(Registry, AReadOnlyHiveOpensNothingForWritingButOpensForReading) {
    TRegistry setup;
    ASSERT_TRUE(setup.OpenSubkey(layout::kSettingsKey, true));
    setup.WriteText(layout::kCacheFlag, "true");
    setup.CloseSubkey();
    ASSERT_EQ(chmod(UserHive().c_str(), 0444), 0);
    const std::string hive = ReadFile(UserHive());

    TRegistry registry;
    EXPECT_FALSE(registry.OpenSubkey(layout::kSettingsKey, false));
    EXPECT_EQ(registry.LastOpenResult(), static_cast<LONG>(ERROR_ACCESS_DENIED));
    EXPECT_FALSE(registry.OpenSubkey(layout::kSettingsKey, true));
    EXPECT_EQ(ErrorOf([&] { registry.WriteText(layout::kCacheFlag, "false"); }),
              "Failed to set data for 'Cache'");
    EXPECT_FALSE(registry.OpenSubkeyReadOnly(layout::kPathsKey));
    EXPECT_EQ(registry.LastOpenResult(), static_cast<LONG>(ERROR_FILE_NOT_FOUND));

    // Reading needs no more than read access; writing through such a key fails all the same.
    ASSERT_TRUE(registry.OpenSubkeyReadOnly(layout::kSettingsKey));
    EXPECT_EQ(registry.LastOpenResult(), static_cast<LONG>(ERROR_SUCCESS));
    EXPECT_EQ(registry.ReadText(layout::kCacheFlag), "true");
    EXPECT_EQ(ErrorOf([&] { registry.WriteText(layout::kCacheFlag, "false"); }),
              "Failed to set data for 'Cache'");
    EXPECT_FALSE(registry.RemoveValue(layout::kCacheFlag));
    EXPECT_EQ(ReadFile(UserHive()), hive);
}

TEST_F(Registry, AKeyRemovedUnderneathTheAccessorFailsWrites) {
    TRegistry holder;
    ASSERT_TRUE(holder.OpenSubkey(layout::kPathsKey, true));
    TRegistry remover;
    ASSERT_TRUE(remover.RemoveKey(layout::kPathsKeyForReset));
    EXPECT_EQ(holder.ReadText(layout::kIeCachePath), "");
    EXPECT_EQ(ErrorOf([&] { holder.WriteText(layout::kIeCachePath, "/x"); }),
              "Failed to set data for 'IE Cache'");
}

} // namespace
