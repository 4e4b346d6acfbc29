// The one include for the Windows API subset that Brisvane calls: the system's own on
// Windows, our Linux layer elsewhere. Nothing above src/platform includes posix/ directly.
#pragma once

#ifdef _WIN32
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
// Before the window layer's macros that route ShellExecuteA through its seam.
#include <shellapi.h>
#define NO_SHLWAPI_STRFCNS
#define NO_SHLWAPI_PATH
#define NO_SHLWAPI_GDI
#define NO_SHLWAPI_STREAM
#include <shlwapi.h>

// RegDeleteTreeA came with Vista; shlwapi's SHDeleteKeyA removes a key with everything below
// it in the same way and is there on XP, which the program still loads on.
namespace brisvane::platform {
inline LONG DeleteTreeFromXpOn(HKEY key, LPCSTR subKey) {
    return static_cast<LONG>(SHDeleteKeyA(key, subKey));
}
} // namespace brisvane::platform
#define RegDeleteTreeA(key, subKey) ::brisvane::platform::DeleteTreeFromXpOn(key, subKey)
#else
#include "platform/posix/file_api.h"
#include "platform/posix/registry_api.h"
#include "platform/posix/win32_types.h"
#endif
