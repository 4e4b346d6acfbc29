#include "support/temp_folder.h"

#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <optional>
#include <spawn.h>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <vector>

extern char** environ;

using namespace testing_support;

namespace {

struct Outcome {
    int exitCode = -1;
    std::string out;
    std::string err;
};

// Runs the built tool with stdin empty, as an installer script would.
class BrisvaneReg : public ::testing::Test {
protected:
    Outcome Run(const std::vector<std::string>& args) {
        std::string outPath = m_scratch / "out.txt";
        std::string errPath = m_scratch / "err.txt";
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
        posix_spawn_file_actions_addopen(&actions, 1, outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                         0600);
        posix_spawn_file_actions_addopen(&actions, 2, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                         0600);
        std::vector<std::string> all = {BRISVANE_REG_PATH};
        all.insert(all.end(), args.begin(), args.end());
        std::vector<char*> argv;
        for (std::string& arg : all)
            argv.push_back(arg.data());
        argv.push_back(nullptr);
        Outcome outcome;
        pid_t pid = 0;
        EXPECT_EQ(posix_spawn(&pid, BRISVANE_REG_PATH, &actions, nullptr, argv.data(), environ), 0);
        posix_spawn_file_actions_destroy(&actions);
        int status = 0;
        waitpid(pid, &status, 0);
        outcome.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        outcome.out = ReadFile(outPath);
        outcome.err = ReadFile(errPath);
        return outcome;
    }

    std::string Hive(const char* root) const { return m_sandbox.HivePath(root); }

