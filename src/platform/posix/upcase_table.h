// The upper-case table that name comparison uses, kept compact as runs of code units that
// share one offset. Written by tools/make_upcase_table.py.
#pragma once

#include <cstddef>
#include <cstdint>

namespace brisvane::platform::posix {

// Every stride-th code unit from first to last upper-cases to itself plus delta; the units in
// between (where stride is 2) have no upper-case form of their own.
struct UpcaseRun {
    char16_t first;
    char16_t last;
    std::int32_t delta;
    std::uint8_t stride;
};

// Sorted by first, never overlapping.
extern const UpcaseRun kUpcaseRuns[];
extern const std::size_t kUpcaseRunCount;

} // namespace brisvane::platform::posix
