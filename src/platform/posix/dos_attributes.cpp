#include "platform/posix/dos_attributes.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <linux/limits.h>
#include <mutex>
#include <string>
#include <sys/syscall.h>
#include <sys/xattr.h>
#include <unistd.h>
#include <vector>

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

// What a value read says; one that is neither form can't be told.
StoredDosAttrib Interpret(std::string_view value) {
    if (const auto bits = ParseDosAttrib(value))
        return {StoredDosAttrib::State::Bits, *bits};
    return {StoredDosAttrib::State::Unknown, 0};
}

// The value read as `get` reads it (as getxattr does, into a buffer of the given size), whole:
// first into a small buffer, then, when it is longer, into one as long as the longest value
// Linux keeps. Nothing when this way could not tell, so that the next way is tried.
template <typename Get> std::optional<StoredDosAttrib> ReadWhole(Get get) {
    char small[256];
    ssize_t size = get(small, sizeof small);
    if (size >= 0)
        return Interpret(std::string_view(small, static_cast<std::size_t>(size)));
    if (errno == ERANGE) {
        std::vector<char> large(XATTR_SIZE_MAX);
        size = get(large.data(), large.size());
        if (size >= 0)
            return Interpret(std::string_view(large.data(), static_cast<std::size_t>(size)));
    }
    if (errno == ENODATA)
        return StoredDosAttrib{};
    // ENOTSUP is EOPNOTSUPP on Linux: a file system that keeps no extended attributes.
    if (errno == ENOTSUP)
        return StoredDosAttrib{StoredDosAttrib::State::None, 0, true};
    return std::nullopt;
}

// The argument block of getxattrat.
struct XattrArgs {
    std::uint64_t value;
    std::uint32_t size;
    std::uint32_t flags;
};

// Set once the kernel turns out not to know getxattrat.
std::atomic<bool> g_noGetxattrat{false};

std::optional<StoredDosAttrib> ReadRelative(int folder, const char* name) {
    if (g_noGetxattrat.load(std::memory_order_relaxed))
        return std::nullopt;
    return ReadWhole([&](char* buffer, std::size_t size) -> ssize_t {
        XattrArgs args{reinterpret_cast<std::uintptr_t>(buffer), static_cast<std::uint32_t>(size),
                       0};
        const long read = syscall(SYS_getxattrat, folder, name, AT_SYMLINK_NOFOLLOW, kDosAttribName,
                                  &args, sizeof args);
        if (read < 0 && errno == ENOSYS)
            g_noGetxattrat.store(true, std::memory_order_relaxed);
        return read;
    });
}

// Through the folder's descriptor in /proc: the kernel looks up only the name there.
std::optional<StoredDosAttrib> ReadThroughProc(int folder, const char* name) {
    const std::string path = "/proc/self/fd/" + std::to_string(folder) + "/" + name;
    return ReadWhole([&](char* buffer, std::size_t size) {
        return lgetxattr(path.c_str(), kDosAttribName, buffer, size);
    });
}

