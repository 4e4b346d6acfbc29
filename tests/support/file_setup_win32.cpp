#include "platform/win32.h"
#include "platform/win32/folder_walk_seam.h"
#include "support/file_setup.h"

#include <stdexcept>
#include <string>
#include <vector>

namespace testing_support {

namespace {

template <typename Call> Call Export(const char* module, const char* name) {
    const HMODULE loaded = GetModuleHandleA(module);
    return loaded
               ? reinterpret_cast<Call>(reinterpret_cast<void (*)()>(GetProcAddress(loaded, name)))
               : nullptr;
}

// Wine's own calls between Windows and Unix file names; absent on Windows itself.
using UnixNameCall = char*(CDECL*)(LPCWSTR);
using DosNameCall = WCHAR*(CDECL*)(const char*);

bool UnderWine() {
    return Export<void (*)()>("ntdll.dll", "wine_get_version") != nullptr;
}

std::wstring Wide(const std::string& text) {
    const int length = MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(length > 0 ? length : 1), L'\0');
    MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, wide.data(), length);
    wide.resize(wide.size() - 1);
    return wide;
}

std::string FullPath(const std::string& path) {
    char buffer[MAX_PATH * 4];
    const DWORD length = GetFullPathNameA(path.c_str(), sizeof buffer, buffer, nullptr);
    return length == 0 || length >= sizeof buffer ? path : std::string(buffer, length);
}

std::string UnixPath(const std::string& path) {
    const auto unixName = Export<UnixNameCall>("kernel32.dll", "wine_get_unix_file_name");
    char* name = unixName ? unixName(Wide(FullPath(path)).c_str()) : nullptr;
    if (!name)
        throw std::runtime_error("no Unix name for " + path);
    std::string result(name);
    HeapFree(GetProcessHeap(), 0, name);
    return result;
}

// Starts the Unix program `arguments[0]` (a Unix path) with the rest as its arguments. Wine runs
// it apart from the Windows processes: it can't be waited for, so callers look for its effect.
void StartUnixProgram(const std::vector<std::string>& arguments) {
    const auto dosName = Export<DosNameCall>("kernel32.dll", "wine_get_dos_file_name");
    WCHAR* program = dosName ? dosName(arguments[0].c_str()) : nullptr;
    if (!program)
        throw std::runtime_error("no Windows name for " + arguments[0]);
    // Each argument quoted, a quote inside it escaped (none of them holds a backslash).
    std::wstring commandLine;
    for (const std::string& argument : arguments) {
        commandLine += L'"';
        for (wchar_t c : Wide(argument))
            commandLine += c == L'"' ? std::wstring(L"\\\"") : std::wstring(1, c);
        commandLine += L"\" ";
    }
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    const BOOL started = CreateProcessW(program, commandLine.data(), nullptr, nullptr, FALSE, 0,
                                        nullptr, nullptr, &startup, &process);
    HeapFree(GetProcessHeap(), 0, program);
    if (!started)
        throw std::runtime_error("cannot start " + arguments[0]);
    if (process.hProcess)
        CloseHandle(process.hProcess);
    if (process.hThread)
        CloseHandle(process.hThread);
}

template <typename Condition> bool WaitFor(Condition condition) {
    for (int i = 0; i < 1000; ++i) {
        if (condition())
            return true;
        Sleep(10);
    }
    return false;
}

// Whether `a` and `b`, links followed, are the same file.
bool SameFile(const std::string& a, const std::string& b) {
    BY_HANDLE_FILE_INFORMATION info[2]{};
    const std::string* paths[2] = {&a, &b};
    for (int i = 0; i < 2; ++i) {
        const HANDLE handle =
            CreateFileA(paths[i]->c_str(), FILE_READ_ATTRIBUTES,
                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                        OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
        if (handle == INVALID_HANDLE_VALUE)
            return false;
        const BOOL read = GetFileInformationByHandle(handle, &info[i]);
        CloseHandle(handle);
        if (!read)
            return false;
    }
    return info[0].dwVolumeSerialNumber == info[1].dwVolumeSerialNumber &&
           info[0].nFileIndexHigh == info[1].nFileIndexHigh &&
           info[0].nFileIndexLow == info[1].nFileIndexLow;
}

std::string g_swapTarget;

void SwapBeforeEntering(const char* name) {
    SwapFolderForLink(FullPath(name), g_swapTarget);
}

} // namespace

