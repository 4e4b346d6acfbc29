#include "platform/folder_walk.h"
#include "platform/win32.h"

namespace brisvane::platform {

namespace {

// False, with the reason set, for no name or a link.
bool IsNamedNonLink(const char* name) {
    if (!name || !*name) {
        SetLastError(ERROR_INVALID_NAME);
        return false;
    }
    const DWORD attributes = GetFileAttributesA(name);
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
        SetLastError(ERROR_ACCESS_DENIED);
        return false;
    }
    return true;
}

} // namespace

// Our DeleteFileA and SetFileAttributesA act on a link itself and never on what it leads to;
// the link is refused all the same, so that these calls mean the same on both systems.
bool DeleteFileNotLink(const char* name) {
    return IsNamedNonLink(name) && DeleteFileA(name) != FALSE;
}

bool ResetAttributesNotLink(const char* name) {
    return IsNamedNonLink(name) && SetFileAttributesA(name, FILE_ATTRIBUTE_NORMAL) != FALSE;
}

} // namespace brisvane::platform
