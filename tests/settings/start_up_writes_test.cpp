// What the main page's start-up writes through TRegistry when the options are as stored: each
// ticked box stores its flag again, which must leave the hive file as it is.
#include "settings/registry.h"
#include "settings/registry_layout.h"
#include "support/registry_values.h"
#include "support/temp_folder.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

using namespace testing_support;

namespace {

const char* const kOptionFlags[] = {layout::kCookiesFlag, layout::kFavoritesFlag,
                                    layout::kHistoryFlag, layout::kCacheFlag,
                                    layout::kUrlRegistryFlag};

// The start-up's sequence: the five flags read through one accessor, and each ticked box
// storing its flag through one of its own, the favorites box after reading whether it warned.
void TickStoredOptions() {
    TRegistry settings;
    settings.OpenSubkey(layout::kSettingsKey, false);
    for (const char* flag : kOptionFlags) {
        if (settings.ReadText(flag) != layout::kTrue)
            continue;
        TRegistry store;
        store.OpenSubkey(layout::kSettingsKey, true);
        if (flag == layout::kFavoritesFlag) {
            const std::string warned = store.ReadText(layout::kUrlCheckFlag);
            if (warned.empty() || warned == layout::kFalse)
                store.WriteText(layout::kUrlCheckFlag, layout::kTrue);
        }
        store.WriteText(flag, layout::kTrue);
    }
}

class StartUpWrites : public ::testing::Test {
protected:
    struct FileState {
        ino_t inode;
        timespec modified;
    };

    FileState UserHiveState() const {
        struct stat info {};
        EXPECT_EQ(stat(m_sandbox.HivePath("HKEY_CURRENT_USER").c_str(), &info), 0);
        return {info.st_ino, info.st_mtim};
    }

    static void ExpectSame(const FileState& before, const FileState& after) {
        EXPECT_EQ(after.inode, before.inode);
        EXPECT_EQ(after.modified.tv_sec, before.modified.tv_sec);
        EXPECT_EQ(after.modified.tv_nsec, before.modified.tv_nsec);
    }

    void StoreAllTicked(const char* cookiesSpelling = layout::kCookiesFlag) {
        for (const char* flag : kOptionFlags)
            SetText(HKEY_CURRENT_USER, layout::kSettingsKey,
                    flag == layout::kCookiesFlag ? cookiesSpelling : flag, layout::kTrue);
        SetText(HKEY_CURRENT_USER, layout::kSettingsKey, layout::kUrlCheckFlag, layout::kTrue);
    }

    RegistrySandbox m_sandbox;
};

TEST_F(StartUpWrites, AStartWithEveryOptionTickedAsStoredWritesNoHive) {
    StoreAllTicked();
    const FileState before = UserHiveState();
    const std::string snapshot = HiveSnapshot(m_sandbox);
    TickStoredOptions();
    TickStoredOptions();
    ExpectSame(before, UserHiveState());
    EXPECT_EQ(HiveSnapshot(m_sandbox), snapshot);
}

TEST_F(StartUpWrites, AFlagStoredUnderAnotherSpellingIsTheSameValue) {
    StoreAllTicked("COOKIES");
    const FileState before = UserHiveState();
    TickStoredOptions();
    ExpectSame(before, UserHiveState());
}

TEST_F(StartUpWrites, AFlagStoredAsAnotherTypeIsStoredAgainAsText) {
    StoreAllTicked();
    const char expandable[] = "true";
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, layout::kSettingsKey, 0, KEY_ALL_ACCESS, &key),
              ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueExA(key, layout::kCacheFlag, 0, REG_EXPAND_SZ,
                             reinterpret_cast<const BYTE*>(expandable), sizeof expandable),
              ERROR_SUCCESS);
    RegCloseKey(key);
    const FileState before = UserHiveState();
    TickStoredOptions();
    EXPECT_NE(UserHiveState().inode, before.inode);
    EXPECT_EQ(ValueType(HKEY_CURRENT_USER, layout::kSettingsKey, layout::kCacheFlag), REG_SZ);
}

} // namespace
