// The in-memory form of a registry hive, and the .reg text it is kept in: parsing both the
// REGEDIT4 and the "Windows Registry Editor Version 5.00" forms, writing REGEDIT4.
#pragma once

#include "platform/posix/win32_types.h"

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
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

// A key keeps the case of the name it was created with; its subkeys are listed in the order
// Windows lists them (case-insensitive), its values in the order they were first set. Both are
// found by their case-folded name, so that a key of any size answers in about the same time.
//
// The lists Subkeys() and Values() hand out are brought up to date lazily after a change; a
// tree that other threads read at once must have been settled first (Settle).
class Key {
public:
    explicit Key(std::string name = {}) : m_name(std::move(name)) {}
    // Subkeys are let go one by one rather than by nested destructors, however deep they lie.
    ~Key();
    Key(Key&&) noexcept = default;
    Key& operator=(Key&& other) noexcept;

    const std::string& Name() const { return m_name; }

    Key* FindSubkey(std::string_view name);
    const Key* FindSubkey(std::string_view name) const;
    // The existing subkey of that name, or a new one.
    Key& AddSubkey(std::string_view name, bool* created = nullptr);
    bool RemoveSubkey(std::string_view name);
    const std::vector<Key*>& Subkeys() const;

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

    // Brings the lists of this key and of every key below it up to date.
    void Settle() const;

private:
    using FoldedName = std::u16string;

    static void ReleaseSubkeys(std::map<FoldedName, std::unique_ptr<Key>>& subkeys);
    void SettleOwnLists() const;

    std::string m_name;
    // Keyed by the upper-cased name, whose order is the listing order.
    std::map<FoldedName, std::unique_ptr<Key>> m_subkeys;
    mutable std::vector<Key*> m_subkeyList;
    mutable bool m_subkeyListStale = false;
    // A removed value leaves a hole, a slot its name no longer indexes, until the list is next
    // looked at: removing many values stays linear.
    mutable std::vector<Value> m_values;
    mutable std::unordered_map<FoldedName, std::size_t> m_valueAt;
    mutable std::size_t m_removedValues = 0;
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

// The REGEDIT4 text of a whole hive, CR LF line ends, as regedit would export it.
std::string SerializeHive(const Key& root, std::string_view rootName);
// The sections of key and everything below it; fullName is its section name.
void SerializeKey(const Key& key, const std::string& fullName, std::string& out);

} // namespace hive
