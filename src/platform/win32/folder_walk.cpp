#include "platform/folder_walk.h"

#include "platform/win32.h"

#include <cstring>
#include <utility>

namespace brisvane::platform {

namespace {

std::string FullPathOf(const char* path) {
    const DWORD size = GetFullPathNameA(path, 0, nullptr, nullptr);
    if (size == 0)
        return {};
    std::string full(size, '\0');
    const DWORD length = GetFullPathNameA(path, size, full.data(), nullptr);
    if (length == 0 || length >= size)
        return {};
    full.resize(length);
    return full;
}

bool IsFolderOfItsOwn(DWORD attributes) {
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) &&
           !(attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

} // namespace

HeldFolder HeldFolder::Current() {
    return Open(".");
}

HeldFolder HeldFolder::Open(const std::string& path) {
    HeldFolder held;
    if (!path.empty() && IsFolderOfItsOwn(GetFileAttributesA(path.c_str())))
        held.m_path = FullPathOf(path.c_str());
    return held;
}

HeldFolder HeldFolder::OpenWithoutFollowing(const std::string& path) {
    return Open(path);
}

HeldFolder::HeldFolder(HeldFolder&& other) noexcept
    : m_descriptor(std::exchange(other.m_descriptor, -1)), m_path(std::move(other.m_path)) {}

HeldFolder& HeldFolder::operator=(HeldFolder&& other) noexcept {
    m_descriptor = std::exchange(other.m_descriptor, -1);
    m_path = std::move(other.m_path);
    return *this;
}

HeldFolder::~HeldFolder() = default;

bool HeldFolder::Valid() const {
    return !m_path.empty();
}

bool HeldFolder::MakeCurrent() const {
    return Valid() && SetCurrentDirectoryA(m_path.c_str());
}

bool EnterSubfolder(const char* name) {
    if (!name || !IsEntryName(name)) {
        SetLastError(ERROR_INVALID_NAME);
        return false;
    }
    if (!IsFolderOfItsOwn(GetFileAttributesA(name))) {
        SetLastError(ERROR_DIRECTORY);
        return false;
    }
    return SetCurrentDirectoryA(name) != FALSE;
}

bool MoveFolderInto(const char* source, const HeldFolder& target, const std::string& newName) {
    if (!source || !*source || !IsEntryName(newName) || !target.Valid()) {
        SetLastError(ERROR_INVALID_NAME);
        return false;
    }
    return MoveFileA(source, (target.m_path + "\\" + newName).c_str()) != FALSE;
}

// Windows lists a folder in its own order, "." and ".." first, and gives every entry's attributes
// with it; there is nothing to gain by going round the file calls.
struct FolderEntries::State {
    HANDLE handle = INVALID_HANDLE_VALUE;
    WIN32_FIND_DATAA data{};
    bool started = false;
    bool withDots = true;

    bool Advance() {
        if (!started) {
            started = true;
            return true;
        }
        return FindNextFileA(handle, &data) != FALSE;
    }

    bool IsDot() const {
        return std::strcmp(data.cFileName, ".") == 0 || std::strcmp(data.cFileName, "..") == 0;
    }
};

FolderEntries::FolderEntries(Order order) : m_state(std::make_unique<State>()) {
    m_state->withDots = order == Order::Listing;
    m_state->handle = FindFirstFileA("*.*", &m_state->data);
}

FolderEntries::~FolderEntries() {
    if (m_state->handle != INVALID_HANDLE_VALUE)
        FindClose(m_state->handle);
}

bool FolderEntries::Valid() const {
    return m_state->handle != INVALID_HANDLE_VALUE;
}

bool FolderEntries::Next() {
    if (!Valid())
        return false;
    while (m_state->Advance()) {
        if (m_state->withDots || !m_state->IsDot())
            return true;
    }
    return false;
}

const char* FolderEntries::Name() const {
    return m_state->data.cFileName;
}

bool FolderEntries::IsLink() const {
    return (m_state->data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

bool FolderEntries::IsFolder() const {
    return !IsLink() && (m_state->data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY);
}

DWORD FolderEntries::Attributes() {
    return m_state->data.dwFileAttributes;
}

bool FolderEntries::Delete() {
    return DeleteFileA(m_state->data.cFileName) != FALSE;
}

} // namespace brisvane::platform
