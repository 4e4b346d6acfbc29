#include "platform/posix/dos_attributes.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <sys/xattr.h>

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
    if (size < 0)
        return std::nullopt;
    return ParseDosAttrib(std::string_view(buffer, static_cast<std::size_t>(size)));
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
    DWORD attributes = 0;
    if (S_ISLNK(st.st_mode)) {
        attributes |= FILE_ATTRIBUTE_REPARSE_POINT;
        struct stat target;
        if (stat(path.c_str(), &target) == 0 && S_ISDIR(target.st_mode))
            attributes |= FILE_ATTRIBUTE_DIRECTORY;
    } else if (S_ISDIR(st.st_mode)) {
        attributes |= FILE_ATTRIBUTE_DIRECTORY;
    } else if (!(st.st_mode & S_IWUSR)) {
        attributes |= FILE_ATTRIBUTE_READONLY;
    }

    const bool dotEntry = name == "." || name == "..";
    // A symbolic link can't carry user attributes; don't ask.
    const auto stored = S_ISLNK(st.st_mode) ? std::nullopt : ReadDosAttrib(path);
    // Samba keeps the read-only bit there too, beside the mode bits: either makes it read-only.
    if (stored)
        attributes |= *stored & kStoredBits;
    else if (!dotEntry && !name.empty() && name.front() == '.')
        attributes |= FILE_ATTRIBUTE_HIDDEN;

    return attributes == 0 ? FILE_ATTRIBUTE_NORMAL : attributes;
}

} // namespace brisvane::platform::posix
