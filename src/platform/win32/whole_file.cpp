#include "platform/whole_file.h"

#include "platform/win32.h"

#include <algorithm>
#include <limits>

namespace brisvane::platform {

namespace {

// Closes a file handle when it goes out of scope.
class FileHandle {
public:
    explicit FileHandle(HANDLE handle) : m_handle(handle) {}
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

std::string FolderOf(const std::string& name) {
    const auto slash = name.find_last_of("\\/");
    if (slash == std::string::npos)
        return ".";
    if (slash == 0 || (slash == 2 && name[1] == ':'))
        return name.substr(0, slash + 1); // "\" or "C:\": the root itself
    return name.substr(0, slash);
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
bool StillTheFileRead(const std::string& name, const FileIdentity& expected) {
    FileHandle file(CreateFileA(name.c_str(), 0,
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
    FileHandle file(CreateFileA(name.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
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
    if (expected && !StillTheFileRead(name, *expected))
        return ReplaceResult::CannotCreate;
    const DWORD attributes = GetFileAttributesA(name.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES &&
        (attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY)) != 0)
        return ReplaceResult::CannotCreate;

    char temporary[MAX_PATH];
    if (GetTempFileNameA(FolderOf(name).c_str(), "brv", 0, temporary) == 0)
        return ReplaceResult::CannotCreate;
    FileHandle file(CreateFileA(temporary, GENERIC_WRITE, 0, nullptr, TRUNCATE_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.IsValid()) {
        DeleteFileA(temporary);
        return ReplaceResult::CannotCreate;
    }
    const bool written = WriteAll(file.Get(), content);
    file.Close();
    if (!written) {
        DeleteFileA(temporary);
        return ReplaceResult::WriteFailed;
    }

    // ReplaceFileA keeps the old file's attributes and security; a file that is not there yet
    // is simply renamed into place.
    if (ReplaceFileA(name.c_str(), temporary, nullptr, REPLACEFILE_WRITE_THROUGH, nullptr,
                     nullptr) ||
        MoveFileExA(temporary, name.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return ReplaceResult::Replaced;
    DeleteFileA(temporary);
    return ReplaceResult::CannotCreate;
}

} // namespace brisvane::platform
