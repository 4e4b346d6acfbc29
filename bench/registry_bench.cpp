// Times the registry over its hive files as they grow: one write and one query in keys of many
// values, brisvane-reg listing large keys, imports of large .reg files of several shapes, how
// each grows when the hive doubles, and what the start-up reads and writes when the options
// are as stored. Every run works in a fresh XDG_CONFIG_HOME below --dir.
//
//   registry_bench [--dir DIR] [--reg PATH-TO-brisvane-reg] [--sizes 10,1000,100000]
//                  [--import-mb 50] [--reps 5] [--only write,tool,import,startup]
#include "paths/browser_paths.h"
#include "platform/registry_files.h"
#include "platform/win32.h"
#include "settings/install_folder.h"
#include "settings/registry.h"
#include "settings/registry_layout.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <functional>
#include <numeric>
#include <random>
#include <sstream>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace {

using Clock = std::chrono::steady_clock;

struct Options {
    std::string dir = fs::temp_directory_path().string();
    std::string reg = BRISVANE_REG_PATH;
    std::vector<long> sizes = {10, 1000, 100000};
    long importMb = 50;
    int reps = 5;
    std::string only = "write,tool,import,startup";
    bool startupChild = false;
};

double Seconds(Clock::time_point from) {
    return std::chrono::duration<double>(Clock::now() - from).count();
}

double Median(std::vector<double> samples) {
    std::sort(samples.begin(), samples.end());
    return samples.empty() ? 0 : samples[samples.size() / 2];
}

std::string Ms(double seconds) {
    char text[32];
    std::snprintf(text, sizeof text, "%.3f ms", seconds * 1000);
    return text;
}

void Fail(const std::string& what) {
    std::fprintf(stderr, "registry_bench: %s\n", what.c_str());
    std::exit(1);
}

// A fresh configuration folder, made the one the registry uses.
class Sandbox {
public:
    explicit Sandbox(const std::string& base) {
        std::string pattern = base + "/registry_bench.XXXXXX";
        if (!mkdtemp(pattern.data()))
            Fail("cannot make a folder below " + base);
        m_root = pattern;
        fs::create_directories(Folder());
        setenv("XDG_CONFIG_HOME", m_root.c_str(), 1);
    }
    ~Sandbox() {
        std::error_code ignored;
        fs::remove_all(m_root, ignored);
    }
    Sandbox(const Sandbox&) = delete;
    Sandbox& operator=(const Sandbox&) = delete;
    std::string Folder() const { return m_root + "/brisvane"; }
    std::string UserHive() const { return Folder() + "/HKEY_CURRENT_USER.reg"; }
    std::string MachineHive() const { return Folder() + "/HKEY_LOCAL_MACHINE.reg"; }
    std::string Root() const { return m_root; }

private:
    std::string m_root;
};

void WriteText(const std::string& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
    if (!out)
        Fail("cannot write " + path);
}

std::string ValueName(long i) {
    char name[32];
    std::snprintf(name, sizeof name, "Value%07ld", i);
    return name;
}

void AppendValueLine(std::string& text, const std::string& name, const std::string& data) {
    text += '"';
    text += name;
    text += "\"=\"";
    text += data;
    text += "\"\r\n";
}

// A hive holding one key Software\Bench\Big with `values` values and `subkeys` empty subkeys.
std::string HiveText(long values, long subkeys) {
    std::string text = "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\Bench\\Big]\r\n";
    for (long i = 0; i < values; ++i)
        AppendValueLine(text, ValueName(i), "data of value " + std::to_string(i));
    text += "\r\n";
    for (long i = 0; i < subkeys; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "Sub%07ld", i);
        text += std::string("[HKEY_CURRENT_USER\\Software\\Bench\\Big\\") + name + "]\r\n\r\n";
    }
    return text;
}

HKEY OpenBig() {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Bench\\Big", 0, KEY_ALL_ACCESS, &key) !=
        ERROR_SUCCESS)
        Fail("cannot open the benchmark key");
    return key;
}

LONG SetText(HKEY key, const std::string& name, const std::string& text) {
    return RegSetValueExA(key, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                          static_cast<DWORD>(text.size() + 1));
}

LONG QuerySize(HKEY key, const std::string& name) {
    DWORD size = 0;
    return RegQueryValueExA(key, name.c_str(), nullptr, nullptr, nullptr, &size);
}

struct FileState {
    ino_t inode = 0;
    timespec modified{};
    bool operator==(const FileState& other) const {
        return inode == other.inode && modified.tv_sec == other.modified.tv_sec &&
               modified.tv_nsec == other.modified.tv_nsec;
    }
};

FileState StateOf(const std::string& path) {
    struct stat info {};
    stat(path.c_str(), &info);
    return {info.st_ino, info.st_mtim};
}

