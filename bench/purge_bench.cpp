// Times the folder purge on a synthetic browser profile against `find -delete` and `rm -rf`
// doing the same deletions on identical copies, on a memory file system (/dev/shm) and on the
// file system the benchmark was built on. For each it reports the median wall and CPU time of
// interleaved rounds and their ratios, the system calls per deleted file (counted in a full
// `strace -f` trace when strace is installed, its `-c` total beside), and how the purge grows when
// every count in the profile doubles. Beside them runs the floor: the least a purge keeping the
// same rules can do. It also compares the ways of reading a listed file's stored attributes.
#include "cleaner/folder_purge.h"
#include "platform/win32.h"

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <random>
#include <sstream>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <unistd.h>
#include <vector>

// The attribute read relative to a folder descriptor (Linux 6.13); older headers lack it.
#ifndef SYS_getxattrat
#define SYS_getxattrat 464
#endif

namespace fs = std::filesystem;

namespace {

struct ProfileSize {
    int cacheFolders = 64;
    int filesPerCacheFolder = 1500;
    int looseCacheFiles = 20000;
    int historyFolders = 40;
    int filesPerHistoryFolder = 50;
    int cookies = 20000;
};

// Twice the entries of every kind, so twice the work: twice the cookies, loose cache files,
// cache folders and History folders, each folder as full as before. The install folder has
// room for 100 parked History folders, so the base profile holds 40 of them.
ProfileSize Doubled(ProfileSize size) {
    size.cacheFolders *= 2;
    size.looseCacheFiles *= 2;
    size.historyFolders *= 2;
    size.cookies *= 2;
    return size;
}

void MakeFile(const std::string& path) {
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0) {
        std::perror(path.c_str());
        std::exit(1);
    }
    static const char content[] = "<html><body>cached page of a synthetic profile</body></html>\n";
    if (write(fd, content, sizeof content - 1) < 0)
        std::perror(path.c_str());
    close(fd);
}

std::string RandomName(std::mt19937& random, const char* alphabet, int length) {
    const std::string letters = alphabet;
    std::string name;
    for (int i = 0; i < length; ++i)
        name += letters[random() % letters.size()];
    return name;
}

// Cookies, History (with desktop.ini) and an IE cache whose own files mix with its folders in
// the listing; the first entry of the cache and of the install folder is a file, so that the
// walks' skipped entry holds nothing the other tools would delete.
void MakeProfile(const std::string& root, const ProfileSize& size, unsigned seed) {
    std::mt19937 random(seed);
    fs::create_directories(root + "/Cookies");
    fs::create_directories(root + "/History");
    fs::create_directories(root + "/Cache");
    fs::create_directories(root + "/Install");
    MakeFile(root + "/Install/!brisvane.txt");

    for (int i = 0; i < size.cookies; ++i)
        MakeFile(root + "/Cookies/user@site" + std::to_string(i) + ".txt");

    MakeFile(root + "/History/desktop.ini");
    for (int f = 0; f < size.historyFolders; ++f) {
        const std::string folder = root + "/History/MSHist" + std::to_string(1000 + f);
        fs::create_directory(folder);
        for (int i = 0; i < size.filesPerHistoryFolder; ++i)
            MakeFile(folder + "/entry" + std::to_string(i) + ".url");
    }

    const std::string cache = root + "/Cache";
    MakeFile(cache + "/!first.dat");
    MakeFile(cache + "/desktop.ini");
    for (int f = 0; f < size.cacheFolders; ++f) {
        const std::string folder = cache + "/" +
                                   RandomName(random, "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789", 8) +
                                   std::to_string(f);
        fs::create_directory(folder);
        for (int i = 0; i < size.filesPerCacheFolder; ++i)
            MakeFile(folder + "/page" + std::to_string(i) + "[1].htm");
    }
    for (int i = 0; i < size.looseCacheFiles; ++i)
        MakeFile(cache + "/" + RandomName(random, "abcdefghijklmnopqrstuvwxyz", 6) +
                 std::to_string(i) + ".gif");
}

// The folders the other tools clear: what the purge clears, "!" files and all.
std::vector<std::string> ClearedFolders(const std::string& root) {
    return {root + "/Cookies", root + "/History", root + "/Cache"};
}

double Seconds(std::chrono::steady_clock::duration duration) {
    return std::chrono::duration<double>(duration).count();
}

