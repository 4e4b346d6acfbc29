// Wine's own registry files (a prefix's system.reg and user.reg), read only. Wine writes them
// as "WINE REGISTRY Version 2": key sections named relative to the file's root, with escapes of
// its own ("\\" between names, "\x..." for characters beyond ASCII). A damaged or odd file never
// crashes or hangs the reading: lines Wine itself would pass over are passed over here too.
#pragma once

#include "platform/posix/hive_key.h"

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <sys/stat.h>
#include <vector>

namespace brisvane::platform::wine {

inline constexpr std::string_view kWineHiveHeader = "WINE REGISTRY Version 2";
// Far beyond any prefix's registry; a larger file is not read at all.
inline constexpr std::size_t kMaxWineHiveSize = std::size_t{256} << 20;

// Which keys a reading keeps, by their names below the file's root; every key when empty.
using WantedKey = std::function<bool(const std::vector<std::string>& path)>;

// One key section as it lies in the file: from the first byte of its "[" line to the first byte
// of the next section's line, or the end of the file.
struct WineSection {
    std::vector<std::string> path; // below the file's root, the names unescaped
    std::size_t begin = 0;
    std::size_t end = 0;
};

struct WineHiveParse {
    bool isWineHive = false; // the first line is Wine's header
    // Lines passed over as Wine passes them over; a value with its continuation lines counts
    // once. The lines of a section that is not wanted are not looked at, nor those of a
    // section whose key line is spoilt or too deep (that line itself is counted).
    std::size_t skippedLines = 0;
    // Every section whose key line could be read, in file order.
    std::vector<WineSection> sections;
};

// Parses the text of a Wine registry file into root: the keys `wanted` accepts, each with its
// values. Text values (the quoted and the str(N) forms) hold the program's 8-bit text (UTF-8)
// followed by one zero byte, as the program's own hives hold them; hex(1), hex(2) and hex(7)
// data, whose bytes are UTF-16, becomes UTF-8 with the zeros it held; dword values four bytes,
// little-endian; other hex data as it is. Names are found without regard to case, as in the
// program's own registry. A line that opens with '[' always starts a section (no value's
// continuation runs into it); the key's name ends at the first ']' no backslash escapes.
WineHiveParse ParseWineHive(std::string_view text, hive::Key& root, const WantedKey& wanted = {});

enum class WineHiveRead { Read, Missing, NotRegular, TooLarge, NotAWineHive, Failed };

// Reads and parses the file at path. Only a regular file is read, the open never waits, and a
// file over kMaxWineHiveSize is refused unread. text and info, when given, receive the bytes
// read and the file's status.
WineHiveRead ReadWineHive(const std::string& path, hive::Key& root, const WantedKey& wanted = {},
                          std::string* text = nullptr, struct stat* info = nullptr);

// The text without the sections of `key` and of every key below it (names compared without
// regard to case); every other byte as it was. `removed`, when given, counts the sections that
// went.
std::string WithoutKey(std::string_view text, const std::vector<std::string>& key,
                       std::size_t* removed = nullptr);

// The text of a REG_SZ or REG_EXPAND_SZ value without its closing zero; none when the value is
// missing or of another type.
std::optional<std::string> ValueText(const hive::Key& key, std::string_view name);

} // namespace brisvane::platform::wine