    RegistrySandbox m_sandbox;
    TempFolder m_scratch;
};

constexpr const char* kAppPaths =
    "HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\brisvan.exe";

TEST_F(BrisvaneReg, RegistersTheProgramAsTheInstallerDoes) {
    Outcome added =
        Run({"add", kAppPaths, "/v", "Path", "/d", "/home/u/.local/lib/brisvane", "/f"});
    ASSERT_EQ(added.exitCode, 0) << added.err;
    ASSERT_EQ(
        Run({"add", kAppPaths, "/ve", "/d", "/home/u/.local/lib/brisvane/brisvan", "/f"}).exitCode,
        0);
    EXPECT_NE(ReadFile(Hive("HKEY_LOCAL_MACHINE"))
                  .find("[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\"
                        "App Paths\\brisvan.exe]\r\n"
                        "\"Path\"=\"/home/u/.local/lib/brisvane\"\r\n"
                        "@=\"/home/u/.local/lib/brisvane/brisvan\"\r\n"),
              std::string::npos);

    Outcome query = Run({"QUERY",
                         "hkey_local_machine\\software\\microsoft\\windows\\"
                         "currentversion\\app paths\\BRISVAN.EXE",
                         "/V", "path"});
    EXPECT_EQ(query.exitCode, 0) << query.err;
    EXPECT_NE(query.out.find("    path    REG_SZ    /home/u/.local/lib/brisvane\n"),
              std::string::npos)
        << query.out;
    Outcome all = Run({"query", kAppPaths});
    EXPECT_NE(all.out.find("    (Default)    REG_SZ    /home/u/.local/lib/brisvane/brisvan"),
              std::string::npos)
        << all.out;
}

TEST_F(BrisvaneReg, StoresTheTypesItOffers) {
    ASSERT_EQ(
        Run({"add", "HKCU\\Software\\T", "/v", "n", "/t", "REG_DWORD", "/d", "0x1F"}).exitCode, 0);
    ASSERT_EQ(Run({"add", "HKCU\\Software\\T", "/v", "d", "/t", "reg_dword", "/d", "4294967295"})
                  .exitCode,
              0);
    ASSERT_EQ(
        Run({"add", "HKCU\\Software\\T", "/v", "e", "/t", "REG_EXPAND_SZ", "/d", "%H%"}).exitCode,
        0);
    ASSERT_EQ(Run({"add", "HKCU\\Software\\T\\Empty"}).exitCode, 0);
    std::string file = ReadFile(Hive("HKEY_CURRENT_USER"));
    EXPECT_NE(file.find("\"n\"=dword:0000001f\r\n\"d\"=dword:ffffffff\r\n"
                        "\"e\"=hex(2):25,48,25,00\r\n\r\n[HKEY_CURRENT_USER\\Software\\T\\Empty]"),
              std::string::npos)
        << file;
    Outcome query = Run({"query", "HKCU\\Software\\T"});
    EXPECT_NE(query.out.find("    n    REG_DWORD    0x1f\n"), std::string::npos) << query.out;
    EXPECT_NE(query.out.find("\nHKEY_CURRENT_USER\\Software\\T\\Empty\n"), std::string::npos);
}

TEST_F(BrisvaneReg, AsksBeforeOverwritingOrDeletingUnlessForced) {
    ASSERT_EQ(Run({"add", "HKCU\\K", "/v", "v", "/d", "first"}).exitCode, 0);
    Outcome refused = Run({"add", "HKCU\\K", "/v", "V", "/d", "second"});
    EXPECT_NE(refused.exitCode, 0);
    EXPECT_NE(refused.err.find("overwrite"), std::string::npos) << refused.err;
    EXPECT_NE(Run({"delete", "HKCU\\K"}).exitCode, 0);
    EXPECT_NE(ReadFile(Hive("HKEY_CURRENT_USER")).find("\"v\"=\"first\""), std::string::npos);

    ASSERT_EQ(Run({"add", "HKCU\\K\\Sub\\Deeper", "/v", "x", "/d", "1"}).exitCode, 0);
    EXPECT_EQ(Run({"delete", "HKCU\\K", "/v", "v", "/f"}).exitCode, 0);
    EXPECT_NE(Run({"delete", "HKCU\\K", "/v", "v", "/f"}).exitCode, 0) << "already gone";
    EXPECT_EQ(Run({"delete", "HKCU\\k", "/f"}).exitCode, 0) << "a whole subtree";
    EXPECT_EQ(ReadFile(Hive("HKEY_CURRENT_USER")), "REGEDIT4\r\n\r\n");
    Outcome missing = Run({"query", "HKCU\\K"});
    EXPECT_NE(missing.exitCode, 0);
    EXPECT_NE(missing.err.find("unable to find"), std::string::npos) << missing.err;
}

TEST_F(BrisvaneReg, ExportsAKeyThatImportsIntoAnEmptyRegistry) {
    ASSERT_EQ(
        Run({"add", "HKCU\\Software\\Tessmark\\Brisvane\\Settings", "/v", "Cookies", "/d", "true"})
            .exitCode,
        0);
    ASSERT_EQ(Run({"add", "HKCU\\Software\\Other", "/v", "x", "/d", "1"}).exitCode, 0);
    std::string exported = m_scratch / "settings.reg";
    Outcome exportRun = Run({"export", "hkcu\\software\\tessmark", exported});
    ASSERT_EQ(exportRun.exitCode, 0) << exportRun.err;
    EXPECT_EQ(ReadFile(exported), "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\Tessmark]\r\n\r\n"
                                  "[HKEY_CURRENT_USER\\Software\\Tessmark\\Brisvane]\r\n\r\n"
                                  "[HKEY_CURRENT_USER\\Software\\Tessmark\\Brisvane\\Settings]\r\n"
                                  "\"Cookies\"=\"true\"\r\n\r\n");
    EXPECT_NE(Run({"export", "HKCU\\Software\\Tessmark", exported}).exitCode, 0)
        << "an existing file needs /y";

    RegistrySandbox fresh;
    Outcome importRun = Run({"import", exported});
    ASSERT_EQ(importRun.exitCode, 0) << importRun.err;
    EXPECT_EQ(ReadFile(fresh.HivePath("HKEY_CURRENT_USER")),
              "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software]\r\n\r\n" +
                  ReadFile(exported).substr(12));
}

TEST_F(BrisvaneReg, ImportsAWindowsExportWithDeletions) {
    ASSERT_EQ(Run({"add", "HKCU\\Old", "/v", "x", "/d", "1"}).exitCode, 0);
    ASSERT_EQ(Run({"add", "HKLM\\SOFTWARE\\App", "/v", "gone", "/d", "1"}).exitCode, 0);
    std::string text =
        "Windows Registry Editor Version 5.00\r\n\r\n[-HKEY_CURRENT_USER\\Old]\r\n\r\n"
        "[HKEY_LOCAL_MACHINE\\SOFTWARE\\App]\r\n\"gone\"=-\r\n"
        "\"Env\"=hex(2):25,00,41,00,25,00,00,00\r\n";
    std::string unicode = "\xFF\xFE";
    for (char c : text) {
        unicode += c;
        unicode += '\0';
    }
    std::string file = m_scratch / "windows.reg";
    WriteFile(file, unicode);
    Outcome importRun = Run({"import", file});
    ASSERT_EQ(importRun.exitCode, 0) << importRun.err;
    EXPECT_EQ(ReadFile(Hive("HKEY_CURRENT_USER")), "REGEDIT4\r\n\r\n");
    EXPECT_EQ(ReadFile(Hive("HKEY_LOCAL_MACHINE")),
              "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE]\r\n\r\n"
              "[HKEY_LOCAL_MACHINE\\SOFTWARE\\App]\r\n\"Env\"=hex(2):25,41,25,00\r\n\r\n");
}

TEST_F(BrisvaneReg, RefusesBadInputWithAMessage) {
    struct Case {
        std::vector<std::string> args;
        const char* message;
    };
    std::string broken = m_scratch / "broken.reg";
    WriteFile(broken, "REGEDIT4\r\n[HKEY_CURRENT_USER\\A]\r\n\"a\"=\"1\"\r\n\"b\"=wrong\r\n");
    std::string foreign = m_scratch / "foreign.reg";
    WriteFile(foreign, "REGEDIT4\r\n[HKEY_CURRENT_USER\\A]\r\n[HKEY_CLASSES_ROOT\\.txt]\r\n");
    std::string deep;
    for (int i = 0; i < 513; ++i)
        deep += "\\k";
    const std::vector<Case> cases = {
        {{}, "no command"},
        {{"frobnicate", "HKCU\\A"}, "unknown command"},
        {{"query", "HKCR\\A"}, "HKCR\\A"},
        {{"query"}, "exactly one key"},
        {{"add", "HKCU\\A", "/v"}, "/v needs a value"},
        {{"add", "HKCU\\A", "/v", "n", "/t", "REG_BINARY"}, "REG_BINARY"},
        {{"add", "HKCU\\A", "/v", "n", "/t", "REG_DWORD", "/d", "0x100000000"}, "REG_DWORD"},
        {{"add", "HKCU\\A", "/v", "n", "/ve"}, "only one of"},
        {{"add", "HKCU\\A\\\\B"}, "empty key name"},
        {{"add", "HKCU" + deep}, "more than 512 levels"},
        {{"delete", "HKLM", "/f"}, "root key"},
        {{"import", broken}, "line 4"},
        {{"import", foreign}, "line 3"},
        {{"import", m_scratch / "missing.reg"}, "Cannot read"},
    };
    for (const Case& c : cases) {
        Outcome outcome = Run(c.args);
        EXPECT_NE(outcome.exitCode, 0) << c.message;
        EXPECT_NE(outcome.err.find(c.message), std::string::npos) << outcome.err;
    }
    EXPECT_FALSE(Exists(Hive("HKEY_CURRENT_USER"))) << "nothing was imported or added";
}

TEST_F(BrisvaneReg, LeavesADamagedHiveAsItIs) {
    MakeFolder(m_sandbox.ConfigHome() + "/brisvane");
    const std::string damaged = "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\A]\r\n\"a\"=dword:xyz\r\n";
    WriteFile(Hive("HKEY_CURRENT_USER"), damaged);
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"query", "HKCU\\A"},
          std::vector<std::string>{"add", "HKCU\\A", "/v", "b", "/d", "1", "/f"}}) {
        Outcome outcome = Run(args);
        EXPECT_NE(outcome.exitCode, 0);
        EXPECT_NE(outcome.err.find(Hive("HKEY_CURRENT_USER") + " is damaged at line 4"),
                  std::string::npos)
            << outcome.err;
    }
    EXPECT_EQ(ReadFile(Hive("HKEY_CURRENT_USER")), damaged);
}

