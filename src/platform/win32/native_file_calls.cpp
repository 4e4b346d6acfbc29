#include "platform/win32/native_file_calls.h"

#include <cstddef>
#include <vector>

namespace brisvane::platform::win32 {

namespace {

bool Fail(DWORD error) {
    SetLastError(error);
    return false;
}

// The native calls behind what Windows XP's kernel32 has no call for, and the Vista one that
// names a handle's file best.
struct IoStatus {
    union {
        LONG status;
        void* pointer;
    };
    ULONG_PTR information;
};
using FileInformationCall = LONG(NTAPI*)(HANDLE, IoStatus*, void*, ULONG, int);
using StatusToErrorCall = ULONG(NTAPI*)(LONG);
using FinalPathCall = DWORD(WINAPI*)(HANDLE, LPWSTR, DWORD, DWORD);

template <typename Call> Call Export(const char* module, const char* name) {
    const HMODULE loaded = GetModuleHandleA(module);
    return loaded
               ? reinterpret_cast<Call>(reinterpret_cast<void (*)()>(GetProcAddress(loaded, name)))
               : nullptr;
}

struct NativeCalls {
    FileInformationCall query = Export<FileInformationCall>("ntdll.dll", "NtQueryInformationFile");
    FileInformationCall set = Export<FileInformationCall>("ntdll.dll", "NtSetInformationFile");
    StatusToErrorCall toError = Export<StatusToErrorCall>("ntdll.dll", "RtlNtStatusToDosError");
    FinalPathCall finalPath = Export<FinalPathCall>("kernel32.dll", "GetFinalPathNameByHandleW");
};

const NativeCalls& Native() {
    static const NativeCalls calls;
    return calls;
}

} // namespace

bool SetInformation(HANDLE handle, void* data, ULONG size, int kind) {
    if (!Native().set || !Native().toError)
        return Fail(ERROR_CALL_NOT_IMPLEMENTED);
    IoStatus io{};
    const LONG status = Native().set(handle, &io, data, size, kind);
    return status >= 0 || Fail(Native().toError(status));
}

std::wstring Wide(std::string_view text) {
    if (text.empty())
        return {};
    const int size = static_cast<int>(text.size());
    const int length = MultiByteToWideChar(CP_ACP, 0, text.data(), size, nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    if (length <= 0 ||
        MultiByteToWideChar(CP_ACP, 0, text.data(), size, wide.data(), length) != length)
        return {};
    return wide;
}

bool SameText(const std::wstring& a, const std::wstring& b) {
    return CompareStringW(LOCALE_INVARIANT, NORM_IGNORECASE, a.data(), static_cast<int>(a.size()),
                          b.data(), static_cast<int>(b.size())) == CSTR_EQUAL;
}

std::wstring RealName(HANDLE handle) {
    if (Native().finalPath) {
        std::vector<wchar_t> buffer(MAX_PATH);
        for (int attempt = 0; attempt < 2; ++attempt) {
            const DWORD length =
                Native().finalPath(handle, buffer.data(), static_cast<DWORD>(buffer.size()), 0);
            if (length == 0)
                break;
            if (length < buffer.size())
                return std::wstring(buffer.data(), length);
            buffer.resize(length + 1);
        }
    }
    // Before Vista: the name within its volume, whose serial number is compared beside it.
    if (!Native().query)
        return {};
    std::vector<ULONG> buffer(1 + 32768 / 2);
    IoStatus io{};
    if (Native().query(handle, &io, buffer.data(),
                       static_cast<ULONG>(buffer.size() * sizeof(ULONG)), kFileNameInformation) < 0)
        return {};
    return std::wstring(reinterpret_cast<const wchar_t*>(buffer.data() + 1),
                        buffer[0] / sizeof(wchar_t));
}

} // namespace brisvane::platform::win32
