// The last version of each hive file parsed or written by this process, and when it may be
// handed out again without reading the file.
#pragma once

#include "platform/posix/hive_file.h"
#include "platform/posix/hive_key.h"
#include "platform/posix/win32_types.h"

#include <ctime>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <sys/stat.h>

namespace brisvane::platform::hive {

// What tells one version of a hive file from another: every write of ours makes a new inode,
// and a change made in place moves the inode change time, which, unlike the modification time
// (`touch -d`, `cp -p`, `rsync -t`), no program can set back.
struct FileIdentity {
    dev_t device = 0;
    ino_t inode = 0;
    off_t size = 0;
    timespec modified{};
    timespec changed{};

    bool operator==(const FileIdentity& other) const;
};

FileIdentity IdentityOf(const struct stat& info);

// One version of a hive file, parsed.
struct ParsedHive {
    std::string path;
    FileIdentity identity;
    // Its bytes, to tell apart two versions with the same identity; null for a missing file.
    std::shared_ptr<const std::string> content;
    timespec readAt{};           // a time at which the file was known to hold content
    LONG result = ERROR_SUCCESS; // ERROR_BADDB for a damaged file
    std::shared_ptr<Key> tree;   // settled; null when damaged
};

class HiveCache {
public:
    // The parsed version for this path and identity, when it can be trusted without reading the
    // file again.
    std::optional<ParsedHive> Trusted(Root root, const std::string& path,
                                      const FileIdentity& identity);
    // Takes the slot out; the caller may change its tree only if nobody else holds it.
    std::optional<ParsedHive> Take(Root root, const std::string& path);
    // The slot for path, for comparing a fresh read with.
    std::optional<ParsedHive> Peek(Root root, const std::string& path);
    void Keep(Root root, ParsedHive parsed);

private:
    static int Index(Root root) { return root == Root::CurrentUser ? 0 : 1; }

    std::mutex m_mutex;
    std::optional<ParsedHive> m_slots[2];
};

// The one cache of the process.
HiveCache& Cache();

} // namespace brisvane::platform::hive
