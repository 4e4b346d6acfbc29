#include "bench_support.h"

#include <cstdint>
#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <functional>
#include <string>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <sys/xattr.h>
#include <unistd.h>
#include <utility>
#include <vector>

// The attribute read relative to a folder descriptor (Linux 6.13); older headers lack it.
#ifndef SYS_getxattrat
#define SYS_getxattrat 464
#endif

namespace fs = std::filesystem;

namespace bench {

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

} // namespace bench
