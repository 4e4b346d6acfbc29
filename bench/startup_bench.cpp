// Times Brisvane's start-up against a plain Qt window, and against the same window showing one
// line of text: each a fresh process on the offscreen platform, from exec to the first moment its
// event loop would wait with the window shown. The rounds take turns so that a slow spell of a
// shared machine falls on all; it prints the median CPU (user + system, from the child's rusage)
// and wall time of each, and Brisvane's ratio to each with its range over the rounds.
//
//   startup_bench [--rounds 11] [--dir /tmp]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
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

struct Child {
    const char* name;
    std::string program;
    const char* argument; // or null
};

Sample RunChild(const Child& child) {
    const auto start = std::chrono::steady_clock::now();
    const pid_t pid = fork();
    if (pid < 0)
        Fail("fork failed");
    if (pid == 0) {
        // What Qt says on the offscreen platform ("does not support raise()") is no figure.
        const int quiet = open("/dev/null", O_WRONLY);
        if (quiet >= 0)
            dup2(quiet, STDERR_FILENO);
        execl(child.program.c_str(), child.program.c_str(), child.argument,
              static_cast<char*>(nullptr));
        _exit(127);
    }
    int status = 0;
    rusage usage{};
    if (wait4(pid, &status, 0, &usage) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
        Fail(std::string(child.name) + " did not start and end cleanly");
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
    const std::vector<Child> children{
        {"Brisvane", here + "/startup_child_brisvane", nullptr},
        {"plain window", here + "/startup_child_plain", nullptr},
        {"plain window with text", here + "/startup_child_plain", "--text"},
    };
    const std::string root = dir + "/brisvane-startup-" + std::to_string(getpid());
    PrepareHome(root);

    // One start of each first: the files they load are in the page cache for every round.
    for (const Child& child : children)
        RunChild(child);
    const std::size_t count = children.size();
    std::vector<std::vector<double>> cpu(count), wall(count), ratio(count);
    for (int round = 0; round < rounds; ++round) {
        std::vector<Sample> samples(count);
        for (std::size_t turn = 0; turn < count; ++turn) {
            const std::size_t which = (round + turn) % count;
            samples[which] = RunChild(children[which]);
            cpu[which].push_back(samples[which].cpu);
            wall[which].push_back(samples[which].wall);
        }
        for (std::size_t which = 1; which < count; ++which)
            ratio[which].push_back(samples[0].cpu / samples[which].cpu);
    }
    std::printf("start-up to the first idle, offscreen, median of %d rounds\n", rounds);
    for (std::size_t which = 0; which < count; ++which)
        std::printf("  %-24s %6.1f ms CPU, %6.1f ms wall\n", children[which].name,
                    Median(cpu[which]) * 1e3, Median(wall[which]) * 1e3);
    for (std::size_t which = 1; which < count; ++which) {
        const auto [low, high] = std::minmax_element(ratio[which].begin(), ratio[which].end());
        std::printf("  Brisvane / %s: CPU %.2f (per round %.2f to %.2f), wall %.2f\n",
                    children[which].name, Median(cpu[0]) / Median(cpu[which]), *low, *high,
                    Median(wall[0]) / Median(wall[which]));
    }
    return std::system(("rm -rf '" + root + "'").c_str()) == 0 ? 0 : 1;
}
