#include "platform/folder_walk.h"
#include "platform/win32.h"

namespace brisvane::platform {

// Our DeleteFileA removes a link itself and never what it leads to; the link is refused all the
// same, so that the deletes by name mean the same on both systems.
bool DeleteFileNotLink(const char* name) {
    if (!name || !*name) {
        SetLastError(ERROR_INVALID_NAME);
        return false;
    }
    const DWORD attributes = GetFileAttributesA(name);
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
        SetLastError(ERROR_ACCESS_DENIED);
        return false;
    }
    return DeleteFileA(name) != FALSE;
}

} // namespace brisvane::platform
