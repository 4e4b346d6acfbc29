// The listing calls of kernel32 (FindFirstFileA, FindNextFileA, FindClose) over a Linux
// folder: "." and ".." first, then the entries in the order NTFS lists them.
#include "platform/posix/dos_attributes.h"
#include "platform/posix/file_api.h"
#include "platform/posix/file_call_result.h"
#include "platform/posix/name_case.h"
#include "platform/posix/path_lookup.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <memory>
#include <mutex>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <unordered_set>
#include <vector>

using namespace brisvane::platform::posix;

namespace {

bool MatchesWildcard(std::string_view patternText, std::string_view nameText) {
    // Iterative '*' / '?' matching with one backtrack point, on upper-cased code units so that
    // a character is never split into bytes.
    const std::u16string pattern = UpcasedUnits(patternText);
    const std::u16string name = UpcasedUnits(nameText);
    std::size_t p = 0;
    std::size_t n = 0;
    std::size_t star = std::u16string::npos;
    std::size_t resume = 0;
    while (n < name.size()) {
        if (p < pattern.size() && pattern[p] == u'*') {
            star = p++;
            resume = n;
        } else if (p < pattern.size() && (pattern[p] == u'?' || pattern[p] == name[n])) {
            ++p;
            ++n;
        } else if (star != std::u16string::npos) {
            p = star + 1;
            n = ++resume;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == u'*')
        ++p;
    return p == pattern.size();
}

struct FindHandle {
    DIR* dir = nullptr;
    std::string folder; // absolute, so that a walk may change the current folder meanwhile
    std::vector<std::string> names;
    std::size_t next = 0;
};

std::mutex g_handlesMutex;
std::unordered_set<FindHandle*> g_handles;

FindHandle* LiveHandle(HANDLE handle) {
    std::lock_guard lock(g_handlesMutex);
    auto* find = static_cast<FindHandle*>(handle);
    return g_handles.count(find) ? find : nullptr;
}

void FileTimeFrom(const struct timespec& time, FILETIME& out) {
    // 100 ns ticks since 1601-01-01.
    constexpr std::uint64_t kEpochDifference = 116444736000000000ULL;
    const std::uint64_t ticks = kEpochDifference +
                                static_cast<std::uint64_t>(time.tv_sec) * 10000000ULL +
                                static_cast<std::uint64_t>(time.tv_nsec) / 100;
    out.dwLowDateTime = static_cast<DWORD>(ticks & 0xFFFFFFFFu);
    out.dwHighDateTime = static_cast<DWORD>(ticks >> 32);
}

// The attributes are read relative to the listed folder itself, not through its path now.
void FillFindData(int folder, const std::string& name, const struct stat& st,
                  WIN32_FIND_DATAA& data) {
    std::memset(&data, 0, sizeof data);
    data.dwFileAttributes = AttributesAt(folder, name.c_str(), st);
    FileTimeFrom(st.st_ctim, data.ftCreationTime);
    FileTimeFrom(st.st_atim, data.ftLastAccessTime);
    FileTimeFrom(st.st_mtim, data.ftLastWriteTime);
    if (!S_ISDIR(st.st_mode)) {
        const auto size = static_cast<std::uint64_t>(st.st_size);
        data.nFileSizeHigh = static_cast<DWORD>(size >> 32);
        data.nFileSizeLow = static_cast<DWORD>(size & 0xFFFFFFFFu);
    }
    std::snprintf(data.cFileName, sizeof data.cFileName, "%s", name.c_str());
}

// The next entry that still exists: entries deleted or moved away meanwhile are passed over.
bool NextEntry(FindHandle& find, WIN32_FIND_DATAA& data) {
    while (find.next < find.names.size()) {
        const std::string& name = find.names[find.next++];
        struct stat st;
        if (fstatat(dirfd(find.dir), name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0)
            continue;
        FillFindData(dirfd(find.dir), name, st, data);
        return true;
    }
    return false;
}

std::string AbsoluteFolder(const std::string& folder) {
    if (!folder.empty() && folder.front() == '/')
        return folder;
    char* cwd = getcwd(nullptr, 0);
    std::string absolute = cwd ? cwd : ".";
    std::free(cwd);
    if (folder.empty() || folder == ".")
        return absolute;
    return (absolute == "/" ? "" : absolute) + "/" + folder;
}

} // namespace

HANDLE FindFirstFileA(LPCSTR lpFileName, LPWIN32_FIND_DATAA lpFindFileData) {
    if (!lpFileName || !*lpFileName || !lpFindFileData) {
        SetLastError(ERROR_PATH_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    std::string name(lpFileName);
    std::replace(name.begin(), name.end(), '\\', '/');
    const std::size_t slash = name.rfind('/');
    const std::string pattern = slash == std::string::npos ? name : name.substr(slash + 1);
    std::string folder = slash == std::string::npos ? "" : name.substr(0, slash == 0 ? 1 : slash);
    if (pattern.empty()) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    if (!folder.empty()) {
        const ResolvedPath resolved = ResolvePath(folder);
        if (resolved.lookup != Lookup::Found) {
            SetLastError(ERROR_PATH_NOT_FOUND);
            return INVALID_HANDLE_VALUE;
        }
        folder = resolved.path;
    }

    auto find = std::make_unique<FindHandle>();
    find->dir = opendir(folder.empty() ? "." : folder.c_str());
    if (!find->dir) {
        SetLastError(errno == ENOTDIR ? ERROR_DIRECTORY : ERROR_PATH_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    find->folder = AbsoluteFolder(folder);

    const bool everything = pattern == "*" || pattern == "*.*";
    const bool wildcard = pattern.find_first_of("*?") != std::string::npos;
    if (!wildcard) {
        // A plain name lists the one entry it means.
        struct stat st;
        if (IsDotName(pattern) ||
            fstatat(dirfd(find->dir), pattern.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0) {
            find->names.push_back(pattern);
        } else if (MayHaveOtherSpellings(pattern)) {
            std::string match = FindNameAmong(find->dir, pattern);
            if (!match.empty())
                find->names.push_back(std::move(match));
        }
    } else {
        // "." and ".." first, as NTFS lists them; then the rest without regard to case.
        if (everything || MatchesWildcard(pattern, "."))
            find->names.emplace_back(".");
        if (everything || MatchesWildcard(pattern, ".."))
            find->names.emplace_back("..");
        std::vector<std::string> listed;
        while (const dirent* entry = readdir(find->dir)) {
            const std::string entryName = entry->d_name;
            if (IsDotName(entryName))
                continue;
            if (everything || MatchesWildcard(pattern, entryName))
                listed.push_back(entryName);
        }
        const std::vector<std::string_view> views(listed.begin(), listed.end());
        for (const std::size_t at : ListingOrder(views))
            find->names.push_back(std::move(listed[at]));
    }

    if (!NextEntry(*find, *lpFindFileData)) {
        closedir(find->dir);
        SetLastError(ERROR_FILE_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    std::lock_guard lock(g_handlesMutex);
    FindHandle* handle = find.release();
    g_handles.insert(handle);
    SetLastError(ERROR_SUCCESS);
    return handle;
}

BOOL FindNextFileA(HANDLE hFindFile, LPWIN32_FIND_DATAA lpFindFileData) {
    FindHandle* find = LiveHandle(hFindFile);
    if (!find || !lpFindFileData)
        return Fail(ERROR_INVALID_HANDLE);
    if (!NextEntry(*find, *lpFindFileData))
        return Fail(ERROR_NO_MORE_FILES);
    return Succeed();
}

BOOL FindClose(HANDLE hFindFile) {
    FindHandle* find = nullptr;
    {
        std::lock_guard lock(g_handlesMutex);
        auto* candidate = static_cast<FindHandle*>(hFindFile);
        if (g_handles.erase(candidate))
            find = candidate;
    }
    if (!find)
        return Fail(ERROR_INVALID_HANDLE);
    closedir(find->dir);
    delete find;
    return Succeed();
}
