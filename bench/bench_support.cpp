#include "bench_support.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace bench {

namespace {

std::string RandomName(std::mt19937& random, const char* alphabet, int length) {
    const std::string letters = alphabet;
    std::string name;
    for (int i = 0; i < length; ++i)
        name += letters[random() % letters.size()];
    return name;
}

std::vector<std::string> Words(const std::string& line) {
    std::istringstream fields(line);
    std::vector<std::string> words;
    for (std::string word; fields >> word;)
        words.push_back(word);
    return words;
}

} // namespace

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

double CpuSeconds(int who) {
    rusage usage{};
    getrusage(who, &usage);
    const auto seconds = [](const timeval& t) { return t.tv_sec + t.tv_usec / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

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

MountFacts MountOf(const std::string& folder) {
    struct stat st {};
    MountFacts facts;
    if (stat(folder.c_str(), &st) != 0)
        return facts;
    // "ID parent major:minor root mount-point options [optional...] - type source super-options"
    std::ifstream in("/proc/self/mountinfo");
    std::string best;
    for (std::string line; std::getline(in, line);) {
        const std::vector<std::string> words = Words(line);
        const auto dash = std::find(words.begin(), words.end(), "-");
        if (words.size() < 6 || dash == words.end() || words.end() - dash < 4)
            continue;
        const std::string device =
            std::to_string(major(st.st_dev)) + ":" + std::to_string(minor(st.st_dev));
        const std::string& mountPoint = words[4];
        // The longest mount point of the device that holds the folder: the mount it lies on.
        if (words[2] != device || folder.rfind(mountPoint, 0) != 0 ||
            mountPoint.size() < best.size())
            continue;
        best = mountPoint;
        facts.found = true;
        facts.type = dash[1];
        const std::string options = "," + dash[3] + "," + words[5] + ",";
        facts.discards = options.find(",discard,") != std::string::npos;
    }
    return facts;
}

} // namespace bench
