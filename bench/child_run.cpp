// Child processes for the benchmarks (child_run.h).
#include "child_run.h"

#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <malloc.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace bench {

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(const timeval& time) {
    return static_cast<double>(time.tv_sec) + static_cast<double>(time.tv_usec) / 1e6;
}

// What the middle child sends back about the command it ran.
struct Report {
    double cpu;
    long peakKiB;
    int status;
};

bool ReadWhole(int fd, void* into, std::size_t size) {
    auto* bytes = static_cast<char*>(into);
    std::size_t done = 0;
    while (done < size) {
        const ssize_t got = read(fd, bytes + done, size - done);
        if (got <= 0)
            return false;
        done += static_cast<std::size_t>(got);
    }
    return true;
}

// In the middle child: runs the command, waits for it and tells what it alone used.
Report CommandReport(const std::string& program, const std::vector<std::string>& args) {
    // The command's peak counts the pages it had before its exec, a copy of ours: the heap the
    // benchmark let go of is handed back first.
    malloc_trim(0);
    const pid_t pid = fork();
    if (pid == 0) {
        const int null = open("/dev/null", O_WRONLY);
        dup2(null, 1);
        std::vector<char*> argv{const_cast<char*>(program.c_str())};
        for (const std::string& arg : args)
            argv.push_back(const_cast<char*>(arg.c_str()));
        argv.push_back(nullptr);
        execv(argv[0], argv.data());
        _exit(127);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    rusage usage{};
    getrusage(RUSAGE_CHILDREN, &usage);
    return {Seconds(usage.ru_utime) + Seconds(usage.ru_stime), usage.ru_maxrss, status};
}

} // namespace

ChildRun RunInChild(const std::function<void(void* result)>& work, void* result,
                    std::size_t resultSize) {
    ChildRun run;
    int pipeEnds[2];
    if (pipe(pipeEnds) != 0)
        return run;
    const auto start = Clock::now();
    const pid_t pid = fork();
    if (pid == 0) {
        close(pipeEnds[0]);
        std::vector<char> bytes(resultSize);
        work(bytes.data());
        const bool sent =
            write(pipeEnds[1], bytes.data(), resultSize) == static_cast<ssize_t>(resultSize);
        _exit(sent ? 0 : 1);
    }
    close(pipeEnds[1]);
    const bool got = ReadWhole(pipeEnds[0], result, resultSize);
    close(pipeEnds[0]);
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    run.wall = std::chrono::duration<double>(Clock::now() - start).count();
    run.cpu = Seconds(usage.ru_utime) + Seconds(usage.ru_stime);
    run.peakKiB = usage.ru_maxrss;
    run.succeeded = got && WIFEXITED(status) && WEXITSTATUS(status) == 0;
    return run;
}

ChildRun RunCommand(const std::string& program, const std::vector<std::string>& args) {
    Report report{};
    ChildRun run = RunInChild(
        [&](void* result) { *static_cast<Report*>(result) = CommandReport(program, args); },
        &report, sizeof report);
    run.cpu = report.cpu;
    run.peakKiB = report.peakKiB;
    run.succeeded = run.succeeded && WIFEXITED(report.status) && WEXITSTATUS(report.status) == 0;
    return run;
}

std::string Peak(long kib) {
    char text[48];
    std::snprintf(text, sizeof text, " (peak %.1f MiB)", static_cast<double>(kib) / 1024);
    return text;
}

} // namespace bench
