// Times the folder purge on a synthetic browser profile against `find -delete` doing the same
// deletions on an identical copy. With --double it also runs a profile of twice the size and
// reports how the purge time grows.
#include "cleaner/folder_purge.h"
#include "platform/win32.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <random>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace {

struct ProfileSize {
    int cacheFolders = 64;
    int filesPerCacheFolder = 1500;
    int looseCacheFiles = 20000;
    int historyFolders = 60;
    int filesPerHistoryFolder = 50;
    int cookies = 20000;
};

// Twice the entries in every part. History keeps 60 folders (the install folder has room for
// 100 parked ones) and doubles the files in each instead.
ProfileSize Doubled(ProfileSize size) {
    size.cacheFolders *= 2;
    size.looseCacheFiles *= 2;
    size.filesPerHistoryFolder *= 2;
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
// walks' skipped entry holds nothing the find run would delete.
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

double RunPurge(const std::string& root) {
    const std::string cookies = root + "/Cookies";
    const std::string history = root + "/History";
    const std::string cache = root + "/Cache";
    const std::string install = root + "/Install";
    const auto start = std::chrono::steady_clock::now();
    if (SetCurrentDirectoryA(cookies.c_str()))
        PurgeFiles();
    if (SetCurrentDirectoryA(history.c_str())) {
        DropDesktopIni();
        PurgeFiles();
        ParkSubfolders(install);
    }
    if (SetCurrentDirectoryA(cache.c_str()))
        EmptySubfolders();
    PurgeParkedFolders(install);
    const auto end = std::chrono::steady_clock::now();
    SetCurrentDirectoryA("/");
    return Seconds(end - start);
}

double RunFind(const std::string& root) {
    const std::vector<std::string> arguments{
        "find", root + "/Cookies", root + "/History", root + "/Cache", "-mindepth", "1", "-delete"};
    std::vector<char*> argv;
    for (const std::string& argument : arguments)
        argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    const auto start = std::chrono::steady_clock::now();
    const pid_t child = fork();
    if (child == 0) {
        execvp("find", argv.data());
        _exit(127);
    }
    int status = 0;
    waitpid(child, &status, 0);
    const auto end = std::chrono::steady_clock::now();
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        std::fprintf(stderr, "find failed\n");
    return Seconds(end - start);
}

std::size_t CountEntries(const std::string& root) {
    std::size_t count = 0;
    for (auto it = fs::recursive_directory_iterator(root); it != fs::recursive_directory_iterator();
         ++it)
        ++count;
    return count;
}

struct Timing {
    Run purge;
    Run find;
};

Run TimedPurge(const std::string& root) {
    const double before = CpuSeconds(RUSAGE_SELF);
    const double wall = RunPurge(root);
    return {wall, CpuSeconds(RUSAGE_SELF) - before};
}

Run TimedFind(const std::string& root) {
    const double before = CpuSeconds(RUSAGE_CHILDREN);
    const double wall = RunFind(root);
    return {wall, CpuSeconds(RUSAGE_CHILDREN) - before};
}

Run Median(std::vector<Run> runs) {
    std::vector<double> walls;
    std::vector<double> cpus;
    for (const Run& run : runs) {
        walls.push_back(run.wall);
        cpus.push_back(run.cpu);
    }
    std::sort(walls.begin(), walls.end());
    std::sort(cpus.begin(), cpus.end());
    return {walls[walls.size() / 2], cpus[cpus.size() / 2]};
}

// Each round builds two identical profiles and times both deletions, taking turns at going
// first, so that write-back left over from one run does not always fall on the same side.
Timing Measure(const std::string& workFolder, const ProfileSize& size, const char* label,
               int rounds) {
    std::vector<Run> purgeTimes;
    std::vector<Run> findTimes;
    for (int round = 0; round < rounds; ++round) {
        const std::string purgeRoot = workFolder + "/purge";
        const std::string findRoot = workFolder + "/find";
        MakeProfile(purgeRoot, size, 7);
        MakeProfile(findRoot, size, 7);
        const std::size_t entries = CountEntries(purgeRoot);
        sync();
        const bool purgeFirst = round % 2 == 0;
        if (purgeFirst)
            purgeTimes.push_back(TimedPurge(purgeRoot));
        else
            findTimes.push_back(TimedFind(findRoot));
        sync();
        if (purgeFirst)
            findTimes.push_back(TimedFind(findRoot));
        else
            purgeTimes.push_back(TimedPurge(purgeRoot));
        sync();
        std::printf("%s round %d: %zu entries; purge %.3f s (cpu %.3f s), find -delete %.3f s "
                    "(cpu %.3f s); entries left %zu / %zu\n",
                    label, round + 1, entries, purgeTimes.back().wall, purgeTimes.back().cpu,
                    findTimes.back().wall, findTimes.back().cpu, CountEntries(purgeRoot),
                    CountEntries(findRoot));
        std::fflush(stdout);
        fs::remove_all(purgeRoot);
        fs::remove_all(findRoot);
    }
    Timing timing{Median(purgeTimes), Median(findTimes)};
    std::printf("%s median purge: %.3f s (cpu %.3f s)\n", label, timing.purge.wall,
                timing.purge.cpu);
    std::printf("%s median find -delete: %.3f s (cpu %.3f s)\n", label, timing.find.wall,
                timing.find.cpu);
    return timing;
}

} // namespace

int main(int argc, char** argv) {
    bool doubled = false;
    // --in /dev/shm measures on a memory file system, out of reach of other disk traffic.
    std::string parent = fs::temp_directory_path().string();
    int rounds = 3;
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        if (argument == "--double")
            doubled = true;
        else if (argument == "--in" && i + 1 < argc)
            parent = argv[++i];
        else if (argument == "--rounds" && i + 1 < argc)
            rounds = std::max(1, std::atoi(argv[++i]));
        else {
            std::fprintf(stderr, "usage: purge_bench [--double] [--rounds N] [--in FOLDER]\n");
            return 2;
        }
    }
    std::string pattern = parent + "/brisvane-bench-XXXXXX";
    if (!mkdtemp(pattern.data())) {
        std::perror("mkdtemp");
        return 1;
    }
    const std::string workFolder = pattern;

    const Timing base = Measure(workFolder, ProfileSize{}, "base", rounds);
    Timing twice;
    if (doubled)
        twice = Measure(workFolder, Doubled(ProfileSize{}), "double", rounds);
    fs::remove_all(workFolder);

    std::printf("cpu purge/find ratio: %.2f\n", base.purge.cpu / base.find.cpu);
    if (doubled) {
        std::printf("double purge/find ratio: %.2f\n", twice.purge.wall / twice.find.wall);
        std::printf("cpu growth: %.2f\n", twice.purge.cpu / base.purge.cpu);
    }
    std::printf("purge/find ratio: %.2f\n", base.purge.wall / base.find.wall);
    if (doubled)
        std::printf("growth: %.2f\n", twice.purge.wall / base.purge.wall);
    return 0;
}