// A large hive is read in two halves at once: the fault named must still be the one a reader
// going through it in turn finds first, syntax before other roots, those before refused edits.
TEST_F(BrisvaneReg, QueryOfALargeHiveNamesTheFaultReadingInTurnFindsFirst) {
    MakeFolder(m_sandbox.ConfigHome() + "/brisvane");
    // Several MiB, well beyond the size from which a hive is read in halves.
    constexpr int kFillerLines = 160000;
    std::string filler;
    for (int i = 0; i < kFillerLines; ++i)
        filler += "[HKEY_CURRENT_USER\\Filler\\K" + std::to_string(i) + "]\r\n";
    const std::string syntax = "\"b\"=dword:xyz\r\n";
    const std::string outside = "[HKEY_LOCAL_MACHINE\\B]\r\n";
    const std::string refused = "[-HKEY_CURRENT_USER]\r\n";
    constexpr int kHead = 5; // the line a fault at the head is on
    constexpr int kTail = kHead + 1 + kFillerLines;
    struct Case {
        std::string head;
        std::string tail;
        int line;
        const char* reason;
    };
    const std::vector<Case> cases = {
        {"", syntax, kTail - 1, "a dword value that is not 1 to 8 hex digits"},
        {outside, syntax, kTail, "a dword value that is not 1 to 8 hex digits"},
        {syntax, outside, kHead, "a dword value that is not 1 to 8 hex digits"},
        {outside, outside, kHead, "a key outside HKEY_CURRENT_USER"},
        {refused, outside, kTail, "a key outside HKEY_CURRENT_USER"},
        {refused, refused, kHead, "a root key cannot be deleted"},
        {"", refused, kTail - 1, "a root key cannot be deleted"},
    };
    for (const Case& c : cases) {
        WriteFile(Hive("HKEY_CURRENT_USER"),
                  "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\A]\r\n\"a\"=\"1\"\r\n" + c.head + filler +
                      c.tail);
        const Outcome outcome = Run({"query", "HKCU\\A", "/v", "a"});
        EXPECT_EQ(outcome.exitCode, 1) << c.head << c.tail;
        EXPECT_NE(outcome.err.find(" is damaged at line " + std::to_string(c.line) + " (" +
                                   c.reason + ")"),
                  std::string::npos)
            << c.head << c.tail << outcome.err;
    }
}

