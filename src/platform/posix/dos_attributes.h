// File attributes as Windows reports them, made from the Linux mode bits, the name and the
// "user.DOSATTRIB" extended attribute that Samba and Wine keep the DOS bits in.
#pragma once

#include "platform/posix/win32_types.h"

#include <optional>
#include <string>
#include <string_view>
#include <sys/stat.h>

namespace brisvane::platform::posix {

// What an entry's "user.DOSATTRIB" says, as far as it can be told.
struct StoredDosAttrib {
    enum class State {
        None,    // no value: none stored, or a file system that keeps none
        Bits,    // a value that holds `bits`
        Unknown, // a value that could not be read, or was read and not understood
    };
    State state = State::None;
    DWORD bits = 0;
    // None because the file system said it keeps no extended attributes at all.
    bool keptByNone = false;
};

// The DOS bits a "user.DOSATTRIB" value holds: the text form ("0x22") or Samba's versioned
// binary form. Nothing when the value is neither.
std::optional<DWORD> ParseDosAttrib(std::string_view value);

// What is stored on the entry at `path`, never following a link there. A read that fails is
// tried again through the entry's folder before the value counts as unknown.
StoredDosAttrib ReadDosAttrib(const std::string& path);

// What is stored on the entry `name` of the folder open as `folder`, never following a link
// there. Only that one name is looked up, not the folder's whole path; each way of reading it
// (relative to the folder, through /proc, through the opened entry) is tried in turn.
StoredDosAttrib ReadDosAttribAt(int folder, const char* name);

// The value stored on the file open as `descriptor`, exactly as stored (nullopt: none), read
// whole so that it can be put back. False, with errno set, when it can't be read.
bool ReadDosAttribValue(int descriptor, std::optional<std::string>& value);

// Stores the hidden and system bits of `bits` in the text form on the file open as `descriptor`.
// A file system that keeps no extended attributes is no error; false, with errno set, when the
// file refuses them otherwise.
bool WriteDosAttrib(int descriptor, DWORD bits);

// Puts back what ReadDosAttribValue read: that value, or none at all.
bool RestoreDosAttrib(int descriptor, const std::optional<std::string>& value);

// The attributes of the entry at `path`, whose lstat is `st` and whose own name is `name`. A
// stored value that can't be told makes the entry read-only, so that it is kept.
DWORD AttributesOf(const std::string& path, std::string_view name, const struct stat& st);

// The attributes of the entry `name` of the folder open as `folder`, whose lstat is `st`; read-only
// too when the stored value can't be told.
DWORD AttributesAt(int folder, const char* name, const struct stat& st);

} // namespace brisvane::platform::posix
