// The hash index over a key's subkeys or values (folded_index.h).
#include "platform/posix/folded_index.h"

#include <algorithm>

namespace brisvane::platform::hive {

void FoldedIndex::Add(std::uint64_t hash, std::size_t position) {
    if (!HasRoomFor(1))
        Grow();
    for (std::size_t at = Home(hash);; at = Next(at)) {
        if (m_slots[at].position == kFree) {
            m_slots[at] = {static_cast<std::uint32_t>(hash), static_cast<std::uint32_t>(position)};
            ++m_taken;
            return;
        }
    }
}

void FoldedIndex::Remove(std::uint64_t hash, std::size_t position) {
    if (m_slots.empty())
        return;
    for (std::size_t at = Home(hash);; at = Next(at)) {
        Slot& slot = m_slots[at];
        if (slot.position == kFree)
            return;
        if (slot.hash == static_cast<std::uint32_t>(hash) && slot.position == position) {
            slot.position = kGone;
            return;
        }
    }
}

void FoldedIndex::Reserve(std::size_t positions) {
    // Two thirds full once they are all in.
    const std::size_t size = std::max<std::size_t>(16, (positions + 1) * 3 / 2);
    if (size > m_slots.size() && m_taken == 0)
        m_slots.assign(size, Slot{});
}

void FoldedIndex::Clear() {
    m_slots.clear();
    m_taken = 0;
}

void FoldedIndex::Grow() {
    std::vector<Slot> old = std::move(m_slots);
    std::size_t live = 0;
    for (const Slot& slot : old)
        live += slot.position != kFree && slot.position != kGone;
    // Half full after growing, three quarters before the next growth.
    const std::size_t size = std::max<std::size_t>(16, (live + 1) * 2);
    m_slots.assign(size, Slot{});
    m_taken = 0;
    for (const Slot& slot : old)
        if (slot.position != kFree && slot.position != kGone)
            Add(slot.hash, slot.position);
}

} // namespace brisvane::platform::hive
