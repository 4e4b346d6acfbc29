// The in-memory registry: a key with its values and subkeys, found by name without regard to
// case through a hash index once there are many.
#pragma once

#include "platform/posix/folded_index.h"
#include "platform/posix/hive_store.h"
#include "platform/posix/name_case.h"
#include "platform/posix/win32_types.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <memory_resource>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace brisvane::platform::hive {

// Registry names compare without regard to case, as Windows compares them.
inline bool NamesEqual(std::string_view a, std::string_view b) {
    return posix::NamesEqualIgnoringCase(a, b);
}

// The deepest a key may lie below its root, as on Windows: a hive holding a deeper key is
// damaged, and creating one is refused.
inline constexpr std::size_t kMaxKeyDepth = 512;

// Whether `part` may name a key: at most 255 bytes, as on Windows, and on one line of the hive
// file.
inline bool IsKeyNamePart(std::string_view part) {
    return part.size() <= 255 && part.find_first_of("\r\n") == std::string_view::npos;
}

// A value as the tree keeps it: its name and data lie in the tree's arena.
struct Value {
    StoredText name;
    DWORD type = REG_NONE;
    StoredBytes data;
};

// A key keeps the case of the name it was created with; its subkeys are listed in the order
// Windows lists them (case-insensitive), its values in the order they were first set. Values,
// and subkeys while they come out of order, are found by the hash of their case-folded name,
// so that a key of any size answers in about the same time; a key with few entries just
// compares them in turn. Subkeys in order, as an import of a sorted file brings them and as
// every settled key holds them, go without the hash: a new last name needs no lookup, any other
// is found by bisection.
//
// A key made by the constructor is the root of a tree and holds the arena every key, name and
// datum below it lies in; a large hive is mostly keys, so a key is kept small and what few keys
// need lies apart (Extras). What is removed or replaced stays in the arena until the tree goes.
//
// Removals leave holes and additions out of order leave the subkeys unsorted: the lists are
// put in order by Settle, which whoever lists them (Subkeys, Values) calls first, after the
// last change. A settled tree may be read by many threads at once.
class Key {
public:
    explicit Key(std::string_view name = {});
    // Subkeys are let go one by one rather than by nested destructors, however deep they lie.
    ~Key();
    Key(Key&&) noexcept;
    Key& operator=(Key&& other) noexcept;

    StoredText Name() const { return m_name; }

    Key* FindSubkey(std::string_view name);
    const Key* FindSubkey(std::string_view name) const;
    // The existing subkey of that name, or a new one.
    Key& AddSubkey(std::string_view name, bool* created = nullptr);
    // Removes the subkey with everything below it.
    bool RemoveSubkey(std::string_view name);
    // Whether any subkey is left, settled or not.
    bool HasSubkeys() const { return m_subkeys.size() > RemovedSubkeys(); }

    // The key at path below this one, or null.
    Key* Find(const std::vector<std::string>& path);
    const Key* Find(const std::vector<std::string>& path) const;
    // Creates every missing key on the way; created tells whether the last one was new.
    Key& Create(const std::vector<std::string>& path, bool* created = nullptr);

    const Value* FindValue(std::string_view name) const;
    // Replaces the data and type of an existing value, keeping the case of its name. Returns
    // false when the value already held that type and those bytes: nothing changed.
    bool SetValue(std::string_view name, DWORD type, const std::vector<BYTE>& data);
    bool RemoveValue(std::string_view name);

    // Puts the lists of this key and of every key below it in order and closes their holes.
    void Settle();
    bool Settled() const {
        const Extras* extras = ExtrasOrNull();
        return !SubkeysUnsorted() &&
               (!extras || (extras->removedSubkeys == 0 && extras->valueHoles.empty()));
    }
    // The lists of a settled key (checked in debug builds).
    std::span<Key* const> Subkeys() const;
    std::span<const Value> Values() const;

private:
    // What only some keys need: the arena of a root, the indexes of a key with many entries,
    // what removals left to settle.
    struct Extras {
        std::pmr::memory_resource* store = nullptr; // the tree's
        std::unique_ptr<std::pmr::monotonic_buffer_resource> ownStore;
        std::unique_ptr<FoldedIndex> subkeyIndex;
        std::unique_ptr<FoldedIndex> valueIndex;
        std::vector<std::uint32_t> valueHoles;
        std::uint32_t removedSubkeys = 0;
    };

    // m_link holds the Extras when the key has them (which lead to the store), else the
    // store itself; its low bits say which, and whether the subkeys need a sort.
    static constexpr std::uintptr_t kHasExtras = 1;
    static constexpr std::uintptr_t kUnsorted = 2;
    static constexpr std::uintptr_t kFlags = kHasExtras | kUnsorted;

    Key(std::string_view name, std::pmr::memory_resource& store);
    Extras* ExtrasOrNull() const {
        return (m_link & kHasExtras) ? reinterpret_cast<Extras*>(m_link & ~kFlags) : nullptr;
    }
    Extras& Extra();
    std::pmr::memory_resource& Store() const {
        const Extras* extras = ExtrasOrNull();
        return extras ? *extras->store
                      : *reinterpret_cast<std::pmr::memory_resource*>(m_link & ~kFlags);
    }
    bool SubkeysUnsorted() const { return (m_link & kUnsorted) != 0; }
    void SetSubkeysUnsorted(bool unsorted) {
        m_link = unsorted ? m_link | kUnsorted : m_link & ~kUnsorted;
    }
    std::uint32_t RemovedSubkeys() const {
        const Extras* extras = ExtrasOrNull();
        return extras ? extras->removedSubkeys : 0;
    }
    // Lets go of the Extras and what they hold.
    void DropExtras();
    FoldedIndex* SubkeyIndex() const {
        const Extras* extras = ExtrasOrNull();
        return extras ? extras->subkeyIndex.get() : nullptr;
    }
    FoldedIndex* ValueIndex() const {
        const Extras* extras = ExtrasOrNull();
        return extras ? extras->valueIndex.get() : nullptr;
    }
    static void ReleaseSubkeys(std::span<Key*> subkeys);
    // Where name lies in the list: through the index, by bisection in a long list without one,
    // or name by name in a short one. hash is the name's, needed only with an index.
    std::size_t SubkeyAt(std::string_view name, std::uint64_t hash) const;
    // Whether the subkeys may go without an index: a short list, or a long one in order and
    // without holes, which a lookup bisects.
    bool BisectableSubkeys() const;
    std::size_t BisectSubkeys(std::string_view name) const;
    std::size_t ValueAt(std::string_view name, std::uint64_t hash) const;
    bool IsValueHole(std::size_t at) const;
    // Indexes the subkeys when they are many, with room for that many before it is full.
    void IndexSubkeys(std::size_t room = 0);
    void IndexValues();
    void SettleSubkeys();
    void SortSubkeys();
    void SettleValues();

    StoredText m_name;
    // Null where a subkey was removed; the keys themselves lie in the arena.
    StoredList<Key*> m_subkeys;
    StoredList<Value> m_values;
    std::uintptr_t m_link = 0;
};

} // namespace brisvane::platform::hive
