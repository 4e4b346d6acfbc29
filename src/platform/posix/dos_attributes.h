// File attributes as Windows reports them, made from the Linux mode bits, the name and the
// "user.DOSATTRIB" extended attribute that Samba and Wine keep the DOS bits in.
#pragma once

#include "platform/posix/win32_types.h"

#include <optional>
#include <string>
#include <string_view>
#include <sys/stat.h>

namespace brisvane::platform::posix {

// The DOS bits a "user.DOSATTRIB" value holds: the text form ("0x22") or Samba's versioned
// binary form. Nothing when the value is neither.
std::optional<DWORD> ParseDosAttrib(std::string_view value);

// The bits stored on the entry at `path`, if any. A symbolic link at `path` is followed only
// when asked: the file calls ask for it on "/proc/self/fd/N", the file a descriptor holds.
std::optional<DWORD> ReadDosAttrib(const std::string& path, bool followLink = false);

// Stores the read-only, hidden and system bits of `bits` in the text form. A file system that keeps
// no extended attributes is no error; false only when the entry refuses them otherwise.
bool WriteDosAttrib(const std::string& path, DWORD bits, bool followLink = false);

// The attributes of the entry at `path`, whose lstat is `st` and whose own name is `name`.
DWORD AttributesOf(const std::string& path, std::string_view name, const struct stat& st);

// The bits stored on the entry `name` of the folder open as `folder`, never following a link
// there. Only that one name is looked up, not the folder's whole path.
std::optional<DWORD> ReadDosAttribAt(int folder, const char* name);

// The attributes of the entry `name` of the folder open as `folder`, whose lstat is `st`.
DWORD AttributesAt(int folder, const char* name, const struct stat& st);

} // namespace brisvane::platform::posix
