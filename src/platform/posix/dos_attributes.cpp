#include "platform/posix/dos_attributes.h"

#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/syscall.h>
#include <sys/xattr.h>
#include <unistd.h>

// The attribute read relative to a folder descriptor (Linux 6.13); older headers lack it.
#ifndef SYS_getxattrat
#if defined(__alpha__)
#define SYS_getxattrat 574
#else
#define SYS_getxattrat 464
#endif
#endif

namespace brisvane::platform::posix {

namespace {

constexpr const char* kDosAttribName = "user.DOSATTRIB";
constexpr DWORD kStoredBits =
    FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;

std::optional<DWORD> ParseHex(std::string_view text) {
    if (text.size() < 3 || text[0] != '0' || (text[1] != 'x' && text[1] != 'X'))
        return std::nullopt;
    DWORD value = 0;
    for (std::size_t i = 2; i < text.size(); ++i) {
        const char c = text[i];
        int digit = 0;
        if (c >= '0' && c <= '9')
            digit = c - '0';
        else if (c >= 'a' && c <= 'f')
            digit = c - 'a' + 10;
        else if (c >= 'A' && c <= 'F')
            digit = c - 'A' + 10;
        else
            return std::nullopt;
        value = (value << 4) | static_cast<DWORD>(digit);
    }
    return value;
}

std::uint32_t ReadLittleEndian(std::string_view bytes, std::size_t offset, std::size_t size) {
    std::uint32_t value = 0;
    for (std::size_t i = 0; i < size; ++i)
        value |= static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[offset + i]))
                 << (8 * i);
    return value;
}

std::size_t AlignUp(std::size_t offset, std::size_t alignment) {
    return (offset + alignment - 1) / alignment * alignment;
}

// Samba's NDR layout: the hex text with its closing zero, the version (16 bits, aligned to 2),
// the union's level (16 bits), then the info structure aligned to 4. Version 1 starts with the
// attributes; versions 2 to 5 start with a flags word and then the attributes.
std::optional<DWORD> ParseBlob(std::string_view value, std::size_t textEnd) {
    std::size_t offset = AlignUp(textEnd + 1, 2);
    if (offset + 4 > value.size())
        return std::nullopt;
    const std::uint32_t version = ReadLittleEndian(value, offset, 2);
    const std::uint32_t level = ReadLittleEndian(value, offset + 2, 2);
    if (version < 1 || version > 5 || level != version)
        return std::nullopt;
    offset = AlignUp(offset + 4, 4);
    if (version > 1)
        offset += 4;
    if (offset + 4 > value.size())
        return std::nullopt;
    return ReadLittleEndian(value, offset, 4);
}

std::optional<DWORD> ParseRead(const char* buffer, ssize_t size) {
    if (size < 0)
        return std::nullopt;
    return ParseDosAttrib(std::string_view(buffer, static_cast<std::size_t>(size)));
}

// The argument block of getxattrat.
struct XattrArgs {
    std::uint64_t value;
    std::uint32_t size;
    std::uint32_t flags;
};

// Set once the kernel turns out not to know getxattrat.
std::atomic<bool> g_noGetxattrat{false};

// Without /proc, the entry itself is opened, never through a link and without waiting on a
// pipe, and its attribute read from that descriptor.
std::optional<DWORD> ReadThroughOpen(int folder, const char* name) {
    const int entry =
        openat(folder, name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (entry < 0)
        return std::nullopt;
    char buffer[256];
    const ssize_t size = fgetxattr(entry, kDosAttribName, buffer, sizeof buffer);
    close(entry);
    return ParseRead(buffer, size);
}

// The attributes made from an entry's lstat, its name, its stored bits and, for a link,
// whether it leads to a folder.
DWORD AttributesFrom(const struct stat& st, std::string_view name, std::optional<DWORD> stored,
                     bool linkToFolder) {
    DWORD attributes = 0;
    if (S_ISLNK(st.st_mode)) {
        attributes |= FILE_ATTRIBUTE_REPARSE_POINT;
        if (linkToFolder)
            attributes |= FILE_ATTRIBUTE_DIRECTORY;
    } else if (S_ISDIR(st.st_mode)) {
        attributes |= FILE_ATTRIBUTE_DIRECTORY;
    } else if (!(st.st_mode & S_IWUSR)) {
        attributes |= FILE_ATTRIBUTE_READONLY;
    }

    const bool dotEntry = name == "." || name == "..";
    // Samba keeps the read-only bit there too, beside the mode bits: either makes it read-only.
    if (stored)
        attributes |= *stored & kStoredBits;
    else if (!dotEntry && !name.empty() && name.front() == '.')
        attributes |= FILE_ATTRIBUTE_HIDDEN;

    return attributes == 0 ? FILE_ATTRIBUTE_NORMAL : attributes;
}

} // namespace

