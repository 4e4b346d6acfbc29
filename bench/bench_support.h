// What the purge benchmark builds and measures with: the synthetic profile, counts of what a
// tree holds, CPU time, medians, child programs and the reading of an strace trace.
#pragma once

#include <cstddef>
#include <map>
#include <string>
#include <vector>

namespace bench {

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
ProfileSize Doubled(ProfileSize size);

// A small file at `path`; the program ends when it can't be made.
void MakeFile(const std::string& path);

// Cookies, History (with desktop.ini) and an IE cache whose own files mix with its folders in
// the listing; the first entry of the cache and of the install folder is a file, so that the
// walks' skipped entry holds nothing the other tools would delete.
void MakeProfile(const std::string& root, const ProfileSize& size, unsigned seed);

// The folders the other tools clear: what the purge clears, "!" files and all.
std::vector<std::string> ClearedFolders(const std::string& root);

struct Count {
    std::size_t files = 0;
    std::size_t folders = 0;
};

Count CountEntries(const std::string& root);

// User and system time of RUSAGE_SELF or RUSAGE_CHILDREN.
double CpuSeconds(int who);

double Median(std::vector<double> values);

// Runs a program and waits for it; false when it did not end well.
bool RunProgram(const std::vector<std::string>& arguments);

// What `strace -f -C` wrote: every call traced, and its own summary table.
struct TraceCounts {
    long traced = 0;        // calls in the trace, whatever their name
    long summaryTotal = -1; // the summary's total, which leaves out calls strace has no name for
    std::map<std::string, long> byName;
};

TraceCounts ReadTrace(const std::string& traceFile);

// How much one read of a listed file's stored attributes costs, each way it can be read.
void CompareAttributeReads(const std::string& workFolder);

// What the mount holding `folder` says of itself: its file system type and whether it is
// mounted to discard freed blocks as they are freed.
struct MountFacts {
    std::string type;
    bool discards = false;
    bool found = false;
};

MountFacts MountOf(const std::string& folder);

} // namespace bench