TEST_F(BrisvaneReg, QueryRefusesAHiveDamagedFarBelowTheKeyAsked) {
    MakeFolder(m_sandbox.ConfigHome() + "/brisvane");
    std::string healthy = "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\A]\r\n\"a\"=\"1\"\r\n";
    for (int i = 0; i < 4000; ++i)
        healthy += "[HKEY_CURRENT_USER\\Filler\\K" + std::to_string(i) + "]\r\n";
    const int lastLine = 4000 + 5;
    struct Case {
        const char* tail;
        const char* reason;
    };
    const std::vector<Case> cases = {
        {"\"b\"=dword:xyz\r\n", "a dword value that is not 1 to 8 hex digits"},
        {"[HKEY_LOCAL_MACHINE\\B]\r\n", "a key outside HKEY_CURRENT_USER"},
        {"[-HKEY_CURRENT_USER]\r\n", "a root key cannot be deleted"},
    };
    for (const Case& c : cases) {
        const std::string damaged = healthy + c.tail;
        WriteFile(Hive("HKEY_CURRENT_USER"), damaged);
        Outcome outcome = Run({"query", "HKCU\\A", "/v", "a"});
        EXPECT_EQ(outcome.exitCode, 1) << c.reason;
        EXPECT_EQ(outcome.out, "") << c.reason;
        EXPECT_EQ(outcome.err, "brisvane: registry hive " + Hive("HKEY_CURRENT_USER") +
                                   " is damaged at line " + std::to_string(lastLine) + " (" +
                                   c.reason +
                                   "); it is left as it is and its keys cannot be opened\n"
                                   "ERROR: The registry hive " +
                                   Hive("HKEY_CURRENT_USER") +
                                   " is damaged and was left as it is; fix or remove the line "
                                   "named above.\n");
        EXPECT_EQ(ReadFile(Hive("HKEY_CURRENT_USER")), damaged);
    }
}

TEST_F(BrisvaneReg, NamesAHiveThatIsAFolder) {
    MakeFolder(Hive("HKEY_CURRENT_USER"));
    Outcome outcome = Run({"query", "HKCU\\A"});
    EXPECT_NE(outcome.exitCode, 0);
    EXPECT_NE(outcome.err.find("ERROR: The registry hive " + Hive("HKEY_CURRENT_USER") +
                               " is a folder, not a regular file."),
              std::string::npos)
        << outcome.err;
}

constexpr const char* kRunKey = "HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";

// A script that leaves a marker file named after itself when it runs.
std::string MarkerScript(const std::string& path, const std::string& marker, mode_t mode) {
    WriteFile(path, "#!/bin/sh\necho started > '" + marker + "'\n");
    chmod(path.c_str(), mode);
    return path;
}