// What putting a file of this size on the disk costs by itself: written, synced, renamed and
// its folder synced, as a hive write does. Subtracted from a write to show the rest.
double FlushCost(const std::string& folder, std::size_t bytes) {
    const std::string path = folder + "/flush.probe";
    const std::string content(bytes, 'x');
    std::vector<double> samples;
    for (int i = 0; i < 3; ++i) {
        const auto start = Clock::now();
        const int fd = open((path + ".tmp").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        if (fd < 0 || write(fd, content.data(), content.size()) < 0 || fsync(fd) != 0)
            Fail("cannot time a flush in " + folder);
        close(fd);
        rename((path + ".tmp").c_str(), path.c_str());
        const int dir = open(folder.c_str(), O_RDONLY | O_DIRECTORY);
        fsync(dir);
        close(dir);
        samples.push_back(Seconds(start));
    }
    unlink(path.c_str());
    return Median(samples);
}

struct WriteFigures {
    double firstQuery = 0;
    double query = 0;
    double write = 0;
    double flush = 0;
    double noop = 0;
    bool untouched = false;
};

void PrintWriteFigures(long values, const WriteFigures& figures) {
    std::printf("  %7ld values: first query %s, query %s, write %s (flush alone %s, rest %s), "
                "unchanged write %s %s\n",
                values, Ms(figures.firstQuery).c_str(), Ms(figures.query).c_str(),
                Ms(figures.write).c_str(), Ms(figures.flush).c_str(),
                Ms(std::max(0.0, figures.write - figures.flush)).c_str(), Ms(figures.noop).c_str(),
                figures.untouched ? "(file untouched)" : "(FILE REWRITTEN)");
}

WriteFigures TimeWriteAndQuery(const Options& options, long values) {
    Sandbox sandbox(options.dir);
    WriteText(sandbox.UserHive(), HiveText(values, 0));
    WriteFigures figures;
    HKEY key = OpenBig();
    const std::string middle = ValueName(values / 2);

    // The first read after another program changed the file pays for the parse.
    std::vector<double> firstQueries;
    const std::string text = HiveText(values, 0);
    for (int i = 0; i < options.reps; ++i) {
        WriteText(sandbox.UserHive(), text + "[HKEY_CURRENT_USER\\Software\\Bench\\Other" +
                                          std::to_string(i) + "]\r\n\r\n");
        const auto start = Clock::now();
        if (QuerySize(key, middle) != ERROR_SUCCESS)
            Fail("the middle value is missing");
        firstQueries.push_back(Seconds(start));
    }
    figures.firstQuery = Median(firstQueries);
    auto start = Clock::now();

    std::vector<double> writes;
    for (int i = 0; i < options.reps; ++i) {
        start = Clock::now();
        if (SetText(key, "Added" + std::to_string(i), "written by the benchmark") != ERROR_SUCCESS)
            Fail("a write failed");
        writes.push_back(Seconds(start));
    }
    figures.write = Median(writes);
    figures.flush = FlushCost(sandbox.Folder(), fs::file_size(sandbox.UserHive()));

    std::vector<double> queries;
    for (int i = 0; i < std::max(options.reps, 20); ++i) {
        start = Clock::now();
        QuerySize(key, ValueName((values * i) / 20));
        queries.push_back(Seconds(start));
    }
    figures.query = Median(queries);

    // The same bytes again must leave the file as it is.
    const FileState before = StateOf(sandbox.UserHive());
    start = Clock::now();
    SetText(key, middle, "data of value " + std::to_string(values / 2));
    figures.noop = Seconds(start);
    figures.untouched = StateOf(sandbox.UserHive()) == before;
    RegCloseKey(key);

    return figures;
}

// Runs brisvane-reg with args, its output thrown away; the wall time (and the CPU time, user
// and system, when cpu is given), or exits on failure.
double RunTool(const Options& options, const std::vector<std::string>& args,
               double* cpu = nullptr) {
    const auto start = Clock::now();
    const pid_t pid = fork();
    if (pid == 0) {
        const int null = open("/dev/null", O_WRONLY);
        dup2(null, 1);
        std::vector<char*> argv{const_cast<char*>(options.reg.c_str())};
        for (const std::string& arg : args)
            argv.push_back(const_cast<char*>(arg.c_str()));
        argv.push_back(nullptr);
        execv(argv[0], argv.data());
        _exit(127);
    }
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    const double took = Seconds(start);
    if (cpu)
        *cpu = usage.ru_utime.tv_sec + usage.ru_utime.tv_usec / 1e6 + usage.ru_stime.tv_sec +
               usage.ru_stime.tv_usec / 1e6;
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        Fail("brisvane-reg " + args.front() + " failed");
    return took;
}

double TimeToolQuery(const Options& options, long values, long subkeys) {
    Sandbox sandbox(options.dir);
    WriteText(sandbox.UserHive(), HiveText(values, subkeys));
    std::vector<double> samples;
    for (int i = 0; i < 3; ++i)
        samples.push_back(RunTool(options, {"query", "HKCU\\Software\\Bench\\Big"}));
    return Median(samples);
}

double TimeToolOneValue(const Options& options, long siblings) {
    Sandbox sandbox(options.dir);
    std::string text = "REGEDIT4\r\n\r\n";
    for (long i = 0; i < siblings; ++i)
        text += "[HKEY_CURRENT_USER\\Software\\Sibling" + std::to_string(i) + "]\r\n\"v\"=\"" +
                std::to_string(i) + "\"\r\n\r\n";
    WriteText(sandbox.UserHive(), text);
    return RunTool(options,
                   {"query", "HKCU\\Software\\Sibling" + std::to_string(siblings / 2), "/v", "v"});
}

// The .reg files to import: about `bytes` long, in one of three shapes.
enum class Shape { Siblings, ShuffledSiblings, Values };

const char* ShapeName(Shape shape) {
    switch (shape) {
    case Shape::Siblings:
        return "sibling keys, in order";
    case Shape::ShuffledSiblings:
        return "sibling keys, shuffled";
    case Shape::Values:
        return "values of one key";
    }
    return "";
}

std::string ImportText(Shape shape, std::size_t bytes) {
    std::string text = "Windows Registry Editor Version 5.00\r\n\r\n";
    text.reserve(bytes + 256);
    if (shape == Shape::Values) {
        text += "[HKEY_CURRENT_USER\\Software\\Bench\\Values]\r\n";
        for (long i = 0; text.size() < bytes; ++i)
            AppendValueLine(text, ValueName(i), "text of value number " + std::to_string(i));
        return text;
    }
    std::vector<long> order;
    // Each section is about 60 bytes.
    for (long i = 0; i < static_cast<long>(bytes / 60); ++i)
        order.push_back(i);
    if (shape == Shape::ShuffledSiblings)
        std::shuffle(order.begin(), order.end(), std::mt19937(7));
    char name[32];
    for (long i : order) {
        std::snprintf(name, sizeof name, "Key%08ld", i);
        text += std::string("[HKEY_CURRENT_USER\\Software\\Bench\\") + name + "]\r\n\"v\"=\"" +
                std::to_string(i) + "\"\r\n\r\n";
    }
    return text;
}

struct ImportFigures {
    double wall = 0;
    double cpu = 0;
};

ImportFigures TimeImport(const Options& options, Shape shape, std::size_t bytes, double* again) {
    Sandbox sandbox(options.dir);
    const std::string file = sandbox.Root() + "/import.reg";
    WriteText(file, ImportText(shape, bytes));
    ImportFigures figures;
    figures.wall = RunTool(options, {"import", file}, &figures.cpu);
    if (again) {
        const FileState before = StateOf(sandbox.UserHive());
        *again = RunTool(options, {"import", file});
        if (!(StateOf(sandbox.UserHive()) == before))
            std::printf("    (importing the same file again rewrote the hive)\n");
    }
    return figures;
}

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

void StartUpFigures(const Options& options, const char* self) {
    Sandbox sandbox(options.dir);
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
        std::printf("  hive opened for reading %d times, renames %d, fsyncs %d\n",
                    CountLines(calls, ".reg\"", "O_RDONLY"), CountLines(calls, "rename"),
                    CountLines(calls, "fsync"));
    } else {
        StartUpSequence();
        std::printf("  (no strace: reads and renames not counted)\n");
    }
    const bool untouched = StateOf(sandbox.UserHive()) == before;
    std::printf("  user hive after start-up: %s\n",
                untouched ? "untouched (same inode and time)" : "REWRITTEN");
}

