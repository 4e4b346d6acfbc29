// The in-memory form of a registry hive, and the .reg text it is kept in: parsing both the
// REGEDIT4 and the "Windows Registry Editor Version 5.00" forms, writing REGEDIT4.
#pragma once

#include "platform/posix/win32_types.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace hive {

// Registry names compare without regard to case, as Windows compares them.
bool NamesEqual(std::string_view a, std::string_view b);

// The deepest a key may lie below its root, as on Windows: a hive holding a deeper key is
// damaged, and creating one is refused.
inline constexpr std::size_t kMaxKeyDepth = 512;

struct Value {
    std::string name;
    DWORD type = REG_NONE;
    std::vector<BYTE> data;
};

// Finds the entries of a list by the hash of their case-folded name: open addressing over
// positions in the list, with the low half of the hash kept beside each so that growing never
// hashes a name again. The list compares the whole hash and the name.
class FoldedIndex {
public:
    static constexpr std::size_t kNone = static_cast<std::size_t>(-1);

    // The position, among those added under hash, for which matches(position) holds.
    template <typename Matches> std::size_t Find(std::uint64_t hash, Matches matches) const {
        if (m_slots.empty())
            return kNone;
        for (std::size_t at = hash & (m_slots.size() - 1);; at = (at + 1) & (m_slots.size() - 1)) {
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
    void Add(std::uint64_t hash, std::size_t position);
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

    std::vector<Slot> m_slots;
    std::size_t m_taken = 0; // positions and the marks removals leave
};

// A key keeps the case of the name it was created with; its subkeys are listed in the order
// Windows lists them (case-insensitive), its values in the order they were first set. Both are
// found by the hash of their case-folded name, so that a key of any size answers in about the
// same time; a key with few entries just compares them in turn.
//
// Removals leave holes and additions out of order leave the subkeys unsorted until the lists
// are next looked at (Subkeys, Values), which settles them: a tree that threads read at once
// must have been settled first (Settle).
class Key {
public:
    explicit Key(std::string name = {});
    // Subkeys are let go one by one rather than by nested destructors, however deep they lie.
    ~Key();
    Key(Key&&) noexcept;
    Key& operator=(Key&& other) noexcept;

    const std::string& Name() const { return m_name; }

    Key* FindSubkey(std::string_view name);
    const Key* FindSubkey(std::string_view name) const;
    // The existing subkey of that name, or a new one.
    Key& AddSubkey(std::string_view name, bool* created = nullptr);
    bool RemoveSubkey(std::string_view name);
    const std::vector<std::unique_ptr<Key>>& Subkeys() const;

    // The key at path below this one, or null.
    Key* Find(const std::vector<std::string>& path);
    const Key* Find(const std::vector<std::string>& path) const;
    // Creates every missing key on the way; created tells whether the last one was new.
    Key& Create(const std::vector<std::string>& path, bool* created = nullptr);

    const Value* FindValue(std::string_view name) const;
    // Replaces the data and type of an existing value, keeping the case of its name. Returns
    // false when the value already held that type and those bytes: nothing changed.
    bool SetValue(std::string_view name, DWORD type, std::vector<BYTE> data);
    bool RemoveValue(std::string_view name);
    const std::vector<Value>& Values() const;

    // Settles the lists of this key and of every key below it.
    void Settle() const;

private:
    static void ReleaseSubkeys(std::vector<std::unique_ptr<Key>>& subkeys);
    std::size_t SubkeyAt(std::string_view name, std::uint64_t hash) const;
    std::size_t ValueAt(std::string_view name, std::uint64_t hash) const;
    bool IsValueHole(std::size_t at) const;
    void IndexSubkeys() const;
    void IndexValues() const;
    void SettleSubkeys() const;
    void SortSubkeys() const;
    void SettleValues() const;

    // A key holds little beyond its lists: a large hive is mostly keys.
    std::string m_name;
    // Null where a subkey was removed.
    mutable std::vector<std::unique_ptr<Key>> m_subkeys;
    mutable std::unique_ptr<FoldedIndex> m_subkeyIndex; // once there are enough to need one
    mutable std::vector<Value> m_values;
    mutable std::unique_ptr<FoldedIndex> m_valueIndex;
    // Where values were removed since the list was last settled.
    mutable std::vector<std::uint32_t> m_valueHoles;
    mutable std::uint32_t m_removedSubkeys = 0;
    mutable bool m_subkeysUnsorted = false;
};

// One change that a .reg document asks for, in document order.
struct RegEdit {
    enum class Kind { CreateKey, DeleteKey, SetValue, DeleteValue };
    Kind kind = Kind::CreateKey;
    std::string rootName; // the first part of the section name, e.g. "HKEY_CURRENT_USER"
    std::vector<std::string> path;
    Value value; // only the name for DeleteValue
    int line = 0;
};

struct ParseError {
    int line = 0;
    std::string reason;
};

// Receives each edit of a document in document order; an error it returns ends the parse
// with that error. The edit is only valid during the call.
using EditSink = std::function<std::optional<ParseError>(const RegEdit& edit)>;

// Reads a whole .reg file as it lies on disk (UTF-16LE with its byte-order mark, or 8-bit),
// handing each edit to sink as it is read. On failure nothing is guaranteed about the edits
// already handed over.
std::optional<ParseError> ParseRegDocument(std::string_view bytes, const EditSink& sink);
// The same, collecting the edits.
std::optional<ParseError> ParseRegDocument(std::string_view bytes, std::vector<RegEdit>& edits);

// Applies edits of one root one at a time, as regedit imports them; edits of other roots are
// passed over. The key of the last section is kept, so that a section's values cost no walk
// from the root.
class EditApplier {
public:
    EditApplier(std::string_view rootName, Key& root) : m_rootName(rootName), m_root(root) {}
    // Deleting the root itself is refused.
    std::optional<ParseError> Apply(const RegEdit& edit);
    // The same for an edit already known to be of this root, whatever its spelling.
    std::optional<ParseError> ApplyToRoot(const RegEdit& edit);
    // Whether any edit so far changed the tree.
    bool Changed() const { return m_changed; }

private:
    Key& SectionKey(const std::vector<std::string>& path, bool& created);

    std::string m_rootName;
    Key& m_root;
    std::vector<std::string> m_sectionPath;
    Key* m_sectionKey = nullptr;
    bool m_changed = false;
};

// Applies the edits of one root, as regedit imports them. Deleting the root itself is refused.
// changed, when given, tells whether the tree changed.
std::optional<ParseError> ApplyEdits(const std::vector<RegEdit>& edits, std::string_view rootName,
                                     Key& root, bool* changed = nullptr);

inline constexpr std::string_view kRegedit4Header = "REGEDIT4";

// The REGEDIT4 text of a whole hive, CR LF line ends, as regedit would export it; room for
// expectedSize bytes is made at once.
std::string SerializeHive(const Key& root, std::string_view rootName, std::size_t expectedSize = 0);
// The sections of key and everything below it; fullName is its section name.
void SerializeKey(const Key& key, const std::string& fullName, std::string& out);

} // namespace hive
