// The hash index a key keeps over its subkeys or values once they are many: positions in a
// list found by the hash of their case-folded name.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace brisvane::platform::hive {

// Open addressing over positions in the list, with the low half of the hash kept beside each
// so that growing never hashes a name again. The list compares the whole hash and the name.
// The table may have any size, so that it grows by half rather than doubling: a list of a
// million names costs about as many slots, not up to four times as many.
class FoldedIndex {
public:
    static constexpr std::size_t kNone = static_cast<std::size_t>(-1);

    // The position, among those added under hash, for which matches(position) holds.
    template <typename Matches> std::size_t Find(std::uint64_t hash, Matches matches) const {
        if (m_slots.empty())
            return kNone;
        for (std::size_t at = Home(hash);; at = Next(at)) {
            const Slot& slot = m_slots[at];
            if (slot.position == kFree)
                return kNone;
            if (slot.hash == static_cast<std::uint32_t>(hash) && slot.position != kGone &&
                matches(slot.position))
                return slot.position;
        }
    }
    // Room for that many positions before the first Add, so that adding them never grows it.
    void Reserve(std::size_t positions);
    // Whether that many more positions can be added before the table must grow.
    bool HasRoomFor(std::size_t positions) const {
        return (m_taken + positions) * 4 <= m_slots.size() * 3;
    }
    void Add(std::uint64_t hash, std::size_t position);
    // Asks the memory for the slot where adding or finding hash starts, ahead of the call.
    void Prefetch(std::uint64_t hash) const {
        if (!m_slots.empty())
            __builtin_prefetch(&m_slots[Home(hash)]);
    }
    void Remove(std::uint64_t hash, std::size_t position);
    void Clear();

private:
    static constexpr std::uint32_t kFree = 0xFFFFFFFF;
    static constexpr std::uint32_t kGone = 0xFFFFFFFE;
    struct Slot {
        std::uint32_t hash = 0;
        std::uint32_t position = kFree;
    };
    void Grow();
    // Where a hash's search starts: its low half, the one kept, scaled to the table.
    std::size_t Home(std::uint64_t hash) const {
        return static_cast<std::size_t>(((hash & 0xFFFFFFFFu) * m_slots.size()) >> 32);
    }
    std::size_t Next(std::size_t at) const { return at + 1 == m_slots.size() ? 0 : at + 1; }

    std::vector<Slot> m_slots;
    std::size_t m_taken = 0; // positions and the marks removals leave
};

} // namespace brisvane::platform::hive
