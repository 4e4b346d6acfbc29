// Times Brisvane's start-up against a plain Qt window: each a fresh process on the offscreen
// platform, from exec to the first moment its event loop would wait with the window shown. The
// rounds take turns so that a slow spell of a shared machine falls on both; it prints the median
// CPU (user + system, from the child's rusage) and wall time of each, their ratio and its range.
//
//   startup_bench [--rounds 11] [--dir /tmp]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

struct Sample {
    double cpu = 0;
    double wall = 0;
};

[[noreturn]] void Fail(const std::string& why) {
    std::fprintf(stderr, "startup_bench: %s\n", why.c_str());
    std::exit(1);
}

double Seconds(const timeval& time) {
    return static_cast<double>(time.tv_sec) + static_cast<double>(time.tv_usec) / 1e6;
}

Sample RunChild(const std::string& program) {
    const auto start = std::chrono::steady_clock::now();
    const pid_t pid = fork();
    if (pid < 0)
        Fail("fork failed");
    if (pid == 0) {
        execl(program.c_str(), program.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    int status = 0;
    rusage usage{};
    if (wait4(pid, &status, 0, &usage) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
        Fail(program + " did not start and end cleanly");
    const std::chrono::duration<double> wall = std::chrono::steady_clock::now() - start;
    return {Seconds(usage.ru_utime) + Seconds(usage.ru_stime), wall.count()};
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const std::size_t middle = values.size() / 2;
    return values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

// A home of its own with the options as a user who ticked everything has them stored, so that
// the start reads them and, unchanged, writes nothing.
void PrepareHome(const std::string& root) {
    const std::string config = root + "/config";
    const std::string brisvane = config + "/brisvane";
    const std::string runtime = root + "/runtime";
    for (const std::string& folder : {root, root + "/home", config, brisvane, runtime})
        mkdir(folder.c_str(), 0700);
    std::ofstream(brisvane + "/HKEY_CURRENT_USER.reg", std::ios::binary)
        << "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\Tessmark\\Brisvane\\Settings]\r\n"
           "\"Cookies\"=\"true\"\r\n\"URL References\"=\"true\"\r\n\"History\"=\"true\"\r\n"
           "\"Cache\"=\"true\"\r\n\"URL Registry\"=\"true\"\r\n\"URL Check\"=\"true\"\r\n"
           "\"Windows Start\"=\"false\"\r\n\r\n";
    setenv("HOME", (root + "/home").c_str(), 1);
    setenv("XDG_CONFIG_HOME", config.c_str(), 1);
    setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    unsetenv("WINE_PREFIXES");
    unsetenv("WINEPREFIX");
}

std::string Folder(const char* path) {
    const std::string text = path;
    const std::size_t slash = text.rfind('/');
    return slash == std::string::npos ? "." : text.substr(0, slash);
}

} // namespace

int main(int argc, char** argv) {
    int rounds = 11;
    std::string dir = "/tmp";
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--rounds") == 0)
            rounds = std::max(1, std::atoi(argv[i + 1]));
        else if (std::strcmp(argv[i], "--dir") == 0)
            dir = argv[i + 1];
        else
            Fail(std::string("unknown option ") + argv[i]);
    }
    const std::string here = Folder(argv[0]);
    const std::string brisvane = here + "/startup_child_brisvane";
    const std::string plain = here + "/startup_child_plain";
    const std::string root = dir + "/brisvane-startup-" + std::to_string(getpid());
    PrepareHome(root);

    // One start of each first: the files they load are in the page cache for every round.
    RunChild(brisvane);
    RunChild(plain);
    std::vector<double> cpu[2], wall[2], ratio;
    for (int round = 0; round < rounds; ++round) {
        Sample samples[2];
        for (int turn = 0; turn < 2; ++turn) {
            const int which = (round + turn) % 2;
            samples[which] = RunChild(which == 0 ? brisvane : plain);
            cpu[which].push_back(samples[which].cpu);
            wall[which].push_back(samples[which].wall);
        }
        ratio.push_back(samples[0].cpu / samples[1].cpu);
    }
    std::printf("start-up to the first idle, offscreen, median of %d rounds\n", rounds);
    std::printf("  Brisvane:     %.1f ms CPU, %.1f ms wall\n", Median(cpu[0]) * 1e3,
                Median(wall[0]) * 1e3);
    std::printf("  plain window: %.1f ms CPU, %.1f ms wall\n", Median(cpu[1]) * 1e3,
                Median(wall[1]) * 1e3);
    std::printf("  CPU ratio %.2f (medians), per round %.2f to %.2f; wall ratio %.2f\n",
                Median(cpu[0]) / Median(cpu[1]), *std::min_element(ratio.begin(), ratio.end()),
                *std::max_element(ratio.begin(), ratio.end()), Median(wall[0]) / Median(wall[1]));
    return std::system(("rm -rf '" + root + "'").c_str()) == 0 ? 0 : 1;
}
