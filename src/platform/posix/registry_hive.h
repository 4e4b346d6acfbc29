// The in-memory form of a registry hive, and the .reg text it is kept in: parsing both the
// REGEDIT4 and the "Windows Registry Editor Version 5.00" forms, writing REGEDIT4.
#pragma once

#include "platform/posix/win32_types.h"

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

// A key keeps the case of the name it was created with; its subkeys are kept in the order
// Windows lists them (case-insensitive), its values in the order they were first set.
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
    const std::vector<std::unique_ptr<Key>>& Subkeys() const { return m_subkeys; }

    // The key at path below this one, or null.
    Key* Find(const std::vector<std::string>& path);
    const Key* Find(const std::vector<std::string>& path) const;
    // Creates every missing key on the way; created tells whether the last one was new.
    Key& Create(const std::vector<std::string>& path, bool* created = nullptr);

    const Value* FindValue(std::string_view name) const;
    // Replaces the data and type of an existing value, keeping the case of its name.
    void SetValue(std::string_view name, DWORD type, std::vector<BYTE> data);
    bool RemoveValue(std::string_view name);
    const std::vector<Value>& Values() const { return m_values; }

private:
    static void ReleaseSubkeys(std::vector<std::unique_ptr<Key>>& subkeys);

    std::string m_name;
    std::vector<std::unique_ptr<Key>> m_subkeys;
    std::vector<Value> m_values;
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

// Reads a whole .reg file as it lies on disk (UTF-16LE with its byte-order mark, or 8-bit).
// On failure nothing is guaranteed about edits.
std::optional<ParseError> ParseRegDocument(std::string_view bytes, std::vector<RegEdit>& edits);

// Applies the edits of one root, as regedit imports them. Deleting the root itself is refused.
std::optional<ParseError> ApplyEdits(const std::vector<RegEdit>& edits, std::string_view rootName,
                                     Key& root);

inline constexpr std::string_view kRegedit4Header = "REGEDIT4";

// The REGEDIT4 text of a whole hive, CR LF line ends, as regedit would export it.
std::string SerializeHive(const Key& root, std::string_view rootName);
// The sections of key and everything below it; fullName is its section name.
void SerializeKey(const Key& key, const std::string& fullName, std::string& out);

} // namespace hive
