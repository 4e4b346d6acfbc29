// The hash index over a key's subkeys or values (folded_index.h).
#include "platform/posix/folded_index.h"

namespace brisvane::platform::hive {

void FoldedIndex::Add(std::uint64_t hash, std::size_t position) {
    if ((m_taken + 1) * 4 > m_slots.size() * 3)
        Grow();
    for (std::size_t at = hash & (m_slots.size() - 1);; at = (at + 1) & (m_slots.size() - 1)) {
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
    for (std::size_t at = hash & (m_slots.size() - 1);; at = (at + 1) & (m_slots.size() - 1)) {
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
    std::size_t size = 16;
    while (size * 3 < (positions + 1) * 4)
        size *= 2;
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
    // Half full after growing: a large list's index is the size of the list, not twice it.
    std::size_t size = 16;
    while (size < (live + 1) * 2)
        size *= 2;
    m_slots.assign(size, Slot{});
    m_taken = 0;
    for (const Slot& slot : old)
        if (slot.position != kFree && slot.position != kGone)
            Add(slot.hash, slot.position);
}

} // namespace brisvane::platform::hive
