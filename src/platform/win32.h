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
#else
#include "platform/posix/file_api.h"
#include "platform/posix/registry_api.h"
#include "platform/posix/win32_types.h"
#endif