double CpuSeconds(int who) {
    rusage usage{};
    getrusage(who, &usage);
    const auto seconds = [](const timeval& t) { return t.tv_sec + t.tv_usec / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

struct Run {
    double wall = 0;
    double cpu = 0; // user and system time: the work done, whatever else uses the disk
};

void Purge(const std::string& root) {
    if (SetCurrentDirectoryA((root + "/Cookies").c_str()))
        PurgeFiles();
    if (SetCurrentDirectoryA((root + "/History").c_str())) {
        DropDesktopIni();
        PurgeFiles();
        ParkSubfolders(root + "/Install");
    }
    if (SetCurrentDirectoryA((root + "/Cache").c_str()))
        EmptySubfolders();
    PurgeParkedFolders(root + "/Install");
    SetCurrentDirectoryA("/");
}

// The least any purge that keeps the rules can do, for scale: per file one lstat, one read of
// the stored attributes and one unlink, each relative to the listed folder; folders one level
// down are emptied and removed. No skip counts, no desktop.ini, no parking.
void FloorPurgeFolder(int parent, const char* name, int depth) {
    const int folder = openat(parent, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (folder < 0)
        return;
    DIR* listing = fdopendir(folder);
    while (const dirent* entry = readdir(listing)) {
        if (std::strcmp(entry->d_name, ".") == 0 || std::strcmp(entry->d_name, "..") == 0)
            continue;
        if (entry->d_type == DT_DIR) {
            if (depth == 0) {
                FloorPurgeFolder(folder, entry->d_name, depth + 1);
                unlinkat(folder, entry->d_name, AT_REMOVEDIR);
            }
            continue;
        }
        struct stat st;
        if (fstatat(folder, entry->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0)
            continue;
        char buffer[256];
        struct {
            std::uint64_t value;
            std::uint32_t size;
            std::uint32_t flags;
        } args{reinterpret_cast<std::uintptr_t>(buffer), sizeof buffer, 0};
        const long stored = syscall(SYS_getxattrat, folder, entry->d_name, AT_SYMLINK_NOFOLLOW,
                                    "user.DOSATTRIB", &args, sizeof args);
        if ((st.st_mode & S_IWUSR) && (stored < 0 || std::strncmp(buffer, "0x0", 3) == 0))
            unlinkat(folder, entry->d_name, 0);
    }
    closedir(listing);
}

void FloorPurge(const std::string& root) {
    for (const std::string& folder : {root + "/Cookies", root + "/History", root + "/Cache"})
        FloorPurgeFolder(AT_FDCWD, folder.c_str(), 0);
}

// Runs a program and waits for it; false when it did not end well.
bool RunProgram(const std::vector<std::string>& arguments) {
    std::vector<char*> argv;
    for (const std::string& argument : arguments)
        argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    const pid_t child = fork();
    if (child == 0) {
        execvp(argv[0], argv.data());
        _exit(127);
    }
    int status = 0;
    waitpid(child, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

std::vector<std::string> FindArguments(const std::string& root) {
    std::vector<std::string> arguments{"find"};
    for (const std::string& folder : ClearedFolders(root))
        arguments.push_back(folder);
    arguments.insert(arguments.end(), {"-mindepth", "1", "-delete"});
    return arguments;
}

std::vector<std::string> RmArguments(const std::string& root) {
    std::vector<std::string> arguments{"rm", "-rf"};
    for (const std::string& folder : ClearedFolders(root))
        arguments.push_back(folder);
    return arguments;
}

enum class Tool { Purge, Find, Rm, Floor };
constexpr Tool kTools[] = {Tool::Purge, Tool::Find, Tool::Rm, Tool::Floor};
constexpr int kToolCount = 4;
constexpr const char* kToolNames[] = {"purge", "find -delete", "rm -rf", "floor"};

const char* NameOf(Tool tool) {
    return kToolNames[static_cast<int>(tool)];
}

Run Timed(Tool tool, const std::string& root) {
    const bool inProcess = tool == Tool::Purge || tool == Tool::Floor;
    const int who = inProcess ? RUSAGE_SELF : RUSAGE_CHILDREN;
    const double cpuBefore = CpuSeconds(who);
    const auto start = std::chrono::steady_clock::now();
    bool ok = true;
    if (tool == Tool::Purge)
        Purge(root);
    else if (tool == Tool::Floor)
        FloorPurge(root);
    else
        ok = RunProgram(tool == Tool::Find ? FindArguments(root) : RmArguments(root));
    const auto end = std::chrono::steady_clock::now();
    if (!ok)
        std::fprintf(stderr, "%s failed\n", NameOf(tool));
    return {Seconds(end - start), CpuSeconds(who) - cpuBefore};
}

struct Count {
    std::size_t files = 0;
    std::size_t folders = 0;
};

Count CountEntries(const std::string& root) {
    Count count;
    std::error_code error;
    for (auto it = fs::recursive_directory_iterator(root, error);
         it != fs::recursive_directory_iterator(); it.increment(error)) {
        if (it->is_directory(error) && !it->is_symlink(error))
            ++count.folders;
        else
            ++count.files;
    }
    return count;
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

struct Medians {
    Run of[kToolCount];
};

// The order of the tools in a round: each goes first in turn, the others follow in an order
// drawn afresh, so that no tool always follows the same one. What a file system leaves to do
// after one run (journal, write-back, discards) is partly done, and paid for, by the next.
std::vector<int> RoundOrder(int round) {
    std::vector<int> order;
    for (int turn = 0; turn < kToolCount; ++turn)
        order.push_back((round + turn) % kToolCount);
    std::shuffle(order.begin() + 1, order.end(), std::mt19937(static_cast<unsigned>(round)));
    return order;
}

// Each round builds one profile per tool and times each deletion. The profiles are built in
// the order they are deleted in: the profile built first costs more to delete, wherever it
// lies, and that cost must go round with the rest.
Medians Measure(const std::string& workFolder, const ProfileSize& size, const std::string& label,
                int rounds) {
    std::vector<double> walls[kToolCount];
    std::vector<double> cpus[kToolCount];
    for (int round = 0; round < rounds; ++round) {
        const std::vector<int> order = RoundOrder(round);
        std::string roots[kToolCount];
        for (const int at : order) {
            roots[at] = workFolder + "/" + std::to_string(at);
            MakeProfile(roots[at], size, 7);
        }
        const Count before = CountEntries(roots[0]);
        std::printf("%s round %d: %zu files, %zu folders;", label.c_str(), round + 1, before.files,
                    before.folders);
        for (const int at : order) {
            sync();
            const Run run = Timed(kTools[at], roots[at]);
            walls[at].push_back(run.wall);
            cpus[at].push_back(run.cpu);
        }
        sync();
        for (const Tool tool : kTools) {
            const int at = static_cast<int>(tool);
            std::printf(" %s %.3f s (cpu %.3f s)", NameOf(tool), walls[at].back(), cpus[at].back());
        }
        std::printf("; purge left %zu files\n", CountEntries(roots[0]).files);
        std::fflush(stdout);
        for (const std::string& root : roots)
            fs::remove_all(root);
    }
    Medians medians;
    for (int at = 0; at < kToolCount; ++at)
        medians.of[at] = {Median(walls[at]), Median(cpus[at])};
    return medians;
}

// What `strace -f -C` wrote: every call traced, and its own summary table.
struct TraceCounts {
    long traced = 0;        // calls in the trace, whatever their name
    long summaryTotal = -1; // the summary's total, which leaves out calls strace has no name for
    std::map<std::string, long> byName;
};

std::vector<std::string> Words(const std::string& line) {
    std::istringstream fields(line);
    std::vector<std::string> words;
    for (std::string word; fields >> word;)
        words.push_back(word);
    return words;
}

TraceCounts ReadTrace(const std::string& traceFile) {
    TraceCounts counts;
    std::ifstream in(traceFile);
    std::string line;
    bool inSummary = false;
    while (std::getline(in, line)) {
        if (line.rfind("% time", 0) == 0)
            inSummary = true;
        if (inSummary) {
            const std::vector<std::string> words = Words(line);
            if (words.size() >= 5 && words.back() == "total")
                counts.summaryTotal = std::atol(words[3].c_str());
            continue;
        }
        // "PID name(arguments) = result"; a call cut in two by another process's call is
        // counted at its start, not again where it resumes.
        std::size_t at = line.find_first_not_of("0123456789 ");
        if (at == std::string::npos || line.compare(at, 3, "<..") == 0 ||
            line.compare(at, 3, "+++") == 0 || line.compare(at, 3, "---") == 0)
            continue;
        const std::size_t open = line.find('(', at);
        if (open == std::string::npos)
            continue;
        ++counts.traced;
        ++counts.byName[line.substr(at, open - at)];
    }
    return counts;
}

bool HaveStrace() {
    return RunProgram({"sh", "-c", "command -v strace >/dev/null"});
}

std::string SelfPath() {
    std::error_code error;
    return fs::read_symlink("/proc/self/exe", error).string();
}

// System calls per deleted file for each tool, on a fresh profile each. Every traced call is
// counted: the summary of `strace -c` leaves out calls that strace has no name for (getxattrat
// to an strace older than the kernel), so its total is shown beside.
void CountCalls(const std::string& workFolder, const ProfileSize& size, const std::string& label) {
    for (const Tool tool : kTools) {
        const std::string root = workFolder + "/strace";
        MakeProfile(root, size, 7);
        const std::size_t filesBefore = CountEntries(root).files;
        const std::string trace = workFolder + "/strace.txt";
        std::vector<std::string> arguments{"strace", "-f", "-C", "-qq", "-o", trace, "--"};
        if (tool == Tool::Purge || tool == Tool::Floor) {
            arguments.insert(
                arguments.end(),
                {SelfPath(), tool == Tool::Purge ? "--purge-only" : "--floor-only", root});
        } else {
            const auto command = tool == Tool::Find ? FindArguments(root) : RmArguments(root);
            arguments.insert(arguments.end(), command.begin(), command.end());
        }
        if (!RunProgram(arguments))
            std::fprintf(stderr, "strace of %s failed\n", NameOf(tool));
        const std::size_t deleted = filesBefore - CountEntries(root).files;
        fs::remove_all(root);
        const TraceCounts counts = ReadTrace(trace);
        fs::remove(trace);
        const auto perFile = [&](long calls) {
            return deleted ? static_cast<double>(calls) / static_cast<double>(deleted) : 0.0;
        };
        std::printf("%s %s: %ld system calls for %zu deleted files: %.3f per file "
                    "(strace -c total %ld: %.3f)\n",
                    label.c_str(), NameOf(tool), counts.traced, deleted, perFile(counts.traced),
                    counts.summaryTotal, perFile(counts.summaryTotal));
        for (const auto& [name, calls] : counts.byName) {
            if (tool == Tool::Purge && calls * 100 >= static_cast<long>(deleted))
                std::printf("    %-16s %.3f per file\n", name.c_str(), perFile(calls));
        }
        std::fflush(stdout);
    }
}

// How much one read of a listed file's stored attributes costs, each way it can be read
// without following a link: relative to the folder's descriptor (getxattrat, where the kernel
// has it), through the folder's descriptor in /proc, by opening the file, and by full path.
void CompareAttributeReads(const std::string& workFolder) {
    constexpr int kFiles = 20000;
    const std::string folder = workFolder + "/a/b/c/d/attributes";
    fs::create_directories(folder);
    std::vector<std::string> names;
    for (int i = 0; i < kFiles; ++i) {
        names.push_back("page" + std::to_string(i) + "[1].htm");
        MakeFile(folder + "/" + names.back());
    }
    const int held = open(folder.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    const std::string proc = "/proc/self/fd/" + std::to_string(held) + "/";
    char buffer[256];
    struct XattrArgs {
        std::uint64_t value;
        std::uint32_t size;
        std::uint32_t flags;
    };
    const std::vector<std::pair<const char*, std::function<void(const std::string&)>>> ways{
        {"getxattrat on the folder",
         [&](const std::string& name) {
             XattrArgs args{reinterpret_cast<std::uintptr_t>(buffer), sizeof buffer, 0};
             syscall(SYS_getxattrat, held, name.c_str(), AT_SYMLINK_NOFOLLOW, "user.DOSATTRIB",
                     &args, sizeof args);
         }},
        {"lgetxattr /proc/self/fd/N/name",
         [&](const std::string& name) {
             lgetxattr((proc + name).c_str(), "user.DOSATTRIB", buffer, sizeof buffer);
         }},
        {"openat + fgetxattr + close",
         [&](const std::string& name) {
             const int fd = openat(held, name.c_str(),
                                   O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
             fgetxattr(fd, "user.DOSATTRIB", buffer, sizeof buffer);
             close(fd);
         }},
        {"lgetxattr by full path",
         [&](const std::string& name) {
             lgetxattr((folder + "/" + name).c_str(), "user.DOSATTRIB", buffer, sizeof buffer);
         }},
    };
    std::printf("attribute read, cpu per file (median of 5 passes over %d files):\n", kFiles);
    for (const auto& [label, read] : ways) {
        std::vector<double> passes;
        for (int pass = 0; pass < 5; ++pass) {
            const double before = CpuSeconds(RUSAGE_SELF);
            for (const std::string& name : names)
                read(name);
            passes.push_back(CpuSeconds(RUSAGE_SELF) - before);
        }
        std::printf("  %-32s %.3f us\n", label, Median(passes) / kFiles * 1e6);
    }
    close(held);
    fs::remove_all(workFolder + "/a");
}

struct Figures {
    Medians base;
    Medians doubled;
};

void PrintRatios(const std::string& label, const Medians& medians) {
    const Run& purge = medians.of[0];
    for (const Tool tool : {Tool::Find, Tool::Rm, Tool::Floor}) {
        const Run& other = medians.of[static_cast<int>(tool)];
        std::printf("%s: purge %.3f s (cpu %.3f s), %s %.3f s (cpu %.3f s): wall ratio %.2f, "
                    "cpu ratio %.2f\n",
                    label.c_str(), purge.wall, purge.cpu, NameOf(tool), other.wall, other.cpu,
                    purge.wall / other.wall, purge.cpu / other.cpu);
    }
}

void MeasureIn(const std::string& parent, int rounds, bool doubled, bool countCalls) {
    std::string pattern = parent + "/brisvane-bench-XXXXXX";
    if (!mkdtemp(pattern.data())) {
        std::perror(parent.c_str());
        return;
    }
    const std::string workFolder = pattern;
    std::printf("== %s\n", parent.c_str());
    CompareAttributeReads(workFolder);
    if (countCalls) {
        CountCalls(workFolder, ProfileSize{}, "base");
        if (doubled)
            CountCalls(workFolder, Doubled(ProfileSize{}), "double");
    }
    Figures figures;
    figures.base = Measure(workFolder, ProfileSize{}, "base", rounds);
    if (doubled)
        figures.doubled = Measure(workFolder, Doubled(ProfileSize{}), "double", rounds);
    fs::remove_all(workFolder);

    std::printf("-- %s, medians of %d interleaved rounds\n", parent.c_str(), rounds);
    PrintRatios("base", figures.base);
    if (doubled) {
        PrintRatios("double", figures.doubled);
        // The others' growth beside, since the file system's own cost per file may grow too.
        for (const Tool tool : kTools) {
            const Run& small = figures.base.of[static_cast<int>(tool)];
            const Run& large = figures.doubled.of[static_cast<int>(tool)];
            std::printf("%s growth when every count doubles: wall %.2f, cpu %.2f\n", NameOf(tool),
                        large.wall / small.wall, large.cpu / small.cpu);
        }
    }
    std::fflush(stdout);
}

// The file system the benchmark was built on: the folder it runs from.
std::string BuildFolder() {
    const std::string self = SelfPath();
    return self.empty() ? fs::current_path().string() : fs::path(self).parent_path().string();
}

} // namespace

int main(int argc, char** argv) {
    // One step alone, for a profiler or a system call tracer.
    if (argc == 3 && std::string(argv[1]) == "--purge-only") {
        Purge(argv[2]);
        return 0;
    }
    if (argc == 3 && std::string(argv[1]) == "--floor-only") {
        FloorPurge(argv[2]);
        return 0;
    }
    if (argc == 3 && std::string(argv[1]) == "--make-only") {
        MakeProfile(argv[2], ProfileSize{}, 7);
        return 0;
    }
    bool doubled = true;
    bool countCalls = true;
    std::vector<std::string> parents;
    // Each tool goes first in as many rounds as every other.
    int rounds = 8;
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        if (argument == "--no-double")
            doubled = false;
        else if (argument == "--no-strace")
            countCalls = false;
        else if (argument == "--in" && i + 1 < argc)
            parents.push_back(argv[++i]);
        else if (argument == "--rounds" && i + 1 < argc)
            rounds = std::max(1, std::atoi(argv[++i]));
        else {
            std::fprintf(stderr, "usage: purge_bench [--no-double] [--no-strace] [--rounds N] "
                                 "[--in FOLDER]...\n"
                                 "  by default in /dev/shm and in the build folder, 8 rounds\n");
            return 2;
        }
    }
    if (parents.empty()) {
        if (fs::is_directory("/dev/shm"))
            parents.push_back("/dev/shm");
        parents.push_back(BuildFolder());
    }
    if (countCalls && !HaveStrace()) {
        std::printf("strace is not installed: no system calls counted\n");
        countCalls = false;
    }
    for (const std::string& parent : parents)
        MeasureIn(parent, rounds, doubled, countCalls);
    return 0;
}
