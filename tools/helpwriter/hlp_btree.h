// The B+ tree of the WinHelp format, which holds the internal directory and |CONTEXT.
#pragma once

#include "hlp_format.h"

#include <cstdint>
#include <string_view>
#include <vector>

namespace tools::helpwriter {

struct BtreeEntry {
    Bytes key;  // as an index page holds it
    Bytes leaf; // as a leaf page holds it
};

// A B+ tree in the format's layout: leaf pages first, then each level of index pages above
// them, the root last. Entries must come sorted.
Bytes BuildBtree(std::uint16_t flags, std::uint16_t pageSize, std::string_view structure,
                 const std::vector<BtreeEntry>& entries);

} // namespace tools::helpwriter
