// Where the walks on Windows work: the folder they made current, held by a handle and named by
// its full "\\?\" path, so that entries are reached by the exact names a listing gives, at any
// depth. The process's current folder follows it where the path fits within MAX_PATH (the limit
// SetCurrentDirectory keeps up to Windows 10); a path beyond it lives here only.
#pragma once

#include "platform/win32.h"

#include <string>
#include <string_view>

namespace brisvane::platform::win32 {

// A full path ("C:\..." or "\\server\share\...") in the "\\?\" form; one in that form already
// stays as it is.
std::wstring LongForm(const std::wstring& full);

// The walks' current folder as a "\\?\" path: the one they made current last, unless the
// process's current folder has been changed since by another call; empty when unknown.
std::wstring CurrentFolder();

// Makes the folder at the "\\?\" path `path` the walks' current folder when it is the folder
// `wanted` tells, and the process's current folder too where the path fits. On false
// nothing has changed.
bool EnterFolderPath(const std::wstring& path, const BY_HANDLE_FILE_INFORMATION& wanted);

// A path the program gives in ANSI text (relative to the current folder, or full) as a "\\?\"
// path; empty when it has none.
std::wstring LongPath(std::string_view path);

// The entry `name` of the folder at the "\\?\" path `folder`, by that exact name.
std::wstring Join(const std::wstring& folder, std::wstring_view name);

// `path` split into its folder and its last name, both in the form given.
std::pair<std::wstring, std::wstring> SplitLast(const std::wstring& path);

// A name as the program's ANSI text has it, unmappable characters as "?" (never a look-alike
// separator or digit); `lossy` tells whether any was.
std::string Ansi(std::wstring_view name, bool* lossy = nullptr);

// Whether two files, as GetFileInformationByHandle tells them, are one.
bool SameFile(const BY_HANDLE_FILE_INFORMATION& a, const BY_HANDLE_FILE_INFORMATION& b);

} // namespace brisvane::platform::win32
