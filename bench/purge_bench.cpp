// Times the folder purge on a synthetic browser profile against `find -delete` and `rm -rf`
// doing the same deletions on identical copies, on a memory file system (/dev/shm) and on the
// file system the benchmark was built on. For each it reports the median wall and CPU time of
// interleaved rounds and their ratios, the system calls per deleted file (counted in a full
// `strace -f` trace when strace is installed, its `-c` total beside), and how the purge grows when
// every count in the profile doubles. Beside them runs the floor: the least a purge keeping the
// same rules can do. It also compares the ways of reading a listed file's stored attributes.
// The purge runs as the program runs it and with its batched unlinks forced on and off, and
// each file system is reported with whether it discards freed blocks as it frees them.
#include "bench_support.h"
#include "cleaner/folder_purge.h"
#include "platform/posix/unlink_batching.h"
#include "platform/posix/unlink_ring.h"
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
#include <optional>
#include <random>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>
#include <vector>

// The attribute read relative to a folder descriptor (Linux 6.13); older headers lack it.
#ifndef SYS_getxattrat
#define SYS_getxattrat 464
#endif

namespace fs = std::filesystem;
using namespace bench;

namespace {

double Seconds(std::chrono::steady_clock::duration duration) {
    return std::chrono::duration<double>(duration).count();
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

// The purge three ways: as the program runs it (batching where the first unlinks on the file
// system show that it pays), and with batching forced on and off.
enum class Tool { Purge, PurgeBatched, PurgePlain, Find, Rm, Floor };
constexpr Tool kTools[] = {Tool::Purge, Tool::PurgeBatched, Tool::PurgePlain,
                           Tool::Find,  Tool::Rm,           Tool::Floor};
constexpr int kToolCount = 6;
constexpr const char* kToolNames[] = {"purge",        "purge batched", "purge plain",
                                      "find -delete", "rm -rf",        "floor"};
constexpr Tool kPurges[] = {Tool::Purge, Tool::PurgeBatched, Tool::PurgePlain};

const char* NameOf(Tool tool) {
    return kToolNames[static_cast<int>(tool)];
}

bool IsPurge(Tool tool) {
    return tool == Tool::Purge || tool == Tool::PurgeBatched || tool == Tool::PurgePlain;
}

void PurgeAs(Tool tool, const std::string& root) {
    using brisvane::platform::posix::UnlinkBatching;
    SetUnlinkBatching(tool == Tool::PurgeBatched ? UnlinkBatching::Always
                      : tool == Tool::PurgePlain ? UnlinkBatching::Never
                                                 : UnlinkBatching::Measured);
    Purge(root);
    SetUnlinkBatching(UnlinkBatching::Measured);
}

// The option that runs `tool` alone on a profile, for a system call tracer.
const char* OnlyOption(Tool tool) {
    switch (tool) {
    case Tool::PurgeBatched:
        return "--purge-batched-only";
    case Tool::PurgePlain:
        return "--purge-plain-only";
    case Tool::Floor:
        return "--floor-only";
    default:
        return "--purge-only";
    }
}

Run Timed(Tool tool, const std::string& root) {
    const bool inProcess = IsPurge(tool) || tool == Tool::Floor;
    const int who = inProcess ? RUSAGE_SELF : RUSAGE_CHILDREN;
    const double cpuBefore = CpuSeconds(who);
    const auto start = std::chrono::steady_clock::now();
    bool ok = true;
    if (IsPurge(tool))
        PurgeAs(tool, root);
    else if (tool == Tool::Floor)
        FloorPurge(root);
    else
        ok = RunProgram(tool == Tool::Find ? FindArguments(root) : RmArguments(root));
    const auto end = std::chrono::steady_clock::now();
    if (!ok)
        std::fprintf(stderr, "%s failed\n", NameOf(tool));
    return {Seconds(end - start), CpuSeconds(who) - cpuBefore};
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
        if (IsPurge(tool) || tool == Tool::Floor) {
            arguments.insert(arguments.end(), {SelfPath(), OnlyOption(tool), root});
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
            if (IsPurge(tool) && calls * 100 >= static_cast<long>(deleted))
                std::printf("    %-16s %.3f per file\n", name.c_str(), perFile(calls));
        }
        std::fflush(stdout);
    }
}

struct Figures {
    Medians base;
    Medians doubled;
};

void PrintRatios(const std::string& label, const Medians& medians) {
    for (const Tool purgeTool : kPurges) {
        const Run& purge = medians.of[static_cast<int>(purgeTool)];
        for (const Tool tool : {Tool::PurgePlain, Tool::Find, Tool::Rm, Tool::Floor}) {
            if (tool == purgeTool)
                continue;
            const Run& other = medians.of[static_cast<int>(tool)];
            std::printf("%s: %s %.3f s (cpu %.3f s), %s %.3f s (cpu %.3f s): wall ratio %.2f, "
                        "cpu ratio %.2f\n",
                        label.c_str(), NameOf(purgeTool), purge.wall, purge.cpu, NameOf(tool),
                        other.wall, other.cpu, purge.wall / other.wall, purge.cpu / other.cpu);
        }
    }
}

// Whether the file system holding `folder` discards as it frees, by its mount options, and
// what the purge's own timing of its first unlinks there chose.
void PrintDiscards(const std::string& folder) {
    const MountFacts mount = MountOf(folder);
    struct stat st {};
    const bool known = stat(folder.c_str(), &st) == 0;
    const std::optional<bool> batched =
        known ? brisvane::platform::posix::BatchingChosenFor(st.st_dev) : std::nullopt;
    const std::string refusal = brisvane::platform::posix::UnlinkRingRefusal();
    std::printf("file system %s, mounted %s; the purge's timing chose %s%s%s\n",
                mount.found ? mount.type.c_str() : "(mount not found)",
                mount.discards ? "with discard (freed blocks discarded synchronously)"
                               : "without discard",
                !batched   ? "nothing yet"
                : *batched ? "batched unlinks"
                           : "plain unlinks",
                refusal.empty() ? "" : "; no io_uring: ", refusal.c_str());
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
    PrintDiscards(workFolder);
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
    for (const Tool tool : kPurges) {
        if (argc == 3 && argv[1] == std::string(OnlyOption(tool))) {
            PurgeAs(tool, argv[2]);
            return 0;
        }
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
            // The purge changes the working folder: a relative name would soon name elsewhere.
            parents.push_back(fs::absolute(argv[++i]).string());
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
