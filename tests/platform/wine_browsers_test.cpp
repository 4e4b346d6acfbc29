// Reading the browser folders of Wine prefixes built here by hand (no Wine needed), and the
// choice of the prefix a start of the program works on.
#include "platform/wine_browsers.h"
#include "support/temp_folder.h"

#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <utime.h>

namespace {

using namespace testing_support;
using brisvane::platform::WinePrefixBrowsers;
namespace fs = std::filesystem;

constexpr const char* kShell =
    "[Software\\\\Microsoft\\\\Windows\\\\CurrentVersion\\\\Explorer\\\\Shell Folders] 1\n";
constexpr const char* kUserShell =
    "[Software\\\\Microsoft\\\\Windows\\\\CurrentVersion\\\\Explorer\\\\User Shell Folders] 1\n";

// A prefix as wineboot leaves it, with the registry text given.
std::string MakePrefix(const std::string& folder, const std::string& user,
                       const std::string& system) {
    MakeFolder(folder);
    fs::create_directories(folder + "/drive_c/users/me/Local/INetCache/Content.IE5/AB12CD34");
    fs::create_directories(folder + "/drive_c/users/me/Cookies");
    fs::create_directories(folder + "/dosdevices");
    fs::create_directory_symlink("../drive_c", folder + "/dosdevices/c:");
    fs::create_directory_symlink("/", folder + "/dosdevices/z:");
    WriteFile(folder + "/user.reg", "WINE REGISTRY Version 2\n;; All keys relative to "
                                    "REGISTRY\\\\User\\\\S-1-5-21-0-0-0-1000\n\n" +
                                        user);
    WriteFile(folder + "/system.reg", "WINE REGISTRY Version 2\n;; All keys relative to "
                                      "REGISTRY\\\\Machine\n\n" +
                                          system);
    return fs::canonical(folder).string();
}

TEST(WineBrowsers, FoldersComeFromEitherShellFoldersKeyAndStayInsideDriveC) {
    TempFolder home;
    const std::string a = MakePrefix(
        home / "a",
        std::string(kShell) + "\"Cookies\"=\"c:\\\\USERS\\\\ME\\\\cookies\"\n"
                              "\"Favorites\"=\"Z:\\\\etc\"\n"
                              "\"Cache\"=\"C:\\\\users\\\\me\\\\Local\\\\INetCache\"\n",
        "[Software\\\\Wow6432Node\\\\Netscape\\\\Netscape Navigator\\\\Users] 1\n"
        "\"CurrentUser\"=\"jo\"\n"
        "[Software\\\\Wow6432Node\\\\Netscape\\\\Netscape Navigator\\\\Users\\\\jo] 1\n"
        "\"DirRoot\"=\"C:\\\\Netscape\\\\Users\\\\jo\"\n"
        "[Software\\\\Netscape\\\\Netscape Navigator] 1\n\"CurrentVersion\"=\"3.04 (en)\"\n"
        "[Software\\\\Netscape\\\\Netscape Navigator\\\\3.04 (en)\\\\Main] 1\n"
        "\"Install Directory\"=\"C:\\\\Netscape\\\\Navigator\"\n");
    WinePrefixBrowsers read;
    ASSERT_TRUE(brisvane::platform::ReadWinePrefix(home / "a", read));
    EXPECT_EQ(read.cookies, a + "/drive_c/users/me/Cookies");
    EXPECT_EQ(read.favorites, "") << "z: leads outside drive_c";
    ASSERT_EQ(read.notes.size(), 1u);
    EXPECT_NE(read.notes[0].find("Favorites"), std::string::npos);
    EXPECT_EQ(read.cache, a + "/drive_c/users/me/Local/INetCache/Content.IE5");
    EXPECT_EQ(read.netscapeUser, a + "/drive_c/Netscape/Users/jo");
    EXPECT_EQ(read.netscapeInstall, a + "/drive_c/Netscape/Navigator");
    EXPECT_EQ(read.dataFound, std::vector<std::string>{"Netscape keys"});

    // Only User Shell Folders, whose paths use the prefix's own variables.
    const std::string b =
        MakePrefix(home / "b",
                   std::string(kUserShell) + "\"Cookies\"=str(2):\"%USERPROFILE%\\\\Cookies\"\n"
                                             "\"History\"=str(2):\"%LOCALAPPDATA%\\\\History\"\n"
                                             "\"Cache\"=str(2):\"%UNKNOWN%\\\\Cache\"\n"
                                             "[Volatile Environment] 1\n"
                                             "\"LOCALAPPDATA\"=\"C:\\\\users\\\\me\\\\Local\"\n",
                   "[Software\\\\Microsoft\\\\Windows NT\\\\CurrentVersion\\\\ProfileList\\\\"
                   "S-1-5-21-0-0-0-1000] 1\n\"ProfileImagePath\"=\"C:\\\\users\\\\me\"\n");
    WriteFile(b + "/drive_c/users/me/Cookies/me@site.txt", "x");
    ASSERT_TRUE(brisvane::platform::ReadWinePrefix(home / "b", read));
    EXPECT_EQ(read.cookies, b + "/drive_c/users/me/Cookies");
    EXPECT_EQ(read.history, b + "/drive_c/users/me/Local/History") << "kept as written";
    EXPECT_EQ(read.cache, "");
    EXPECT_EQ(read.dataFound, std::vector<std::string>{"files in the Cookies folder"});
}

void SetModified(const std::string& file, time_t when) {
    const utimbuf times{when, when};
    ASSERT_EQ(utime(file.c_str(), &times), 0);
}

TEST(WineBrowsers, TheChosenPrefixIsTheNamedOneElseTheLatestThatHoldsBrowserData) {
    const std::string home = std::getenv("HOME");
    const std::string data = home + "/.local/share/wineprefixes";
    const std::string withCookies =
        std::string(kShell) + "\"Cookies\"=\"C:\\\\users\\\\me\\\\Cookies\"\n";
    const std::string empty = MakePrefix(home + "/.wine", "", "");
    const std::string older = MakePrefix(data + "/older", withCookies, "");
    const std::string newer = MakePrefix(data + "/newer", withCookies, "");
    for (const std::string& prefix : {older, newer})
        WriteFile(prefix + "/drive_c/users/me/Cookies/c.txt", "x");
    SetModified(older + "/user.reg", 1000000000);
    SetModified(newer + "/user.reg", 1500000000);
    SetModified(newer + "/system.reg", 1500000000);
    SetModified(older + "/system.reg", 1000000000);

    const struct {
        const char* winePrefix;
        std::string chosen;
    } cases[] = {{nullptr, newer}, {"/nowhere", ""}, {"", newer}};
    for (const auto& c : cases) {
        if (c.winePrefix)
            setenv("WINEPREFIX", c.winePrefix, 1);
        else
            unsetenv("WINEPREFIX");
        brisvane::platform::ForgetChosenWinePrefix();
        const WinePrefixBrowsers* chosen = brisvane::platform::ChosenWinePrefix();
        EXPECT_EQ(chosen ? fs::canonical(chosen->prefix).string() : "", c.chosen)
            << (c.winePrefix ? c.winePrefix : "unset");
    }
    setenv("WINEPREFIX", (home + "/.wine").c_str(), 1);
    brisvane::platform::ForgetChosenWinePrefix();
    const WinePrefixBrowsers* named = brisvane::platform::ChosenWinePrefix();
    ASSERT_NE(named, nullptr) << "named, even without browser data";
    EXPECT_EQ(fs::canonical(named->prefix).string(), empty);
    unsetenv("WINEPREFIX");
    brisvane::platform::ForgetChosenWinePrefix();
}

} // namespace
