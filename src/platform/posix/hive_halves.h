// Reading one key of a large hive with both halves of its text read at once, each on a core of
// its own. What the second half does to the key is kept and applied after the first half, so
// the key, and the fault named for a damaged hive, are those of reading it in turn. The second
// half takes the key section its first lines belong to from the last section line before it.
#pragma once

#include "platform/posix/hive_one_key.h"
#include "platform/posix/reg_text.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace brisvane::platform::hive {

struct HalvesRead {
    std::optional<ParseError> fault; // the first fault, as reading in turn names it
    bool failed = false;             // a read failed
};

// Reads the size bytes of fd through applier, which cuts the edits down to the key at path.
// Nothing when the text is not worth cutting (small, or in the UTF-16 form) or has no place
// near its middle to cut at: then nothing was applied, and it is to be read in turn.
std::optional<HalvesRead> ReadKeyInHalves(int fd, std::uint64_t size, std::string_view rootName,
                                          const std::vector<std::string>& path,
                                          const std::optional<std::string>& onlyValue,
                                          OneKeyApplier& applier);

// Where 8-bit text may be cut in two, given the bytes from its middle on: at the start of a line
// that the line before does not go on to. From there on the text reads the same whatever comes
// before it, once the key section its first lines belong to is known. Nothing when no such
// place lies in window.
std::optional<std::size_t> CutPlace(std::string_view window);

// Whether a '[' with these bytes before it starts a key section line: only spaces or tabs before
// it on its line, not the first line, and the line before does not go on to it. before holds
// the bytes just before the '[', all of them when wholeFileBefore. Nothing when they cannot
// tell.
std::optional<bool> StartsSectionLine(std::string_view before, bool wholeFileBefore);

} // namespace brisvane::platform::hive
