// The file calls of kernel32 that Brisvane makes, over the Linux file system, with the
// behaviour Windows gives them: "\" and "/" both separate, names match without regard to
// ASCII case, listings give "." and ".." first, and the last error is kept per thread.
#pragma once

#include "platform/posix/win32_types.h"

BOOL SetCurrentDirectoryA(LPCSTR lpPathName);
DWORD GetCurrentDirectoryA(DWORD nBufferLength, LPSTR lpBuffer);
HANDLE FindFirstFileA(LPCSTR lpFileName, LPWIN32_FIND_DATAA lpFindFileData);
BOOL FindNextFileA(HANDLE hFindFile, LPWIN32_FIND_DATAA lpFindFileData);
BOOL FindClose(HANDLE hFindFile);
BOOL DeleteFileA(LPCSTR lpFileName);
DWORD GetFileAttributesA(LPCSTR lpFileName);
BOOL SetFileAttributesA(LPCSTR lpFileName, DWORD dwFileAttributes);
BOOL CreateDirectoryA(LPCSTR lpPathName, LPSECURITY_ATTRIBUTES lpSecurityAttributes);
BOOL RemoveDirectoryA(LPCSTR lpPathName);
BOOL MoveFileA(LPCSTR lpExistingFileName, LPCSTR lpNewFileName);
DWORD GetLastError();
void SetLastError(DWORD dwErrCode);

namespace brisvane::platform::posix {

// The Windows error a failed Linux call's errno stands for.
DWORD ErrorFromErrno(int error);

} // namespace brisvane::platform::posix