Options ParseArguments(int argc, char** argv) {
    Options options;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        auto next = [&]() -> std::string {
            if (i + 1 >= argc)
                Fail(arg + " needs a value");
            return argv[++i];
        };
        if (arg == "--dir") {
            options.dir = next();
        } else if (arg == "--reg") {
            options.reg = next();
        } else if (arg == "--sizes") {
            options.sizes.clear();
            std::stringstream list(next());
            std::string size;
            while (std::getline(list, size, ','))
                options.sizes.push_back(std::stol(size));
        } else if (arg == "--import-mb") {
            options.importMb = std::stol(next());
        } else if (arg == "--reps") {
            options.reps = std::stoi(next());
        } else if (arg == "--only") {
            options.only = next();
        } else if (arg == "--startup-child") {
            options.startupChild = true;
        } else {
            Fail("unknown argument " + arg);
        }
    }
    return options;
}

bool Wanted(const Options& options, const char* part) {
    return options.only.find(part) != std::string::npos;
}

} // namespace

int main(int argc, char** argv) {
    // Each figure shows as soon as it is known, also when the output goes to a file.
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    const Options options = ParseArguments(argc, argv);
    if (options.startupChild) {
        StartUpSequence();
        return 0;
    }
    std::printf("registry benchmark in %s, brisvane-reg %s\n", options.dir.c_str(),
                options.reg.c_str());

    if (Wanted(options, "write")) {
        std::printf("\nOne write and one query in a key of N values (median of %d)\n",
                    options.reps);
        for (long size : options.sizes)
            PrintWriteFigures(size, TimeWriteAndQuery(options, size));
        // The half and the full size take turns, so that a slow spell of a shared machine falls
        // on both; each figure is the median over the rounds.
        constexpr int kGrowthRounds = 5;
        const long largest = *std::max_element(options.sizes.begin(), options.sizes.end());
        std::vector<double> write[2], rest[2], firstQuery[2];
        for (int round = 0; round < kGrowthRounds; ++round) {
            for (int turn = 0; turn < 2; ++turn) {
                const int which = (round + turn) % 2;
                const WriteFigures figures =
                    TimeWriteAndQuery(options, which ? largest : largest / 2);
                write[which].push_back(figures.write);
                rest[which].push_back(std::max(1e-9, figures.write - figures.flush));
                firstQuery[which].push_back(figures.firstQuery);
            }
        }
        const auto growth = [](const std::vector<double>(&of)[2]) {
            return Median(of[1]) / Median(of[0]);
        };
        std::printf("  %ld values: write %s, write less flush %s, first query %s (medians of %d "
                    "rounds)\n",
                    largest, Ms(Median(write[1])).c_str(), Ms(Median(rest[1])).c_str(),
                    Ms(Median(firstQuery[1])).c_str(), kGrowthRounds);
        std::printf("  growth from %ld to %ld values: write %.2f, write less flush %.2f, "
                    "first query %.2f\n",
                    largest / 2, largest, growth(write), growth(rest), growth(firstQuery));
    }

    if (Wanted(options, "tool")) {
        std::printf("\nbrisvane-reg query (median of 3 runs)\n");
        const double values = TimeToolQuery(options, 1000, 0);
        const double values2 = TimeToolQuery(options, 2000, 0);
        const double subkeys = TimeToolQuery(options, 0, 1000);
        const double subkeys2 = TimeToolQuery(options, 0, 2000);
        std::printf("  key of 1000 values %s, of 2000 %s (growth %.2f)\n", Ms(values).c_str(),
                    Ms(values2).c_str(), values2 / values);
        std::printf("  key of 1000 subkeys %s, of 2000 %s (growth %.2f)\n", Ms(subkeys).c_str(),
                    Ms(subkeys2).c_str(), subkeys2 / subkeys);
        std::printf("  one value in a hive of 20000 sibling keys %s\n",
                    Ms(TimeToolOneValue(options, 20000)).c_str());
    }

    if (Wanted(options, "import")) {
        const std::size_t bytes = static_cast<std::size_t>(options.importMb) << 20;
        std::printf("\nbrisvane-reg import of a %ld MB file into an empty hive (median of 3)\n",
                    options.importMb);
        // The full and the half size take turns, so that a slow spell of a shared machine
        // falls on both.
        constexpr int kImportRounds = 3;
        for (Shape shape : {Shape::Siblings, Shape::ShuffledSiblings, Shape::Values}) {
            double again = 0;
            std::vector<double> full, fullCpu, half, halfCpu;
            for (int round = 0; round < kImportRounds; ++round) {
                const ImportFigures large =
                    TimeImport(options, shape, bytes, round == 0 ? &again : nullptr);
                const ImportFigures small = TimeImport(options, shape, bytes / 2, nullptr);
                full.push_back(large.wall);
                fullCpu.push_back(large.cpu);
                half.push_back(small.wall);
                halfCpu.push_back(small.cpu);
            }
            std::printf("  %-24s %7.3f s, CPU %.3f s (half the size %.3f s, CPU %.3f s; growth "
                        "%.2f, CPU %.2f); the same file again %.3f s\n",
                        ShapeName(shape), Median(full), Median(fullCpu), Median(half),
                        Median(halfCpu), Median(full) / Median(half),
                        Median(fullCpu) / Median(halfCpu), again);
        }
    }

    if (Wanted(options, "startup")) {
        std::printf("\nStart-up with every option ticked and stored\n");
        StartUpFigures(options, argv[0]);
    }
    return 0;
}
