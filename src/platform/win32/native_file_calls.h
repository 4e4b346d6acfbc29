// The file calls that the walks on Windows make below kernel32: a handle that closes itself, the
// native calls Windows XP's kernel32 has no call for (the name a handle is open on, deleting and
// renaming through a handle, changing attributes through one), looked up when first needed so
// that the program still loads where one is missing.
#pragma once

#include "platform/win32.h"

#include <string>
#include <string_view>
#include <utility>

namespace brisvane::platform::win32 {

inline constexpr int kFileBasicInformation = 4;
inline constexpr int kFileNameInformation = 9;
inline constexpr int kFileRenameInformation = 10;
inline constexpr int kFileDispositionInformation = 13;

class Handle {
public:
    Handle() = default;
    explicit Handle(HANDLE handle) : m_handle(handle) {}
    Handle(Handle&& other) noexcept : m_handle(other.Release()) {}
    Handle& operator=(Handle&& other) noexcept {
        std::swap(m_handle, other.m_handle);
        return *this;
    }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    ~Handle() {
        if (Valid())
            CloseHandle(m_handle);
    }

    bool Valid() const { return m_handle != INVALID_HANDLE_VALUE; }
    HANDLE Get() const { return m_handle; }
    HANDLE Release() { return std::exchange(m_handle, INVALID_HANDLE_VALUE); }

private:
    HANDLE m_handle = INVALID_HANDLE_VALUE;
};

// What FileRenameInformation takes: the new name follows the structure.
struct RenameInformation {
    BOOLEAN replaceIfExists;
    HANDLE rootDirectory;
    ULONG fileNameLength;
    WCHAR fileName[1];
};

// Sets information of the `kind` given on the file `handle` is open on; false, with the error
// set, when the system refuses or has no such call.
bool SetInformation(HANDLE handle, void* data, ULONG size, int kind);

// `text` in the ANSI code page as UTF-16; empty when it cannot be converted.
std::wstring Wide(std::string_view text);

// Whether two names are the same without regard to case, as the file system compares them.
bool SameText(const std::wstring& a, const std::wstring& b);

// The name of the file a handle is open on, as the system has it now: where Windows opened a
// link itself it is the link's name, where it followed one (as Wine does with a Unix symbolic
// link, whatever it was asked) the name of what the link leads to. Empty when it can't be had.
std::wstring RealName(HANDLE handle);

} // namespace brisvane::platform::win32
