// The cache of parsed hive versions (hive_cache.h).
#include "platform/posix/hive_cache.h"

namespace brisvane::platform::hive {

namespace {

bool SameTime(const timespec& one, const timespec& other) {
    return one.tv_sec == other.tv_sec && one.tv_nsec == other.tv_nsec;
}

// A change made in place after the read is stamped with the kernel's clock of that moment,
// which lags the clock read here by up to a tick and is cut to the file system's granularity.
// So while the change time lies within that margin of the read, or after it, a later change may
// carry the very same time, and the file must be read again; once past it, every change shows.
// A file system that keeps whole seconds (or two, as FAT) gets the wider margin.
bool ChangedTooCloseToReading(const timespec& changed, const timespec& readAt) {
    const long long margin = changed.tv_nsec == 0 ? 2'000'000'000LL : 20'000'000LL;
    const long long nanos =
        (static_cast<long long>(readAt.tv_sec) - changed.tv_sec) * 1'000'000'000LL +
        (readAt.tv_nsec - changed.tv_nsec);
    return nanos <= margin;
}

} // namespace

bool FileIdentity::operator==(const FileIdentity& other) const {
    return device == other.device && inode == other.inode && size == other.size &&
           SameTime(modified, other.modified) && SameTime(changed, other.changed);
}

FileIdentity IdentityOf(const struct stat& info) {
    return {info.st_dev, info.st_ino, info.st_size, info.st_mtim, info.st_ctim};
}

std::optional<ParsedHive> HiveCache::Trusted(Root root, const std::string& path,
                                             const FileIdentity& identity) {
    std::lock_guard lock(m_mutex);
    const std::optional<ParsedHive>& slot = m_slots[Index(root)];
    if (!slot || slot->path != path || !(slot->identity == identity) ||
        ChangedTooCloseToReading(identity.changed, slot->readAt))
        return std::nullopt;
    return slot;
}

std::optional<ParsedHive> HiveCache::Take(Root root, const std::string& path) {
    std::lock_guard lock(m_mutex);
    std::optional<ParsedHive> slot = std::move(m_slots[Index(root)]);
    m_slots[Index(root)].reset();
    if (slot && slot->path != path)
        slot.reset();
    return slot;
}

std::optional<ParsedHive> HiveCache::Peek(Root root, const std::string& path) {
    std::lock_guard lock(m_mutex);
    const std::optional<ParsedHive>& slot = m_slots[Index(root)];
    if (!slot || slot->path != path)
        return std::nullopt;
    return slot;
}

void HiveCache::Keep(Root root, ParsedHive parsed) {
    std::lock_guard lock(m_mutex);
    m_slots[Index(root)] = std::move(parsed);
}

HiveCache& Cache() {
    // Never destroyed: a program ending with a large hive parsed need not take the tree apart.
    static HiveCache& cache = *new HiveCache;
    return cache;
}

} // namespace brisvane::platform::hive