bool AppearsSoon(const std::string& path) {
    for (int i = 0; i < 100 && !Exists(path); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    return Exists(path);
}

TEST_F(BrisvaneReg, RunAtLogonStartsOnlyTheExecutableFilesTheRunKeyNames) {
    const std::string started = m_scratch / "started";
    const std::string quoted = m_scratch / "quoted";
    const std::string plain = m_scratch / "plain";
    MarkerScript(m_scratch / "program.sh", started, 0755);
    MarkerScript(m_scratch / "with space.sh", quoted, 0700);
    MarkerScript(m_scratch / "plain.sh", plain, 0644);
    MakeFolder(m_scratch / "folder.sh");
    const std::vector<std::pair<std::string, std::string>> entries = {
        {"Brisvane", m_scratch / "program.sh"},
        {"Quoted", "\"" + (m_scratch / "with space.sh") + "\""},
        {"NotExecutable", m_scratch / "plain.sh"},
        {"Missing", m_scratch / "gone.sh"},
        {"Folder", m_scratch / "folder.sh"},
    };
    for (const auto& [name, data] : entries)
        ASSERT_EQ(Run({"add", kRunKey, "/v", name, "/d", data, "/f"}).exitCode, 0);

    Outcome outcome = Run({"run-at-logon"});
    EXPECT_EQ(outcome.exitCode, 0);
    EXPECT_TRUE(AppearsSoon(started));
    EXPECT_TRUE(AppearsSoon(quoted));
    for (const char* skipped : {"plain.sh", "gone.sh", "folder.sh"})
        EXPECT_NE(outcome.err.find(skipped), std::string::npos) << outcome.err;
    // The started ones have long written their markers; the others had as long.
    EXPECT_FALSE(Exists(plain));
}

TEST_F(BrisvaneReg, RunAtLogonStartsTheUsersRunKeyTooAndEachProgramOnce) {
    const std::string log = m_scratch / "both.log";
    const std::string userOnly = m_scratch / "user-only";
    const std::string both = m_scratch / "both.sh";
    WriteFile(both, "#!/bin/sh\necho started >> '" + log + "'\n");
    chmod(both.c_str(), 0755);
    MarkerScript(m_scratch / "user.sh", userOnly, 0755);
    const std::string userRun = "HKCU\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
    const std::vector<std::vector<std::string>> adds = {
        {kRunKey, "Brisvane", both},
        {userRun, "Brisvane", both},
        {userRun, "Again", "\"" + both + "\""},
        {userRun, "Other", m_scratch / "user.sh"},
    };
    for (const auto& add : adds)
        ASSERT_EQ(Run({"add", add[0], "/v", add[1], "/d", add[2], "/f"}).exitCode, 0);

    EXPECT_EQ(Run({"run-at-logon"}).exitCode, 0);
    EXPECT_TRUE(AppearsSoon(userOnly));
    ASSERT_TRUE(AppearsSoon(log));
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_EQ(ReadFile(log), "started\n") << "named three times, started once";
}

TEST_F(BrisvaneReg, RunAtLogonStartsNothingWithoutARunKeyOrFromADamagedHive) {
    const std::string marker = m_scratch / "started";
    MarkerScript(m_scratch / "program.sh", marker, 0755);
    EXPECT_EQ(Run({"run-at-logon"}).exitCode, 0);

    MakeFolder(m_sandbox.ConfigHome() + "/brisvane");
    WriteFile(Hive("HKEY_LOCAL_MACHINE"),
              "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\"
              "Run]\r\n\"Brisvane\"=\"" +
                  (m_scratch / "program.sh") + "\"\r\n\"Broken\"=dword:xyz\r\n");
    EXPECT_EQ(Run({"run-at-logon"}).exitCode, 0);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_FALSE(Exists(marker));
}

TEST_F(BrisvaneReg, ProgramsStartedAtLogonSeeTheEnvironmentAsTheUserHadIt) {
    const std::string marker = m_scratch / "environment";
    const std::string script = m_scratch / "program.sh";
    WriteFile(script, "#!/bin/sh\n{ echo \"${GLIBC_TUNABLES-unset}\"; echo "
                      "\"${BRISVANE_REG_TUNABLES_BEFORE-unset}\"; } > '" +
                          marker + ".part' && mv '" + marker + ".part' '" + marker + "'\n");
    chmod(script.c_str(), 0755);
    ASSERT_EQ(Run({"add", kRunKey, "/v", "Brisvane", "/d", script, "/f"}).exitCode, 0);

    // Whatever the user set, names that look like brisvane-reg's own included, reaches the
    // program as it was, and nothing is added.
    struct Case {
        const char* tunables;
        const char* before;
    };
    const Case cases[] = {
        {nullptr, nullptr},
        {"glibc.malloc.tcache_count=5", nullptr},
        {nullptr, "+glibc.malloc.hugetlb=1"},
        {"glibc.malloc.tcache_count=5", "-"},
    };
    const std::vector<std::string> names = {"GLIBC_TUNABLES", "BRISVANE_REG_TUNABLES_BEFORE"};
    std::vector<std::optional<std::string>> saved;
    for (const std::string& name : names)
        saved.push_back(std::getenv(name.c_str())
                            ? std::optional<std::string>(std::getenv(name.c_str()))
                            : std::nullopt);
    auto put = [](const std::string& name, const char* value) {
        if (value)
            setenv(name.c_str(), value, 1);
        else
            unsetenv(name.c_str());
    };
    for (const Case& test : cases) {
        put(names[0], test.tunables);
        put(names[1], test.before);
        std::remove(marker.c_str());
        EXPECT_EQ(Run({"run-at-logon"}).exitCode, 0);
        ASSERT_TRUE(AppearsSoon(marker));
        std::ifstream seen(marker);
        std::string seenTunables, seenBefore;
        std::getline(seen, seenTunables);
        std::getline(seen, seenBefore);
        EXPECT_EQ(seenTunables, test.tunables ? test.tunables : "unset");
        EXPECT_EQ(seenBefore, test.before ? test.before : "unset");
    }
    for (std::size_t i = 0; i < names.size(); ++i)
        put(names[i], saved[i] ? saved[i]->c_str() : nullptr);
}

} // namespace