std::optional<DWORD> ParseDosAttrib(std::string_view value) {
    const std::size_t textEnd = value.find('\0');
    if (textEnd != std::string_view::npos && textEnd + 1 < value.size()) {
        if (const auto bits = ParseBlob(value, textEnd))
            return bits;
    }
    return ParseHex(value.substr(0, textEnd));
}

std::optional<DWORD> ReadDosAttrib(const std::string& path, bool followLink) {
    char buffer[256];
    const ssize_t size = followLink
                             ? getxattr(path.c_str(), kDosAttribName, buffer, sizeof buffer)
                             : lgetxattr(path.c_str(), kDosAttribName, buffer, sizeof buffer);
    return ParseRead(buffer, size);
}

std::optional<DWORD> ReadDosAttribAt(int folder, const char* name) {
    char buffer[256];
    if (!g_noGetxattrat.load(std::memory_order_relaxed)) {
        XattrArgs args{reinterpret_cast<std::uintptr_t>(buffer), sizeof buffer, 0};
        const long size = syscall(SYS_getxattrat, folder, name, AT_SYMLINK_NOFOLLOW, kDosAttribName,
                                  &args, sizeof args);
        if (size >= 0 || errno != ENOSYS)
            return ParseRead(buffer, static_cast<ssize_t>(size));
        g_noGetxattrat.store(true, std::memory_order_relaxed);
    }
    // Through the folder's descriptor in /proc: the kernel looks up only the name there.
    const std::string path = "/proc/self/fd/" + std::to_string(folder) + "/" + name;
    const ssize_t size = lgetxattr(path.c_str(), kDosAttribName, buffer, sizeof buffer);
    if (size < 0 && (errno == ENOENT || errno == ENOTDIR) && access("/proc/self/fd", F_OK) != 0)
        return ReadThroughOpen(folder, name);
    return ParseRead(buffer, size);
}

bool WriteDosAttrib(const std::string& path, DWORD bits, bool followLink) {
    char text[16];
    const int length =
        std::snprintf(text, sizeof text, "0x%x", static_cast<unsigned>(bits & kStoredBits));
    const auto size = static_cast<std::size_t>(length);
    if ((followLink ? setxattr(path.c_str(), kDosAttribName, text, size, 0)
                    : lsetxattr(path.c_str(), kDosAttribName, text, size, 0)) == 0)
        return true;
    // No extended attributes here (or none on a symbolic link): the bits simply can't be kept.
    return errno == ENOTSUP || errno == EPERM;
}

DWORD AttributesOf(const std::string& path, std::string_view name, const struct stat& st) {
    if (S_ISLNK(st.st_mode)) {
        // A symbolic link can't carry user attributes; don't ask.
        struct stat target;
        const bool toFolder = stat(path.c_str(), &target) == 0 && S_ISDIR(target.st_mode);
        return AttributesFrom(st, name, std::nullopt, toFolder);
    }
    return AttributesFrom(st, name, ReadDosAttrib(path), false);
}

DWORD AttributesAt(int folder, const char* name, const struct stat& st) {
    if (S_ISLNK(st.st_mode)) {
        struct stat target;
        const bool toFolder = fstatat(folder, name, &target, 0) == 0 && S_ISDIR(target.st_mode);
        return AttributesFrom(st, name, std::nullopt, toFolder);
    }
    return AttributesFrom(st, name, ReadDosAttribAt(folder, name), false);
}

} // namespace brisvane::platform::posix
