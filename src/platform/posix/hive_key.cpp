// The in-memory registry key (hive_key.h): its lists, their lookups and how they are settled.
#include "platform/posix/hive_key.h"

#include "platform/posix/name_case.h"

#include <algorithm>
#include <cassert>
#include <iterator>

namespace brisvane::platform::hive {

namespace {

std::uint64_t HashOf(std::string_view name) {
    return posix::UpcasedNameHash(name);
}

// Below this many entries a list is searched in turn, which costs less than an index.
constexpr std::size_t kIndexFrom = 8;

} // namespace

bool NamesEqual(std::string_view a, std::string_view b) {
    // Most names are looked up as they were written.
    return a == b || posix::NamesEqualIgnoringCase(a, b);
}

Key::Key(std::string name) : m_name(std::move(name)) {}

Key::Key(Key&&) noexcept = default;

void Key::ReleaseSubkeys(std::vector<std::unique_ptr<Key>>& subkeys) {
    std::vector<std::unique_ptr<Key>> pending = std::move(subkeys);
    subkeys.clear();
    while (!pending.empty()) {
        std::unique_ptr<Key> key = std::move(pending.back());
        pending.pop_back();
        if (!key)
            continue;
        std::move(key->m_subkeys.begin(), key->m_subkeys.end(), std::back_inserter(pending));
        key->m_subkeys.clear();
    }
}

Key::~Key() {
    ReleaseSubkeys(m_subkeys);
}

Key& Key::operator=(Key&& other) noexcept {
    if (this != &other) {
        ReleaseSubkeys(m_subkeys);
        m_name = std::move(other.m_name);
        m_subkeys = std::move(other.m_subkeys);
        m_subkeyIndex = std::move(other.m_subkeyIndex);
        m_values = std::move(other.m_values);
        m_valueIndex = std::move(other.m_valueIndex);
        m_valueHoles = std::move(other.m_valueHoles);
        m_removedSubkeys = other.m_removedSubkeys;
        m_subkeysUnsorted = other.m_subkeysUnsorted;
    }
    return *this;
}

std::size_t Key::SubkeyAt(std::string_view name, std::uint64_t hash) const {
    auto matches = [&](std::size_t at) {
        const Key* key = m_subkeys[at].get();
        return key && NamesEqual(key->m_name, name);
    };
    if (m_subkeyIndex)
        return m_subkeyIndex->Find(hash, matches);
    for (std::size_t at = 0; at < m_subkeys.size(); ++at)
        if (matches(at))
            return at;
    return FoldedIndex::kNone;
}

void Key::IndexSubkeys() {
    m_subkeyIndex.reset();
    if (m_subkeys.size() < kIndexFrom)
        return;
    m_subkeyIndex = std::make_unique<FoldedIndex>();
    for (std::size_t at = 0; at < m_subkeys.size(); ++at)
        if (m_subkeys[at])
            m_subkeyIndex->Add(HashOf(m_subkeys[at]->m_name), at);
}

Key* Key::FindSubkey(std::string_view name) {
    const std::size_t at = SubkeyAt(name, HashOf(name));
    return at == FoldedIndex::kNone ? nullptr : m_subkeys[at].get();
}

const Key* Key::FindSubkey(std::string_view name) const {
    return const_cast<Key*>(this)->FindSubkey(name);
}

Key& Key::AddSubkey(std::string_view name, bool* created) {
    const std::uint64_t hash = HashOf(name);
    const std::size_t at = SubkeyAt(name, hash);
    if (created)
        *created = at == FoldedIndex::kNone;
    if (at != FoldedIndex::kNone)
        return *m_subkeys[at];
    // Keys mostly come in the order they are listed in; only others need a sort later.
    const Key* last = m_subkeys.empty() ? nullptr : m_subkeys.back().get();
    if (!m_subkeys.empty() && (!last || posix::CompareNamesIgnoringCase(last->m_name, name) > 0))
        m_subkeysUnsorted = true;
    m_subkeys.push_back(std::make_unique<Key>(std::string(name)));
    if (m_subkeyIndex)
        m_subkeyIndex->Add(hash, m_subkeys.size() - 1);
    else if (m_subkeys.size() >= kIndexFrom)
        IndexSubkeys();
    return *m_subkeys.back();
}

bool Key::RemoveSubkey(std::string_view name) {
    const std::uint64_t hash = HashOf(name);
    const std::size_t at = SubkeyAt(name, hash);
    if (at == FoldedIndex::kNone)
        return false;
    if (m_subkeyIndex)
        m_subkeyIndex->Remove(hash, at);
    std::vector<std::unique_ptr<Key>> removed;
    removed.push_back(std::move(m_subkeys[at]));
    ReleaseSubkeys(removed);
    ++m_removedSubkeys;
    return true;
}

const std::vector<std::unique_ptr<Key>>& Key::Subkeys() const {
    assert(m_removedSubkeys == 0 && !m_subkeysUnsorted);
    return m_subkeys;
}

Key* Key::Find(const std::vector<std::string>& path) {
    Key* key = this;
    for (const std::string& part : path) {
        key = key->FindSubkey(part);
        if (!key)
            return nullptr;
    }
    return key;
}

const Key* Key::Find(const std::vector<std::string>& path) const {
    return const_cast<Key*>(this)->Find(path);
}

Key& Key::Create(const std::vector<std::string>& path, bool* created) {
    Key* key = this;
    bool last = false;
    for (const std::string& part : path)
        key = &key->AddSubkey(part, &last);
    if (created)
        *created = last;
    return *key;
}

bool Key::IsValueHole(std::size_t at) const {
    return std::find(m_valueHoles.begin(), m_valueHoles.end(), at) != m_valueHoles.end();
}

std::size_t Key::ValueAt(std::string_view name, std::uint64_t hash) const {
    if (m_valueIndex)
        return m_valueIndex->Find(
            hash, [&](std::size_t at) { return NamesEqual(m_values[at].name, name); });
    for (std::size_t at = 0; at < m_values.size(); ++at)
        if (NamesEqual(m_values[at].name, name) && !IsValueHole(at))
            return at;
    return FoldedIndex::kNone;
}

void Key::IndexValues() {
    m_valueIndex.reset();
    if (m_values.size() < kIndexFrom)
        return;
    m_valueIndex = std::make_unique<FoldedIndex>();
    for (std::size_t at = 0; at < m_values.size(); ++at)
        if (!IsValueHole(at))
            m_valueIndex->Add(HashOf(m_values[at].name), at);
}

const Value* Key::FindValue(std::string_view name) const {
    const std::size_t at = ValueAt(name, HashOf(name));
    return at == FoldedIndex::kNone ? nullptr : &m_values[at];
}

bool Key::SetValue(std::string_view name, DWORD type, std::vector<BYTE> data) {
    const std::uint64_t hash = HashOf(name);
    const std::size_t at = ValueAt(name, hash);
    if (at != FoldedIndex::kNone) {
        Value& value = m_values[at];
        if (value.type == type && value.data == data)
            return false;
        value.type = type;
        value.data = std::move(data);
        return true;
    }
    // A large list grows fourfold: the room not yet used is never touched, and the values
    // are moved far fewer times than by doubling.
    if (m_values.size() == m_values.capacity() && m_values.size() >= 4096)
        m_values.reserve(m_values.size() * 4);
    m_values.push_back(Value{std::string(name), type, std::move(data)});
    if (m_valueIndex)
        m_valueIndex->Add(hash, m_values.size() - 1);
    else if (m_values.size() >= kIndexFrom)
        IndexValues();
    return true;
}

bool Key::RemoveValue(std::string_view name) {
    const std::uint64_t hash = HashOf(name);
    const std::size_t at = ValueAt(name, hash);
    if (at == FoldedIndex::kNone)
        return false;
    if (m_valueIndex)
        m_valueIndex->Remove(hash, at);
    std::vector<BYTE>().swap(m_values[at].data);
    m_valueHoles.push_back(static_cast<std::uint32_t>(at));
    return true;
}

const std::vector<Value>& Key::Values() const {
    assert(m_valueHoles.empty());
    return m_values;
}

void Key::SettleSubkeys() {
    if (m_removedSubkeys == 0 && !m_subkeysUnsorted)
        return;
    if (m_removedSubkeys > 0) {
        std::erase(m_subkeys, nullptr);
        m_removedSubkeys = 0;
    }
    if (m_subkeysUnsorted) {
        SortSubkeys();
        return;
    }
    IndexSubkeys();
}

namespace {

// A subkey as the sort sees it: the first upper-cased units of its name packed into integers,
// most significant first, so that most comparisons need nothing but the entry itself; the
// rest of the name lies in a shared buffer for the ties. Its hash is taken while its name is
// at hand, for the index made after the sort.
struct SortEntry {
    static constexpr std::size_t kPacked = 3;
    static constexpr std::size_t kUnitsPacked = kPacked * 4;
    std::uint64_t packed[kPacked]{};
    std::size_t start = 0;
    std::size_t length = 0;
    std::uint64_t hash = 0;
    std::size_t from = 0;
};

} // namespace

void Key::SortSubkeys() {
    std::u16string folded;
    std::vector<SortEntry> entries(m_subkeys.size());
    for (std::size_t at = 0; at < m_subkeys.size(); ++at) {
        SortEntry& entry = entries[at];
        const std::string& name = m_subkeys[at]->m_name;
        entry.start = folded.size();
        posix::AppendUpcasedUnits(name, folded);
        entry.length = folded.size() - entry.start;
        for (std::size_t unit = 0; unit < std::min(entry.length, SortEntry::kUnitsPacked); ++unit)
            entry.packed[unit / 4] |= static_cast<std::uint64_t>(folded[entry.start + unit])
                                      << (48 - 16 * (unit % 4));
        entry.hash = HashOf(name);
        entry.from = at;
    }
    const std::u16string_view all(folded);
    std::sort(entries.begin(), entries.end(), [&all](const SortEntry& a, const SortEntry& b) {
        for (std::size_t i = 0; i < SortEntry::kPacked; ++i) {
            if (a.packed[i] != b.packed[i])
                return a.packed[i] < b.packed[i];
        }
        // Units of zero pad a short name's packed part: a tie is settled by the whole names.
        return all.substr(a.start, a.length) < all.substr(b.start, b.length);
    });
    std::vector<std::unique_ptr<Key>> sorted;
    sorted.reserve(m_subkeys.size());
    for (const SortEntry& entry : entries)
        sorted.push_back(std::move(m_subkeys[entry.from]));
    m_subkeys = std::move(sorted);
    m_subkeysUnsorted = false;

    m_subkeyIndex.reset();
    if (m_subkeys.size() < kIndexFrom)
        return;
    m_subkeyIndex = std::make_unique<FoldedIndex>();
    m_subkeyIndex->Reserve(entries.size());
    for (std::size_t at = 0; at < entries.size(); ++at)
        m_subkeyIndex->Add(entries[at].hash, at);
}

void Key::SettleValues() {
    if (m_valueHoles.empty())
        return;
    std::sort(m_valueHoles.begin(), m_valueHoles.end());
    std::size_t kept = 0;
    std::size_t hole = 0;
    for (std::size_t at = 0; at < m_values.size(); ++at) {
        if (hole < m_valueHoles.size() && m_valueHoles[hole] == at) {
            ++hole;
            continue;
        }
        if (kept != at)
            m_values[kept] = std::move(m_values[at]);
        ++kept;
    }
    m_values.resize(kept);
    std::vector<std::uint32_t>().swap(m_valueHoles);
    IndexValues();
}

void Key::Settle() {
    std::vector<Key*> pending{this};
    while (!pending.empty()) {
        Key* key = pending.back();
        pending.pop_back();
        key->SettleSubkeys();
        key->SettleValues();
        for (const auto& subkey : key->m_subkeys)
            pending.push_back(subkey.get());
    }
}

} // namespace brisvane::platform::hive
