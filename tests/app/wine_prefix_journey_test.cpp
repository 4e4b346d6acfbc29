// The Linux program on a real Wine prefix made by wineboot, with Internet Explorer's and
// Netscape's debris planted the way the browsers leave it: found at the first start, cleaned by
// a run, and nothing outside the prefix's drive_c changed.
#include "app/unit1.h"
#include "app/unit4.h"
#include "app_fixture.h"
#include "paths/unit2.h"
#include "support/outside_snapshot.h"
#include "support/temp_folder.h"
#include "support/window_driver.h"
#include "ui/message_box.h"

#include <array>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>
#include <string>

namespace {

using namespace testing_support;
using window_driver::Click;
using window_driver::Tick;

std::string Quote(const std::string& text) {
    std::string quoted = "'";
    for (char c : text)
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

std::string Prefix() {
    return std::string(std::getenv("HOME")) + "/.wine";
}

// Runs a shell command and gives what it printed, without its last line end.
std::string Run(const std::string& line) {
    std::string out;
    if (FILE* pipe = popen(line.c_str(), "r")) {
        std::array<char, 4096> chunk;
        while (std::size_t n = fread(chunk.data(), 1, chunk.size(), pipe))
            out.append(chunk.data(), n);
        pclose(pipe);
    }
    while (!out.empty() && (out.back() == '\n' || out.back() == '\r'))
        out.pop_back();
    return out;
}

// The same for a Wine command in the prefix.
std::string Wine(const std::string& command) {
    return Run("WINEPREFIX=" + Quote(Prefix()) +
               " WINEDEBUG=-all WINEDLLOVERRIDES='mscoree,mshtml=;winemenubuilder.exe=d' " +
               command + " 2>/dev/null");
}

void RegAdd(const std::string& key, const std::string& name, const std::string& data,
            const char* view = "") {
    Wine("wine reg add " + Quote(key) + " /v " + Quote(name) + " /d " + Quote(data) + " /f " +
         view + " >/dev/null");
}

// The data of a string value as `wine reg query` prints it.
std::string RegQuery(const std::string& key, const std::string& name) {
    const std::string out = Wine("wine reg query " + Quote(key) + " /v " + Quote(name));
    const std::size_t type = out.find("REG_SZ");
    return type == std::string::npos ? "" : out.substr(out.find_first_not_of(' ', type + 6));
}

std::string RealLinuxPath(const std::string& windowsPath) {
    const std::string path = Wine("winepath -u " + Quote(windowsPath));
    char real[PATH_MAX];
    return realpath(path.c_str(), real) ? real : path;
}

// The HKCU keys as `wine reg export` writes them, less the typed-address list.
std::string ExportWithoutTypedUrls(const std::string& file) {
    Wine("wine reg export HKCU " + Quote(file) + " /y >/dev/null");
    const std::string exported = Run("iconv -f UTF-16 -t UTF-8 " + Quote(file) + " | tr -d '\\r'");
    std::filesystem::remove(file);
    std::string kept;
    bool typed = false;
    for (std::size_t at = 0; at < exported.size();) {
        const std::size_t end = std::min(exported.find('\n', at), exported.size());
        const std::string line = exported.substr(at, end - at);
        if (!line.empty() && line.front() == '[')
            typed = line.find("\\Internet Explorer\\TypedURLs") != std::string::npos;
        if (!typed)
            kept += line + "\n";
        at = end + 1;
    }
    return kept;
}

// The server writes the registry back as it ends, a few seconds after its last program.
void WaitForWineServer() {
    Wine("wineserver -w");
}

class WinePrefixJourney : public app_test::ProgramTest {
protected:
    void SetUp() override {
        if (std::system("command -v wine >/dev/null && command -v wineboot >/dev/null") != 0)
            GTEST_SKIP() << "Wine is not installed";
        app_test::ProgramTest::SetUp();
    }
    void TearDown() override {
        Wine("wineserver -k");
        Wine("wineserver -w");
        // Debian's Wine keeps its server folder under TMPDIR, named in the prefix.
        const std::string named =
            Exists(Prefix() + "/wineserver") ? ReadFile(Prefix() + "/wineserver") : "";
        if (named.rfind("wine-", 0) == 0 && named.find('/') == std::string::npos)
            std::filesystem::remove_all(
                std::string(std::getenv("TMPDIR") ? std::getenv("TMPDIR") : "/tmp") + "/" + named);
        std::filesystem::remove_all(Prefix());
        app_test::ProgramTest::TearDown();
    }
};

TEST_F(WinePrefixJourney, FindsCleansAndKeepsEverythingOutsideDriveC) {
    ASSERT_EQ(Wine("wineboot -i >/dev/null; wineserver -w; echo done"), "done");
    const std::string hkcu = "HKCU\\Software\\Microsoft\\";
    const std::string shell = hkcu + "Windows\\CurrentVersion\\Explorer\\Shell Folders";
    const std::string typed = hkcu + "Internet Explorer\\TypedURLs";
    const std::string netscape = "HKLM\\Software\\Netscape\\Netscape Navigator";
    RegAdd(typed, "url1", "http://example.com/");
    RegAdd(netscape + "\\Users", "CurrentUser", "default", "/reg:32");
    RegAdd(netscape + "\\Users\\default", "DirRoot", "C:\\Program Files\\Netscape\\Users\\default",
           "/reg:32");
    RegAdd(netscape, "CurrentVersion", "3.04 (en)", "/reg:32");
    RegAdd(netscape + "\\3.04 (en)\\Main", "Install Directory",
           "C:\\Program Files\\Netscape\\Navigator", "/reg:32");
    const std::string before = ExportWithoutTypedUrls(Prefix() + "/drive_c/before.reg");
    // The cache's files lie in Content.IE5's subfolders; the Netscape folders are made here.
    const std::string cache = RegQuery(shell, "Cache") + "\\Content.IE5";
    const std::string netscapeFolders[] = {"C:\\Program Files\\Netscape\\Users\\default",
                                           "C:\\Program Files\\Netscape\\Navigator"};
    for (const std::string& folder : {cache, netscapeFolders[0], netscapeFolders[1]})
        std::filesystem::create_directories(Wine("winepath -u " + Quote(folder)));
    std::array<std::string, 6> expected = {
        RealLinuxPath(RegQuery(shell, "Cookies")), RealLinuxPath(RegQuery(shell, "Favorites")),
        RealLinuxPath(RegQuery(shell, "History")), RealLinuxPath(cache),
        RealLinuxPath(netscapeFolders[0]),         RealLinuxPath(netscapeFolders[1])};
    WaitForWineServer();

    const std::string debris[] = {
        expected[0] + "/me@site.txt",           expected[1] + "/Home.url",
        expected[2] + "/History.IE5/index.dat", expected[3] + "/ABCD1234/page.htm",
        expected[4] + "/cookies.txt",           expected[4] + "/cache/M1.htm",
        expected[5] + "/bookmark.htm",          expected[5] + "/cache/M2.htm"};
    for (const std::string& file : debris) {
        std::filesystem::create_directories(std::filesystem::path(file).parent_path());
        WriteFile(file, "debris");
    }
    // The cache walk passes over the first entry it lists, as it always does.
    WriteFile(expected[3] + "/index.dat", "index");
    MakeFolder(expected[3] + "/0AAAAAAA");
    const std::string prefs = expected[4] + "/prefs.js";
    WriteFile(prefs, "user_pref(\"browser.url_history.URL_1\", \"http://example.com/\");\r\n"
                     "user_pref(\"browser.startup.page\", 1);\r\n");
    auto outside = [] {
        auto entries = Snapshot(std::getenv("HOME"));
        std::erase_if(entries, [](const auto& entry) {
            return entry.first.rfind(".wine/drive_c/", 0) == 0 || entry.first == ".wine/user.reg";
        });
        return entries;
    };
    const std::string userReg = ReadFile(Prefix() + "/user.reg");
    ASSERT_NE(userReg.find("TypedURLs"), std::string::npos);

    TempFolder installFolder{"brisvane-install"};
    app_test::InstallProgram(installFolder.Path());
    ui::MessageBoxRecorder boxes;
    StartUp();
    Form1->Show();
    const TEdit* edits[] = {Form2->Edit1, Form2->Edit2, Form2->Edit3,
                            Form2->Edit4, Form2->Edit5, Form2->Edit6};
    for (int row = 0; row < 6; ++row)
        EXPECT_EQ(edits[row]->Text(), expected[row]) << "row " << row + 1;
    for (TCheckBox* box :
         {Form1->CheckBox1, Form1->CheckBox2, Form1->CheckBox3, Form1->CheckBox4, Form1->CheckBox5})
        Tick(*box);
    Click(*Form1->Button5); // the first-run notice and the settings dialog
    Click(*Form2->Button1);
    const auto outsideBefore = outside();
    Click(*Form1->Button5);
    ASSERT_TRUE(Form4->Visible()) << boxes.Last().text;

    for (const std::string& file : debris)
        EXPECT_FALSE(Exists(file)) << file;
    EXPECT_EQ(ReadFile(prefs), "user_pref(\"browser.startup.page\", 1);\r\n");
    EXPECT_EQ(outside(), outsideBefore);
    for (const char* link : {"Desktop", "Documents", "Music"})
        EXPECT_TRUE(
            std::filesystem::is_symlink(std::filesystem::path(expected[1]).parent_path() / link));
    EXPECT_EQ(ReadFile(Prefix() + "/user.reg").find("TypedURLs"), std::string::npos);
    EXPECT_EQ(ExportWithoutTypedUrls(Prefix() + "/drive_c/after.reg"), before);

    // With the prefix's server running, its user.reg is left exactly as it is.
    RegAdd(typed, "url2", "http://example.org/");
    WaitForWineServer();
    Wine("wineserver -p 60");
    const std::string running = ReadFile(Prefix() + "/user.reg");
    ASSERT_NE(running.find("TypedURLs"), std::string::npos);
    Click(*Form4->Button4);
    Click(*Form1->Button5);
    EXPECT_TRUE(Form4->Visible());
    EXPECT_EQ(ReadFile(Prefix() + "/user.reg"), running);
}

} // namespace
