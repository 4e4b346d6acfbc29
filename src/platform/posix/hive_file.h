// Where the two hive files lie, how they are read, and how a change is written: under an
// advisory lock held across read-modify-write, as a whole new file renamed over the old one.
#pragma once

#include "platform/posix/hive_key.h"
#include "platform/posix/win32_types.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace brisvane::platform::hive {

enum class Root { CurrentUser, LocalMachine };

// "HKEY_CURRENT_USER" or "HKEY_LOCAL_MACHINE": the file's name and its sections' first part.
std::string_view RootName(Root root);
// The predefined handle or the full or short name ("HKCU", "HKLM"), any case.
std::optional<Root> RootFromHandle(HKEY key);
std::optional<Root> RootFromName(std::string_view name);

// $XDG_CONFIG_HOME/brisvane, or ~/.config/brisvane; read anew at every call.
std::string HiveFolder();
std::string HivePath(Root root);

// True when the mode bits of the hive file, or of its folder (or of the nearest existing
// folder above it while it is missing), deny the owner write: nothing may then be written
// there, whoever we run as. A hive that is a symbolic link is judged by the file it points at
// and that file's folder, and by the link's own folder, which holds the lock.
bool HiveIsReadOnly(Root root);

// The hive as it is now: ERROR_SUCCESS (a missing file is an empty hive), ERROR_BADDB when the
// file does not parse (reported once per process on stderr with its line), or ERROR_CANTREAD
// (a hive that is not a regular file is never opened and is named on stderr once). The file
// is parsed once per version: while its device, inode, size, modification time and inode change
// time stay the same, and that change time is older than a later change could share, the tree
// parsed before is handed out again, settled and never changed afterwards.
LONG ReadHive(Root root, std::shared_ptr<const Key>& out);

// One key of the hive as it is now, read from the file in chunks without keeping the rest of
// the tree: tree holds the key at path (with its values and the names of its direct subkeys,
// settled) and the keys above it; of its values only the one named onlyValue, when given.
// ERROR_FILE_NOT_FOUND when the hive holds no such key; otherwise the same results, checks and
// messages as ReadHive. The cache is neither used nor filled: for a program that reads one key
// once.
LONG ReadHiveKey(Root root, const std::vector<std::string>& path, std::shared_ptr<const Key>& tree,
                 const std::optional<std::string>& onlyValue = std::nullopt);

// What keeps the hive file from being read, for a message ("is a folder, not a regular
// file"); empty when nothing does.
std::string HiveFileProblem(Root root);

// Where and why the hive file does not parse ("line 7 (...)"), or nothing when it parses, is
// missing or cannot be read.
std::optional<std::string> HiveDamage(Root root);

// Locks the hive, loads it, lets change edit it and, when change returns ERROR_SUCCESS and sets
// its flag, writes it back atomically before unlocking. change must set its flag whenever it
// altered the tree, and only then: a change that alters nothing writes nothing. A read-only or
// damaged hive is never written: ERROR_ACCESS_DENIED, ERROR_BADDB. A hive that is a symbolic link
// stays one: the file it points at is replaced.
LONG ChangeHive(Root root, const std::function<LONG(Key& hiveRoot, bool& changed)>& change);

} // namespace brisvane::platform::hive
