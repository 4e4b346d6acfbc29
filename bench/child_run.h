// Runs a piece of a benchmark in a child process of its own, so that its peak memory is its
// own: a command run from a forked child that reads getrusage(RUSAGE_CHILDREN) once it ended,
// or a function run in a forked child that sends its result back.
#pragma once

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

namespace bench {

struct ChildRun {
    double wall = 0;  // seconds
    double cpu = 0;   // user and system seconds
    long peakKiB = 0; // ru_maxrss
    bool succeeded = false;
};

// Runs program with args, its output thrown away.
ChildRun RunCommand(const std::string& program, const std::vector<std::string>& args);

// Runs work in a forked child; result is filled with the bytes work wrote there (up to
// resultSize). The wall time is the child's whole life.
ChildRun RunInChild(const std::function<void(void* result)>& work, void* result,
                    std::size_t resultSize);

// " (peak 12.3 MiB)".
std::string Peak(long kib);

} // namespace bench
