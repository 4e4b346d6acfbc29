// What the registry benchmark's parts share: timing figures, failing, a fresh configuration
// folder, writing a file and telling two versions of a file apart.
#pragma once

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace bench {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

inline double Seconds(Clock::time_point from) {
    return std::chrono::duration<double>(Clock::now() - from).count();
}

inline double Median(std::vector<double> samples) {
    std::sort(samples.begin(), samples.end());
    return samples.empty() ? 0 : samples[samples.size() / 2];
}

inline std::string Ms(double seconds) {
    char text[32];
    std::snprintf(text, sizeof text, "%.3f ms", seconds * 1000);
    return text;
}

[[noreturn]] inline void Fail(const std::string& what) {
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

inline void WriteText(const std::string& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
    if (!out)
        Fail("cannot write " + path);
}

struct FileState {
    ino_t inode = 0;
    timespec modified{};
    bool operator==(const FileState& other) const {
        return inode == other.inode && modified.tv_sec == other.modified.tv_sec &&
               modified.tv_nsec == other.modified.tv_nsec;
    }
};

inline FileState StateOf(const std::string& path) {
    struct stat info {};
    stat(path.c_str(), &info);
    return {info.st_ino, info.st_mtim};
}

} // namespace bench
