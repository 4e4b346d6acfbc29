#include "platform/posix/wine_prefixes.h"
#include "support/temp_folder.h"

#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <gtest/gtest.h>
#include <optional>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;
using namespace brisvane::platform::wine;
using namespace testing_support;

namespace {

class ScopedVariable {
public:
    ScopedVariable(const char* name, const std::optional<std::string>& value) : m_name(name) {
        if (const char* old = std::getenv(name))
            m_old = old;
        Set(value);
    }
    ~ScopedVariable() { Set(m_old); }
    void Set(const std::optional<std::string>& value) {
        value ? setenv(m_name, value->c_str(), 1) : unsetenv(m_name);
    }

private:
    const char* m_name;
    std::optional<std::string> m_old;
};

void MakePrefix(const std::string& path) {
    MakeFolder(path + "/drive_c/users");
    MakeFolder(path + "/dosdevices");
    WriteFile(path + "/system.reg", "");
    WriteFile(path + "/user.reg", "");
    fs::create_directory_symlink("../drive_c", path + "/dosdevices/c:");
    fs::create_directory_symlink("/", path + "/dosdevices/z:");
}

TEST(WinePrefix, NeedsDriveCAndBothRegistryFiles) {
    TempFolder temp{"brisvane-wine"};
    const struct {
        const char* breakIt; // what is done to a complete prefix; "" for nothing
        bool expected;
    } cases[] = {{"", true},
                 {"drive_c", false},
                 {"drive_c file", false},
                 {"system.reg", false},
                 {"user.reg dir", false},
                 {"user.reg", false}};
    for (const auto& c : cases) {
        const std::string prefix = temp / ("p" + std::to_string(&c - cases));
        MakePrefix(prefix);
        const std::string what = c.breakIt;
        const std::string entry = prefix + "/" + what.substr(0, what.find(' '));
        if (!what.empty())
            fs::remove_all(entry);
        if (what.ends_with(" file"))
            WriteFile(entry, "");
        if (what.ends_with(" dir"))
            MakeFolder(entry);
        EXPECT_EQ(IsWinePrefix(prefix), c.expected) << what;
    }
    fs::create_directory_symlink(temp / "p0", temp / "link");
    EXPECT_TRUE(IsWinePrefix(temp / "link"));
    EXPECT_FALSE(IsWinePrefix(temp / "none"));
}

TEST(WinePrefix, FoundEachOnceInOrder) {
    TempFolder temp{"brisvane-wine"};
    const auto under = [&temp](std::vector<std::string> names) {
        for (std::string& name : names)
            name = temp / name;
        return names;
    };
    const std::string bottles = "home/.var/app/com.usebottles.bottles/data/bottles/bottles/fl";
    for (const std::string& p : under({"own", "other", "wt/b", "home/.PlayOnLinux/wineprefix/x",
                                       "home/.PlayOnLinux/wineprefix/y", "data/bottles/bottles/bot",
                                       bottles, "home/.cxoffice/cx", "home/.ies4linux/ie"}))
        MakePrefix(p);
    MakeFolder(temp / "wt/c");
    fs::create_directory_symlink(temp / "own", temp / "home/.wine");
    fs::create_directory_symlink(temp / "other", temp / "wt/a");
    fs::create_directory_symlink(temp / "home/.PlayOnLinux/wineprefix/x", temp / "wt/d");
    ScopedVariable h("HOME", temp / "home"), x("XDG_DATA_HOME", temp / "data"),
        w("WINEPREFIX", temp / "own"), t("WINE_PREFIXES", temp / "wt");
    EXPECT_EQ(
        FindWinePrefixes(),
        under({"own", "wt/a", "wt/b", "wt/d", "home/.PlayOnLinux/wineprefix/y",
               "data/bottles/bottles/bot", bottles, "home/.cxoffice/cx", "home/.ies4linux/ie"}));

    // Unset, WINE_PREFIXES and XDG_DATA_HOME fall back to their usual places.
    MakePrefix(temp / "home/.local/share/wineprefixes/q");
    w.Set(std::nullopt), t.Set(std::nullopt), x.Set(std::nullopt);
    EXPECT_EQ(FindWinePrefixes(),
              under({"home/.wine", "home/.local/share/wineprefixes/q",
                     "home/.PlayOnLinux/wineprefix/x", "home/.PlayOnLinux/wineprefix/y", bottles,
                     "home/.cxoffice/cx", "home/.ies4linux/ie"}));
}

TEST(WinePrefix, WindowsPathsMapInsideDriveCOnly) {
    TempFolder temp{"brisvane-wine"};
    const std::string p = temp / "pfx";
    MakePrefix(p);
    MakeFolder(p + "/drive_c/users/Me/Favorites");
    MakeFolder(p + "/drive_c/users/Me/\xc3\x84rger"); // "Ärger"
    MakeFolder(p + "/drive_c2/secret");
    MakeFolder(temp / "home");
    fs::create_directory_symlink(temp / "home", p + "/drive_c/users/Me/Desktop");
    fs::create_directory_symlink("users/Me", p + "/drive_c/me");
    fs::create_directory_symlink("../drive_c2", p + "/drive_c/sneak");
    fs::create_directory_symlink("gone", p + "/drive_c/broken");
    fs::create_directory_symlink("../drive_c/none", p + "/dosdevices/e:");
    const std::string c = fs::canonical(p + "/drive_c").string();
    const struct {
        std::string windows;
        std::string linux;
    } cases[] = {
        {"C:", c},
        {"c:\\USERS\\me\\favorites", c + "/users/Me/Favorites"},
        {"C:/users/ME/\xc3\xa4rger/x", c + "/users/Me/\xc3\x84rger/x"},
        {"C:\\Users\\Me\\New\\Sub\\", c + "/users/Me/New/Sub"},
        {"C:\\..\\..\\users\\.\\Me\\Desktop\\..\\Favorites", c + "/users/Me/Favorites"},
        {"C:\\users\\..\\..\\drive_c2\\secret", c + "/drive_c2/secret"},
        {"C:\\me\\Favorites", c + "/users/Me/Favorites"},
    };
    for (const auto& k : cases) {
        std::string why = "stale";
        EXPECT_EQ(LinuxPathInPrefix(p, k.windows, &why), k.linux) << k.windows;
        EXPECT_EQ(why, "");
    }
    // Out of drive_c by a drive, a link or a link's sibling; links leading nowhere; no drive.
    for (const std::string& refused : std::vector<std::string>{
             "Z:\\", "Z:" + p + "/drive_c2", "C:\\users\\Me\\Desktop\\x", "C:\\sneak\\secret",
             "C:\\broken\\x", "E:\\x", "Q:\\x", "\\\\server\\share\\x", "users\\Me", "C:users",
             "C:\\users\\Me\\x. ", ""}) {
        std::string why;
        EXPECT_EQ(LinuxPathInPrefix(p, refused, &why), "") << refused;
        EXPECT_NE(why.find("\"" + refused + "\""), std::string::npos) << why;
    }
    // Through z: into drive_c is the same place.
    EXPECT_EQ(LinuxPathInPrefix(p, "Z:" + c + "/users"), c + "/users");
    if (geteuid() != 0) {
        MakeFolder(p + "/drive_c/locked");
        fs::permissions(p + "/drive_c/locked", fs::perms::none);
        EXPECT_EQ(LinuxPathInPrefix(p, "C:\\locked\\Any"), "");
        fs::permissions(p + "/drive_c/locked", fs::perms::owner_all);
    }
}

// Holds a write lock on a file from a child process: a process never sees its own locks.
class LockHolder {
public:
    explicit LockHolder(const std::string& path) {
        int ready[2], release[2];
        if (pipe(ready) != 0 || pipe(release) != 0)
            return;
        m_child = fork();
        if (m_child == 0) {
            close(ready[0]);
            close(release[1]); // so that the parent's close alone ends the wait below
            struct flock lock {};
            lock.l_type = F_WRLCK;
            const int fd = open(path.c_str(), O_RDWR);
            const char ok = fd >= 0 && fcntl(fd, F_SETLK, &lock) == 0;
            char done;
            _exit(write(ready[1], &ok, 1) == 1 && read(release[0], &done, 1) >= 0 ? 0 : 1);
        }
        close(ready[1]);
        close(release[0]);
        char ok = 0;
        m_locked = m_child > 0 && read(ready[0], &ok, 1) == 1 && ok;
        close(ready[0]);
        m_release = release[1];
    }
    ~LockHolder() {
        close(m_release);
        if (m_child > 0)
            waitpid(m_child, nullptr, 0);
    }
    bool Locked() const { return m_locked; }

private:
    pid_t m_child = -1;
    int m_release = -1;
    bool m_locked = false;
};

std::string ServerName(const std::string& prefix) {
    struct stat info {};
    stat(prefix.c_str(), &info);
    char name[64];
    std::snprintf(name, sizeof name, "server-%llx-%llx",
                  static_cast<unsigned long long>(info.st_dev),
                  static_cast<unsigned long long>(info.st_ino));
    return name;
}

TEST(WineServer, RunningWhileItsLockIsHeld) {
    TempFolder temp{"brisvane-wine"}, tmp{"brisvane-tmp"};
    const std::string p = temp / "pfx";
    MakePrefix(p);
    ScopedVariable t("TMPDIR", tmp.Path());
    EXPECT_FALSE(WineServerRunning(p));
    WriteFile(p + "/wineserver", "wine-ab12cd");
    EXPECT_FALSE(WineServerRunning(p)); // no server folder
    const std::string server = tmp / ("wine-ab12cd/" + ServerName(p));
    MakeFolder(server);
    WriteFile(server + "/lock", "");
    EXPECT_FALSE(WineServerRunning(p));
    {
        LockHolder holder(server + "/lock");
        ASSERT_TRUE(holder.Locked());
        EXPECT_TRUE(WineServerRunning(p));
        // A name with a path in it is not one Wine wrote, though it leads to the same folder.
        WriteFile(p + "/wineserver", "x/../wine-ab12cd");
        MakeFolder(tmp / "x");
        EXPECT_FALSE(WineServerRunning(p));
    }
    WriteFile(p + "/wineserver", "wine-ab12cd");
    EXPECT_FALSE(WineServerRunning(p));
    if (geteuid() != 0) {
        fs::permissions(server + "/lock", fs::perms::none);
        EXPECT_TRUE(WineServerRunning(p));
    }
    // What cannot be looked at safely counts as running: a FIFO (never waited on), a link.
    fs::remove(server + "/lock");
    ASSERT_EQ(mkfifo((server + "/lock").c_str(), 0600), 0);
    EXPECT_TRUE(WineServerRunning(p));
    fs::remove(server + "/lock");
    WriteFile(temp / "elsewhere", "");
    fs::create_symlink(temp / "elsewhere", server + "/lock");
    EXPECT_TRUE(WineServerRunning(p));
}

TEST(WineServer, UpstreamFolderUnderTmp) {
    const std::string root = "/tmp/.wine-" + std::to_string(getuid());
    if (fs::exists(fs::symlink_status(root)))
        GTEST_SKIP() << root << " exists already; not touching a real server folder";
    TempFolder temp{"brisvane-wine"};
    const std::string p = temp / "pfx";
    MakePrefix(p);
    ASSERT_EQ(mkdir(root.c_str(), 0700), 0);
    const std::string server = root + "/" + ServerName(p);
    MakeFolder(server);
    WriteFile(server + "/lock", "");
    bool whileHeld = false;
    {
        LockHolder holder(server + "/lock");
        whileHeld = holder.Locked() && WineServerRunning(p);
    }
    const bool afterwards = WineServerRunning(p);
    fs::remove_all(root);
    EXPECT_TRUE(whileHeld);
    EXPECT_FALSE(afterwards);
}

} // namespace
