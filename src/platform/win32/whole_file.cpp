#include "platform/whole_file.h"

#include "platform/win32.h"
#include "platform/win32/walk_paths.h"

#include <algorithm>
#include <limits>
#include <string>

namespace brisvane::platform {

namespace {

// Closes a file handle when it goes out of scope.
class FileHandle {
public:
    explicit FileHandle(HANDLE handle) : m_handle(handle) {}
    FileHandle(FileHandle&& other) noexcept : m_handle(other.m_handle) {
        other.m_handle = INVALID_HANDLE_VALUE;
    }
    ~FileHandle() { Close(); }
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;

    bool IsValid() const { return m_handle != INVALID_HANDLE_VALUE; }
    HANDLE Get() const { return m_handle; }
    void Close() {
        if (IsValid())
            CloseHandle(m_handle);
        m_handle = INVALID_HANDLE_VALUE;
    }

private:
    HANDLE m_handle;
};

// A new file beside `path` (a "\\?\" path), open for writing, and its path. GetTempFileName
// takes no folder deeper than MAX_PATH, so the name is drawn here.
FileHandle CreateTemporaryBeside(const std::wstring& path, std::wstring& temporary) {
    const std::wstring folder = brisvane::platform::win32::SplitLast(path).first;
    const DWORD seed = GetTickCount() ^ GetCurrentProcessId();
    for (DWORD attempt = 0; attempt < 100; ++attempt) {
        std::wstring number;
        for (DWORD rest = (seed + attempt) & 0xFFFF, digit = 0; digit < 4; ++digit, rest >>= 4)
            number.insert(number.begin(), L"0123456789ABCDEF"[rest & 0xF]);
        temporary = folder + L"\\brv" + number + L".tmp";
        FileHandle file(CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
        if (file.IsValid() || GetLastError() != ERROR_FILE_EXISTS)
            return file;
    }
    return FileHandle(INVALID_HANDLE_VALUE);
}

bool WriteAll(HANDLE file, const std::string& content) {
    const char* data = content.data();
    std::size_t left = content.size();
    while (left > 0) {
        const DWORD chunk =
            static_cast<DWORD>(std::min<std::size_t>(left, std::numeric_limits<DWORD>::max()));
        DWORD written = 0;
        if (!WriteFile(file, data, chunk, &written, nullptr) || written == 0)
            return false;
        data += written;
        left -= written;
    }
    return FlushFileBuffers(file) != 0;
}

FileIdentity IdentityOf(HANDLE file) {
    BY_HANDLE_FILE_INFORMATION info{};
    if (!GetFileInformationByHandle(file, &info))
        return {};
    return {info.dwVolumeSerialNumber,
            (static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow};
}

// Whether `name` still leads to the file a read found. A file that cannot be opened to tell
// counts as another.
bool StillTheFileRead(const std::wstring& path, const FileIdentity& expected) {
    FileHandle file(CreateFileW(path.c_str(), 0,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.IsValid())
        return false;
    const FileIdentity now = IdentityOf(file.Get());
    return now.volume == expected.volume && now.index == expected.index;
}

} // namespace

bool ReadWholeFile(const std::string& name, std::string& content, FileIdentity* identity) {
    content.clear();
    const std::wstring path = win32::LongPath(name);
    FileHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.IsValid())
        return false;
    char buffer[65536];
    for (;;) {
        DWORD got = 0;
        if (!ReadFile(file.Get(), buffer, sizeof buffer, &got, nullptr)) {
            content.clear();
            return false;
        }
        if (got == 0)
            break;
        content.append(buffer, got);
    }
    if (identity)
        *identity = IdentityOf(file.Get());
    return true;
}

ReplaceResult ReplaceWholeFile(const std::string& name, const std::string& content,
                               const FileIdentity* expected) {
    const std::wstring path = win32::LongPath(name);
    if (path.empty() || (expected && !StillTheFileRead(path, *expected)))
        return ReplaceResult::CannotCreate;
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES &&
        (attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY)) != 0)
        return ReplaceResult::CannotCreate;

    std::wstring temporary;
    FileHandle file = CreateTemporaryBeside(path, temporary);
    if (!file.IsValid())
        return ReplaceResult::CannotCreate;
    const bool written = WriteAll(file.Get(), content);
    file.Close();
    if (!written) {
        DeleteFileW(temporary.c_str());
        return ReplaceResult::WriteFailed;
    }

    // ReplaceFileA keeps the old file's attributes and security; a file that is not there yet
    // is simply renamed into place.
    if (ReplaceFileW(path.c_str(), temporary.c_str(), nullptr, REPLACEFILE_WRITE_THROUGH, nullptr,
                     nullptr) ||
        MoveFileExW(temporary.c_str(), path.c_str(),
                    MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return ReplaceResult::Replaced;
    DeleteFileW(temporary.c_str());
    return ReplaceResult::CannotCreate;
}

} // namespace brisvane::platform
