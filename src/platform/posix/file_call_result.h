// How the file calls end: the error kept for GetLastError with the call's result, shared by
// the calls of file_api.cpp and the listing calls of file_listing.cpp.
#pragma once

#include "platform/posix/win32_types.h"

#include <string>

namespace brisvane::platform::posix {

// Keeps error for GetLastError; FALSE.
BOOL Fail(DWORD error);
// The same for the Windows error errno stands for.
BOOL FailErrno(int error);
// Clears the kept error; TRUE.
BOOL Succeed();

bool IsDotName(const std::string& name);

} // namespace brisvane::platform::posix
