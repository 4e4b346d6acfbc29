#include "platform/posix/unlink_batching.h"

#include "platform/posix/unlink_ring.h"

#include <atomic>
#include <ctime>
#include <map>
#include <mutex>
#include <sys/resource.h>
#include <unistd.h>

namespace brisvane::platform::posix {

namespace {

constexpr std::size_t kBatch = 256;
// Enough unlinks to see past the first ones, which may find the folder's blocks uncached.
constexpr int kMeasuredUnlinks = 32;
constexpr double kWaitingRatio = 2.0;

// How the first plain unlinks on a file system went. Where the thread blocks in most of them
// and spends most of their wall time waiting rather than working (ext4 mounted with discard
// waits on the disk for each one), batching overlaps those waits; where it works nearly all
// the time (memory, a disk that discards later) batching only adds the ring's own work. The
// blocking is counted so that a thread merely preempted on a busy machine does not count as
// waiting.
struct Measure {
    int unlinks = 0;
    long blocked = 0;
    double wall = 0;
    double cpu = 0;
    std::optional<bool> batched;
};

std::mutex g_mutex;
std::atomic<UnlinkBatching> g_batching{UnlinkBatching::Measured};
std::map<dev_t, Measure> g_measures;

long VoluntarySwitches() {
    rusage usage{};
    getrusage(RUSAGE_THREAD, &usage);
    return usage.ru_nvcsw;
}

double Now(clockid_t clock) {
    timespec time{};
    clock_gettime(clock, &time);
    return static_cast<double>(time.tv_sec) + static_cast<double>(time.tv_nsec) / 1e9;
}

bool RingUsable() {
    return UnlinkRingRefusal().empty();
}

// Whether unlinks on `device` are batched; nothing while that is still being measured.
std::optional<bool> Decided(dev_t device) {
    switch (g_batching.load()) {
    case UnlinkBatching::Always:
        return RingUsable();
    case UnlinkBatching::Never:
        return false;
    case UnlinkBatching::Measured:
        break;
    }
    const std::lock_guard lock(g_mutex);
    return g_measures[device].batched;
}

void MeasuredUnlink(int folder, const char* name, dev_t device) {
    const double wallBefore = Now(CLOCK_MONOTONIC);
    const double cpuBefore = Now(CLOCK_THREAD_CPUTIME_ID);
    const long switchesBefore = VoluntarySwitches();
    const bool unlinked = unlinkat(folder, name, 0) == 0;
    const bool blocked = VoluntarySwitches() != switchesBefore;
    const double cpu = Now(CLOCK_THREAD_CPUTIME_ID) - cpuBefore;
    const double wall = Now(CLOCK_MONOTONIC) - wallBefore;
    // A failed unlink says nothing of the disk.
    if (!unlinked)
        return;
    bool waits = false;
    {
        const std::lock_guard lock(g_mutex);
        Measure& measure = g_measures[device];
        if (measure.batched)
            return;
        measure.wall += wall;
        measure.cpu += cpu;
        measure.blocked += blocked ? 1 : 0;
        if (++measure.unlinks < kMeasuredUnlinks)
            return;
        waits =
            2 * measure.blocked >= measure.unlinks && measure.wall > kWaitingRatio * measure.cpu;
        measure.batched = false;
    }
    // The ring is set up only where it is wanted, and outside the lock.
    if (waits && RingUsable()) {
        const std::lock_guard lock(g_mutex);
        g_measures[device].batched = true;
    }
}

} // namespace

void SetUnlinkBatching(UnlinkBatching batching) {
    g_batching.store(batching);
}

std::optional<bool> BatchingChosenFor(dev_t device) {
    const std::lock_guard lock(g_mutex);
    const auto found = g_measures.find(device);
    return found == g_measures.end() ? std::nullopt : found->second.batched;
}

void PendingUnlinks::Add(const char* name, dev_t device) {
    if (m_device != device) {
        const std::optional<bool> decided = Decided(device);
        if (!decided) {
            MeasuredUnlink(m_folder, name, device);
            return;
        }
        m_device = device;
        m_batched = *decided;
    }
    if (!m_batched) {
        unlinkat(m_folder, name, 0);
        return;
    }
    m_queued.emplace_back(name);
    if (m_queued.size() == kBatch)
        Finish();
}

void PendingUnlinks::Finish() {
    if (m_queued.empty())
        return;
    UnlinkAllAt(m_folder, m_queued);
    m_queued.clear();
}

} // namespace brisvane::platform::posix