namespace {

TEST_F(BrisvaneReg, ListsWinePrefixesAndStoresTheFoldersOfOne) {
    const std::string prefix = m_scratch / "ie6";
    std::filesystem::create_directories(prefix + "/drive_c/users/me/Cookies");
    std::filesystem::create_directories(prefix + "/dosdevices");
    std::filesystem::create_directory_symlink("../drive_c", prefix + "/dosdevices/c:");
    WriteFile(prefix + "/drive_c/users/me/Cookies/me@site.txt", "x");
    WriteFile(prefix + "/system.reg", "WINE REGISTRY Version 2\n");
    WriteFile(prefix + "/user.reg",
              "WINE REGISTRY Version 2\n\n"
              "[Software\\\\Microsoft\\\\Windows\\\\CurrentVersion\\\\Explorer\\\\Shell Folders]\n"
              "\"Cookies\"=\"C:\\\\users\\\\me\\\\Cookies\"\n");
    const std::string cookies =
        std::filesystem::canonical(prefix).string() + "/drive_c/users/me/Cookies";
    setenv("WINE_PREFIXES", m_scratch.Path().c_str(), 1);
    const Outcome listed = Run({"wine-prefixes"});
    unsetenv("WINE_PREFIXES");
    EXPECT_EQ(listed.exitCode, 0) << listed.err;
    EXPECT_NE(listed.out.find(prefix + "   (the one Brisvane works on)\n"), std::string::npos)
        << listed.out;
    EXPECT_NE(listed.out.find("browser data: files in the Cookies folder\n"), std::string::npos);
    EXPECT_NE(listed.out.find("IE Cookie:    " + cookies + "\n"), std::string::npos);

    const Outcome imported = Run({"wine-import", prefix});
    EXPECT_EQ(imported.exitCode, 0) << imported.err;
    EXPECT_NE(ReadFile(Hive("HKEY_CURRENT_USER"))
                  .find("[HKEY_CURRENT_USER\\Software\\Tessmark\\Brisvane\\Paths]\r\n"
                        "\"IE Cookie\"=\"" +
                        cookies + "\"\r\n\"IE Favorites\"=\"\"\r\n"),
              std::string::npos);
    EXPECT_EQ(Run({"wine-import", m_scratch / "nowhere"}).exitCode, 1);
}

} // namespace
