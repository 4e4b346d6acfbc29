// The fixed numbers and little-endian encodings of the WinHelp file format that the writer and
// our reader share. tools/helpwriter/README.md describes the layout and its public sources.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tools::helpwriter {

using Bytes = std::vector<std::uint8_t>;

inline constexpr std::uint32_t kFileMagic = 0x00035F3F;
inline constexpr std::uint16_t kBtreeMagic = 0x293B;
inline constexpr std::uint16_t kSystemMagic = 0x036C;
// Minor version 21 with flag 4: a Windows 3.1 file whose topic blocks are LZ77-compressed.
inline constexpr std::uint16_t kSystemMinor = 21;
inline constexpr std::uint16_t kSystemFlagsLz77 = 4;
inline constexpr std::size_t kFileHeaderSize = 9;
inline constexpr std::size_t kBtreeHeaderSize = 38;
inline constexpr std::size_t kTopicBlockSize = 4096;
inline constexpr std::size_t kTopicBlockHeaderSize = 12;
// One compressed topic block expands to at most this many bytes; TOPICPOS values count in it.
inline constexpr std::size_t kDecompressSize = 0x4000;
inline constexpr std::size_t kTopicLinkHeaderSize = 21;
inline constexpr std::size_t kTopicHeaderSize = 28;
inline constexpr std::uint32_t kNoPosition = 0xFFFFFFFF;

enum SystemRecord : std::uint16_t { kSystemTitle = 1, kSystemContents = 3, kSystemWindow = 6 };
// A window record: flags, type[10], name[9], caption[51], five shorts and two colours.
inline constexpr std::size_t kWindowRecordSize = 90;
inline constexpr std::size_t kWindowNameAt = 12;
inline constexpr std::size_t kWindowCaptionAt = 21;
enum TopicRecord : std::uint8_t { kRecordTopicHeader = 0x02, kRecordText = 0x20 };
enum TextCommand : std::uint8_t {
    kCommandFont = 0x80,
    kCommandParagraphEnd = 0x82,
    kCommandHotspotEnd = 0x89,
    kCommandJump = 0xE3,
    kCommandEnd = 0xFF,
};

inline void PutU16(Bytes& out, std::uint32_t value) {
    out.push_back(static_cast<std::uint8_t>(value));
    out.push_back(static_cast<std::uint8_t>(value >> 8));
}

inline void PutU32(Bytes& out, std::uint32_t value) {
    PutU16(out, value & 0xFFFF);
    PutU16(out, value >> 16);
}

inline void SetU32(Bytes& out, std::size_t at, std::uint32_t value) {
    for (int i = 0; i < 4; ++i)
        out[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
}

inline std::uint16_t GetU16(const std::uint8_t* at) {
    return static_cast<std::uint16_t>(at[0] | (at[1] << 8));
}

inline std::uint32_t GetU32(const std::uint8_t* at) {
    return GetU16(at) | (static_cast<std::uint32_t>(GetU16(at + 2)) << 16);
}

// True for the characters Windows 3.1 help allows in a context name: letters, digits, '.', '_'.
bool IsContextNameValid(std::string_view name);

// The hash WinHelp files context names under in |CONTEXT and in topic jumps. Case-insensitive.
// Only meaningful for valid names; the empty name hashes to 1.
std::int32_t ContextHash(std::string_view name);

} // namespace tools::helpwriter