void SetDosAttributes(const std::string& path, std::uint32_t attributes) {
    const DWORD wanted =
        attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
    if (!SetFileAttributesA(path.c_str(), wanted ? wanted : FILE_ATTRIBUTE_NORMAL))
        throw std::runtime_error("cannot set the attributes of " + path + ", error " +
                                 std::to_string(GetLastError()));
}

bool MakeSymbolicLink(const std::string& target, const std::string& link) {
    const DWORD targetAttributes = GetFileAttributesA(target.c_str());
    if (targetAttributes == INVALID_FILE_ATTRIBUTES)
        return false;
    if (UnderWine()) {
        StartUnixProgram({"/bin/ln", "-sfn", "--", UnixPath(target), UnixPath(link)});
        return WaitFor([&] { return SameFile(link, target); });
    }
    // Windows itself: where the user may (developer mode, or the privilege).
    using CreateLinkCall = BOOLEAN(WINAPI*)(LPCSTR, LPCSTR, DWORD);
    const auto createLink = Export<CreateLinkCall>("kernel32.dll", "CreateSymbolicLinkA");
    constexpr DWORD kFolderLink = 0x1;
    constexpr DWORD kWithoutPrivilege = 0x2;
    const bool folder = (targetAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    const DWORD old = GetFileAttributesA(link.c_str());
    if (old != INVALID_FILE_ATTRIBUTES && (old & FILE_ATTRIBUTE_REPARSE_POINT))
        (old & FILE_ATTRIBUTE_DIRECTORY) ? RemoveDirectoryA(link.c_str())
                                         : DeleteFileA(link.c_str());
    if (!createLink ||
        !createLink(link.c_str(), target.c_str(), kWithoutPrivilege | (folder ? kFolderLink : 0)))
        return false;
    const DWORD attributes = GetFileAttributesA(link.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

bool SwapFolderForLink(const std::string& path, const std::string& target) {
    if (!UnderWine())
        return false;
    const std::string folder = FullPath(path);
    StartUnixProgram({"/bin/sh", "-c", "mv -- \"$1\" \"$1.aside\" && ln -s -- \"$2\" \"$1\"", "sh",
                      UnixPath(folder), UnixPath(target)});
    return WaitFor([&] {
        return GetFileAttributesA((folder + ".aside").c_str()) != INVALID_FILE_ATTRIBUTES &&
               SameFile(folder, target);
    });
}

bool RemoveFolderAsUnix(const std::string& path) {
    if (!UnderWine())
        return false;
    StartUnixProgram({"/bin/rm", "-rf", "--", UnixPath(path)});
    return WaitFor([&] { return GetFileAttributesA(path.c_str()) == INVALID_FILE_ATTRIBUTES; });
}

SwapFolderBeforeEntering::SwapFolderBeforeEntering(const std::string& target) {
    if (!UnderWine())
        return;
    g_swapTarget = target;
    brisvane::platform::win32::SetBeforeEnteringHook(SwapBeforeEntering);
    m_installed = true;
}

SwapFolderBeforeEntering::~SwapFolderBeforeEntering() {
    if (m_installed)
        brisvane::platform::win32::SetBeforeEnteringHook(nullptr);
}

OtherFileSystemFolder::OtherFileSystemFolder()
    : m_whyNone("a Windows test machine has no second volume that it can count on") {}
OtherFileSystemFolder::~OtherFileSystemFolder() = default;

FullDiskForWholeFiles::FullDiskForWholeFiles() = default;
FullDiskForWholeFiles::~FullDiskForWholeFiles() = default;

} // namespace testing_support
