// The start-up part of the registry benchmark (registry_bench_startup.h).
#include "registry_bench_startup.h"

#include "paths/browser_paths.h"
#include "platform/registry_files.h"
#include "registry_bench_common.h"
#include "settings/install_folder.h"
#include "settings/registry.h"
#include "settings/registry_layout.h"

#include <sstream>

namespace bench {

// What the program's start-up does to the registry when every option is ticked and stored so:
// the main page reads the five flags and ticking each box stores it again, the settings page
// discovers the browser paths, the install folder is read and the hives are checked.
void StartUpSequence() {
    {
        TRegistry settings;
        settings.OpenSubkey(layout::kSettingsKey, false);
        const char* flags[] = {layout::kCookiesFlag, layout::kFavoritesFlag, layout::kHistoryFlag,
                               layout::kCacheFlag, layout::kUrlRegistryFlag};
        for (const char* flag : flags) {
            const bool ticked = settings.ReadText(flag) == layout::kTrue;
            if (!ticked)
                continue;
            TRegistry store;
            store.OpenSubkey(layout::kSettingsKey, true);
            if (flag == std::string(layout::kFavoritesFlag) &&
                store.ReadText(layout::kUrlCheckFlag) == layout::kFalse)
                store.WriteText(layout::kUrlCheckFlag, layout::kTrue);
            store.WriteText(flag, layout::kTrue);
        }
    }
    ReadInstallFolder();
    DiscoverBrowserPaths([](std::size_t, const std::string&) {});
    brisvane::platform::UnusableRegistryFiles();
}

namespace {

void PrepareStartUpHives(const Sandbox& sandbox) {
    std::string user = "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\Tessmark\\Brisvane\\Settings]"
                       "\r\n\"Cookies\"=\"true\"\r\n\"URL References\"=\"true\"\r\n"
                       "\"History\"=\"true\"\r\n\"Cache\"=\"true\"\r\n\"URL Registry\"=\"true\"\r\n"
                       "\"URL Check\"=\"true\"\r\n\"Windows Start\"=\"false\"\r\n\r\n";
    WriteText(sandbox.UserHive(), user);
    WriteText(sandbox.MachineHive(),
              "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion"
              "\\App Paths\\brisvan.exe]\r\n\"Path\"=\"/opt/brisvane\"\r\n\r\n");
}

int CountLines(const std::string& text, const std::string& needle, const std::string& also = "") {
    int count = 0;
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line))
        if (line.find(needle) != std::string::npos &&
            (also.empty() || line.find(also) != std::string::npos))
            ++count;
    return count;
}

} // namespace

void StartUpFigures(const std::string& dir, const char* self) {
    Sandbox sandbox(dir);
    PrepareStartUpHives(sandbox);
    const FileState before = StateOf(sandbox.UserHive());
    const bool haveStrace = system("command -v strace >/dev/null 2>&1") == 0;
    if (haveStrace) {
        const std::string log = sandbox.Root() + "/strace.log";
        const std::string command = "strace -f -qq -o " + log +
                                    " -e trace=openat,rename,renameat,renameat2,fsync,fdatasync " +
                                    self + " --startup-child";
        if (system(command.c_str()) != 0)
            Fail("the start-up sequence failed under strace");
        std::ifstream in(log);
        std::stringstream text;
        text << in.rdbuf();
        const std::string calls = text.str();
        std::printf("  hive opened for reading %d times, lock file opened %d times, renames %d, "
                    "fsyncs %d\n",
                    CountLines(calls, ".reg\"", "O_RDONLY"), CountLines(calls, ".reg.lock\""),
                    CountLines(calls, "rename"), CountLines(calls, "fsync"));
    } else {
        StartUpSequence();
        std::printf("  (no strace: reads and renames not counted)\n");
    }
    const bool untouched = StateOf(sandbox.UserHive()) == before;
    std::printf("  user hive after start-up: %s\n",
                untouched ? "untouched (same inode and time)" : "REWRITTEN");
}

} // namespace bench
