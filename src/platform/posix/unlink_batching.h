// Whether the unlinks of a folder walk go to the kernel in batches or one by one, decided per
// file system, and the queue of one listing's unlinks.
#pragma once

#include <optional>
#include <string>
#include <sys/types.h>
#include <vector>

namespace brisvane::platform::posix {

enum class UnlinkBatching {
    Measured, // per file system, by how its first unlinks went (the program's way)
    Always,   // wherever the ring can take them
    Never,
};

// For tests and benchmarks that need one way or the other; both are equally safe.
void SetUnlinkBatching(UnlinkBatching batching);

// What was decided for the file system `device` under Measured: nothing while undecided.
std::optional<bool> BatchingChosenFor(dev_t device);

// The unlinks of one listing's entries, relative to its folder: done at once, or queued and
// done in batches, at the latest by Finish() or the destructor.
class PendingUnlinks {
public:
    explicit PendingUnlinks(int folder) : m_folder(folder) {}
    ~PendingUnlinks() { Finish(); }
    PendingUnlinks(const PendingUnlinks&) = delete;
    PendingUnlinks& operator=(const PendingUnlinks&) = delete;

    // Unlinks `name` (flags 0) of a file on the file system `device`, now or later.
    void Add(const char* name, dev_t device);
    // Every unlink handed over has been done.
    void Finish();

private:
    int m_folder;
    std::vector<std::string> m_queued;
    // The last file system seen and whether its unlinks are batched, once that is settled.
    std::optional<dev_t> m_device;
    bool m_batched = false;
};

} // namespace brisvane::platform::posix