// The entry itself opened, never through a link and without waiting on a pipe, and its
// attribute read from that descriptor.
std::optional<StoredDosAttrib> ReadThroughOpen(int folder, const char* name) {
    const int entry =
        openat(folder, name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (entry < 0)
        return std::nullopt;
    const auto stored = ReadWhole([&](char* buffer, std::size_t size) {
        return fgetxattr(entry, kDosAttribName, buffer, size);
    });
    close(entry);
    return stored;
}

// The attributes made from an entry's lstat, its name, its stored bits and, for a link,
// whether it leads to a folder.
DWORD AttributesFrom(const struct stat& st, std::string_view name, const StoredDosAttrib& stored,
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
    const bool dotHidden = !dotEntry && !name.empty() && name.front() == '.';
    switch (stored.state) {
    case StoredDosAttrib::State::Bits:
        // Samba keeps the read-only bit there too, beside the mode bits: either makes it
        // read-only.
        attributes |= stored.bits & kStoredBits;
        break;
    case StoredDosAttrib::State::None:
        if (dotHidden)
            attributes |= FILE_ATTRIBUTE_HIDDEN;
        break;
    case StoredDosAttrib::State::Unknown:
        // It may say read-only, hidden or system: read-only keeps the file, as any of them would.
        attributes |= FILE_ATTRIBUTE_READONLY | (dotHidden ? FILE_ATTRIBUTE_HIDDEN : 0);
        break;
    }

    return attributes == 0 ? FILE_ATTRIBUTE_NORMAL : attributes;
}

constexpr StoredDosAttrib kUnknown{StoredDosAttrib::State::Unknown, 0};

// The file systems, by device, that answered that they keep no extended attributes: none of
// their files can carry stored bits, so they are not asked again (on ramfs that read was a
// sixth of a purge's time). Any other failure is asked again, file by file.
class FileSystemsKeepingNone {
public:
    bool Has(dev_t device) {
        if (!m_any.load(std::memory_order_acquire))
            return false;
        const std::lock_guard lock(m_mutex);
        return std::find(m_devices.begin(), m_devices.end(), device) != m_devices.end();
    }

    void Add(dev_t device) {
        const std::lock_guard lock(m_mutex);
        if (std::find(m_devices.begin(), m_devices.end(), device) == m_devices.end())
            m_devices.push_back(device);
        m_any.store(true, std::memory_order_release);
    }

private:
    std::atomic<bool> m_any{false};
    std::mutex m_mutex;
    std::vector<dev_t> m_devices;
};

FileSystemsKeepingNone g_keepingNone;

// What is stored on the entry whose lstat is `st`, as `read` reads it, unless its file system
// has already said that it keeps none.
template <typename Read> StoredDosAttrib StoredOn(const struct stat& st, Read read) {
    if (g_keepingNone.Has(st.st_dev))
        return StoredDosAttrib{StoredDosAttrib::State::None, 0, true};
    const StoredDosAttrib stored = read();
    if (stored.keptByNone)
        g_keepingNone.Add(st.st_dev);
    return stored;
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

StoredDosAttrib ReadDosAttrib(const std::string& path) {
    if (const auto stored = ReadWhole([&](char* buffer, std::size_t size) {
            return lgetxattr(path.c_str(), kDosAttribName, buffer, size);
        }))
        return *stored;
    // The other ways go through the entry's folder.
    const std::size_t slash = path.rfind('/');
    const std::string folderPath = slash == std::string::npos ? "."
                                   : slash == 0               ? "/"
                                                              : path.substr(0, slash);
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    const int folder = open(folderPath.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    if (folder < 0)
        return kUnknown;
    const StoredDosAttrib stored = ReadDosAttribAt(folder, name.c_str());
    close(folder);
    return stored;
}

StoredDosAttrib ReadDosAttribAt(int folder, const char* name) {
    for (const auto way : {ReadRelative, ReadThroughProc, ReadThroughOpen}) {
        if (const auto stored = way(folder, name))
            return *stored;
    }
    return kUnknown;
}

bool ReadDosAttribValue(int descriptor, std::optional<std::string>& value) {
    // Its size asked first, and asked again should it grow before it is read.
    for (int attempt = 0; attempt < 8; ++attempt) {
        const ssize_t size = fgetxattr(descriptor, kDosAttribName, nullptr, 0);
        if (size < 0) {
            if (errno != ENODATA && errno != ENOTSUP)
                return false;
            value.reset();
            return true;
        }
        std::string bytes(static_cast<std::size_t>(size), '\0');
        const ssize_t read =
            size == 0 ? 0 : fgetxattr(descriptor, kDosAttribName, bytes.data(), bytes.size());
        if (read >= 0) {
            bytes.resize(static_cast<std::size_t>(read));
            value = std::move(bytes);
            return true;
        }
        if (errno != ERANGE)
            return false;
    }
    return false;
}

bool WriteDosAttrib(int descriptor, DWORD bits) {
    char text[16];
    const int length =
        std::snprintf(text, sizeof text, "0x%x", static_cast<unsigned>(bits & kStoredBits));
    if (fsetxattr(descriptor, kDosAttribName, text, static_cast<std::size_t>(length), 0) == 0)
        return true;
    // No extended attributes here: the bits simply can't be kept.
    return errno == ENOTSUP;
}

bool RestoreDosAttrib(int descriptor, const std::optional<std::string>& value) {
    if (value)
        return fsetxattr(descriptor, kDosAttribName, value->data(), value->size(), 0) == 0;
    return fremovexattr(descriptor, kDosAttribName) == 0 || errno == ENODATA || errno == ENOTSUP;
}

DWORD AttributesOf(const std::string& path, std::string_view name, const struct stat& st) {
    if (S_ISLNK(st.st_mode)) {
        // A symbolic link can't carry user attributes; don't ask.
        struct stat target;
        const bool toFolder = stat(path.c_str(), &target) == 0 && S_ISDIR(target.st_mode);
        return AttributesFrom(st, name, StoredDosAttrib{}, toFolder);
    }
    return AttributesFrom(st, name, StoredOn(st, [&] { return ReadDosAttrib(path); }), false);
}

DWORD AttributesAt(int folder, const char* name, const struct stat& st) {
    if (S_ISLNK(st.st_mode)) {
        struct stat target;
        const bool toFolder = fstatat(folder, name, &target, 0) == 0 && S_ISDIR(target.st_mode);
        return AttributesFrom(st, name, StoredDosAttrib{}, toFolder);
    }
    return AttributesFrom(st, name, StoredOn(st, [&] { return ReadDosAttribAt(folder, name); }),
                          false);
}

} // namespace brisvane::platform::posix
