// The LZ77 variant of WinHelp topic blocks: each flag byte announces eight items, lowest bit
// first; a clear bit is one literal byte, a set bit a little-endian word holding a copy of
// (word >> 12) + 3 bytes from (word & 0xFFF) + 1 bytes back in the output.
#pragma once

#include "hlp_format.h"

#include <cstddef>

namespace tools::helpwriter {

Bytes CompressLz77(const std::uint8_t* data, std::size_t size);

// Expands until the input ends or limit bytes are out. Throws std::runtime_error on a copy that
// reaches back before the start of the output.
Bytes DecompressLz77(const std::uint8_t* data, std::size_t size, std::size_t limit);

} // namespace tools::helpwriter
