// The in-memory registry key (hive_key.h): its lists, their lookups and how they are settled.
#include "platform/posix/hive_key.h"

#include "platform/posix/name_case.h"

#include <algorithm>
#include <cassert>
#include <cstring>
#include <type_traits>

namespace brisvane::platform::hive {

namespace {

std::uint64_t HashOf(std::string_view name) {
    return posix::UpcasedNameHash(name);
}

// A large hive is mostly keys: a key is a name, two lists and one pointer.
static_assert(sizeof(Key) <= 48);

// Below this many entries a list is searched in turn, which costs less than an index.
constexpr std::size_t kIndexFrom = 8;

} // namespace

StoredBytes StoredBytes::Make(std::pmr::memory_resource& store, const void* bytes,
                              std::size_t size) {
    StoredBytes made;
    if (size == 0)
        return made;
    const std::size_t head = size < kLong ? 1 : 1 + sizeof(std::uint32_t);
    auto* block = static_cast<BYTE*>(store.allocate(head + size, 1));
    if (head == 1) {
        block[0] = static_cast<BYTE>(size);
    } else {
        block[0] = kLong;
        const auto length = static_cast<std::uint32_t>(size);
        std::memcpy(block + 1, &length, sizeof length);
    }
    std::memcpy(block + head, bytes, size);
    made.m_block = block;
    return made;
}

Key::Key(std::string_view name) {
    auto* extras = new Extras;
    extras->ownStore = std::make_unique<std::pmr::monotonic_buffer_resource>();
    extras->store = extras->ownStore.get();
    m_link = reinterpret_cast<std::uintptr_t>(extras) | kHasExtras;
    m_name = StoredText::Make(Store(), name);
}

Key::Key(std::string_view name, std::pmr::memory_resource& store)
    : m_name(StoredText::Make(store, name)), m_link(reinterpret_cast<std::uintptr_t>(&store)) {}

// A moved-from key keeps the store of the tree it came from and nothing else.
Key::Key(Key&& other) noexcept
    : m_name(other.m_name), m_subkeys(std::move(other.m_subkeys)),
      m_values(std::move(other.m_values)), m_link(other.m_link) {
    other.m_link = reinterpret_cast<std::uintptr_t>(&Store());
}

Key& Key::operator=(Key&& other) noexcept {
    if (this != &other) {
        ReleaseSubkeys(m_subkeys.Span());
        DropExtras();
        m_name = other.m_name;
        m_subkeys = std::move(other.m_subkeys);
        m_values = std::move(other.m_values);
        m_link = other.m_link;
        other.m_link = reinterpret_cast<std::uintptr_t>(&Store());
    }
    return *this;
}

void Key::DropExtras() {
    if (Extras* extras = ExtrasOrNull()) {
        // Only a root's own store goes with them: then nothing of the tree is left.
        m_link = extras->ownStore ? 0 : reinterpret_cast<std::uintptr_t>(extras->store);
        delete extras;
    }
}

Key::~Key() {
    ReleaseSubkeys(m_subkeys.Span());
    DropExtras();
}

// The keys lie in the arena: only what they hold elsewhere is let go. Each subkey's own tree
// is walked with a stack as deep as it is wide, never a list of every key.
void Key::ReleaseSubkeys(std::span<Key*> subkeys) {
    std::vector<Key*> pending;
    for (Key*& subkey : subkeys) {
        pending.push_back(std::exchange(subkey, nullptr));
        while (!pending.empty()) {
            Key* key = pending.back();
            pending.pop_back();
            if (!key)
                continue;
            const std::span<Key*> below = key->m_subkeys.Span();
            pending.insert(pending.end(), below.begin(), below.end());
            key->m_subkeys.Resize(0);
            key->~Key();
        }
    }
}

Key::Extras& Key::Extra() {
    if (Extras* extras = ExtrasOrNull())
        return *extras;
    auto* extras = new Extras;
    extras->store = &Store();
    m_link = reinterpret_cast<std::uintptr_t>(extras) | kHasExtras | (m_link & kUnsorted);
    return *extras;
}

std::size_t Key::SubkeyAt(std::string_view name, std::uint64_t hash) const {
    auto matches = [&](std::size_t at) {
        const Key* key = m_subkeys[at];
        return key && NamesEqual(key->Name(), name);
    };
    if (const FoldedIndex* index = SubkeyIndex())
        return index->Find(hash, matches);
    if (m_subkeys.size() >= kIndexFrom)
        return BisectSubkeys(name);
    for (std::size_t at = 0; at < m_subkeys.size(); ++at)
        if (matches(at))
            return at;
    return FoldedIndex::kNone;
}

bool Key::BisectableSubkeys() const {
    return m_subkeys.size() < kIndexFrom || (!SubkeysUnsorted() && RemovedSubkeys() == 0);
}

std::size_t Key::BisectSubkeys(std::string_view name) const {
    const std::span<Key* const> all = m_subkeys.Span();
    const auto found =
        std::lower_bound(all.begin(), all.end(), name, [](const Key* key, std::string_view wanted) {
            return posix::CompareNamesIgnoringCase(key->Name(), wanted) < 0;
        });
    if (found == all.end() || !NamesEqual((*found)->Name(), name))
        return FoldedIndex::kNone;
    return static_cast<std::size_t>(found - all.begin());
}

void Key::IndexSubkeys(std::size_t room) {
    if (Extras* extras = ExtrasOrNull())
        extras->subkeyIndex.reset();
    if (m_subkeys.size() < kIndexFrom)
        return;
    auto index = std::make_unique<FoldedIndex>();
    index->Reserve(std::max(room, m_subkeys.size()));
    // A large list's slots lie all over a table larger than the cache: the slots of a batch
    // of names are fetched together rather than missed one after another.
    constexpr std::size_t kBatch = 16;
    std::uint64_t hashes[kBatch];
    for (std::size_t start = 0; start < m_subkeys.size(); start += kBatch) {
        const std::size_t count = std::min(kBatch, m_subkeys.size() - start);
        for (std::size_t i = 0; i < count; ++i)
            if (const Key* key = m_subkeys[start + i]) {
                hashes[i] = HashOf(key->Name());
                index->Prefetch(hashes[i]);
            }
        for (std::size_t i = 0; i < count; ++i)
            if (m_subkeys[start + i])
                index->Add(hashes[i], start + i);
    }
    Extra().subkeyIndex = std::move(index);
}

Key* Key::FindSubkey(std::string_view name) {
    const std::size_t at = SubkeyAt(name, HashOf(name));
    return at == FoldedIndex::kNone ? nullptr : m_subkeys[at];
}

const Key* Key::FindSubkey(std::string_view name) const {
    return const_cast<Key*>(this)->FindSubkey(name);
}

Key& Key::AddSubkey(std::string_view name, bool* created) {
    FoldedIndex* index = SubkeyIndex();
    const std::uint64_t hash = index ? HashOf(name) : 0;
    // Keys mostly come in the order they are listed in: a name past the last one of a list in
    // order is new without a lookup, and only the others need a sort later.
    const Key* last = m_subkeys.empty() ? nullptr : m_subkeys.back();
    const bool past =
        last ? posix::CompareNamesIgnoringCase(last->Name(), name) < 0 : m_subkeys.empty();
    const std::size_t at = past && !SubkeysUnsorted() ? FoldedIndex::kNone : SubkeyAt(name, hash);
    if (created)
        *created = at == FoldedIndex::kNone;
    if (at != FoldedIndex::kNone)
        return *m_subkeys[at];
    if (!past)
        SetSubkeysUnsorted(true);
    std::pmr::memory_resource& store = Store();
    Key* key = new (store.allocate(sizeof(Key), alignof(Key))) Key(name, store);
    m_subkeys.PushBack(store, key);
    if (index && index->HasRoomFor(1))
        index->Add(hash, m_subkeys.size() - 1);
    else if (index || !BisectableSubkeys())
        // A full index is made anew from the names, twice as large, rather than grown: the old
        // table goes first, and the two are never held together. A list that can no longer be
        // bisected gets its first one the same way.
        IndexSubkeys(m_subkeys.size() * 4 / 3);
    return *key;
}

bool Key::RemoveSubkey(std::string_view name) {
    const std::uint64_t hash = HashOf(name);
    const std::size_t at = SubkeyAt(name, hash);
    if (at == FoldedIndex::kNone)
        return false;
    if (FoldedIndex* index = SubkeyIndex())
        index->Remove(hash, at);
    ReleaseSubkeys(std::span<Key*>(&m_subkeys[at], 1));
    ++Extra().removedSubkeys;
    // A list with a hole can no longer be bisected.
    if (!SubkeyIndex())
        IndexSubkeys();
    return true;
}

std::span<Key* const> Key::Subkeys() const {
    assert(RemovedSubkeys() == 0 && !SubkeysUnsorted());
    return m_subkeys.Span();
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
    const Extras* extras = ExtrasOrNull();
    if (!extras)
        return false;
    const std::vector<std::uint32_t>& holes = extras->valueHoles;
    return std::find(holes.begin(), holes.end(), at) != holes.end();
}

std::size_t Key::ValueAt(std::string_view name, std::uint64_t hash) const {
    if (const FoldedIndex* index = ValueIndex())
        return index->Find(hash,
                           [&](std::size_t at) { return NamesEqual(m_values[at].name, name); });
    for (std::size_t at = 0; at < m_values.size(); ++at)
        if (NamesEqual(m_values[at].name, name) && !IsValueHole(at))
            return at;
    return FoldedIndex::kNone;
}

void Key::IndexValues() {
    if (Extras* extras = ExtrasOrNull())
        extras->valueIndex.reset();
    if (m_values.size() < kIndexFrom)
        return;
    auto index = std::make_unique<FoldedIndex>();
    for (std::size_t at = 0; at < m_values.size(); ++at)
        if (!IsValueHole(at))
            index->Add(HashOf(m_values[at].name), at);
    Extra().valueIndex = std::move(index);
}

const Value* Key::FindValue(std::string_view name) const {
    const std::size_t at = ValueAt(name, HashOf(name));
    return at == FoldedIndex::kNone ? nullptr : &m_values[at];
}

bool Key::SetValue(std::string_view name, DWORD type, const std::vector<BYTE>& data) {
    const std::uint64_t hash = HashOf(name);
    const std::size_t at = ValueAt(name, hash);
    if (at != FoldedIndex::kNone) {
        Value& value = m_values[at];
        if (value.type == type && value.data == data)
            return false;
        value.type = type;
        value.data = StoredBytes::Make(Store(), data.data(), data.size());
        return true;
    }
    std::pmr::memory_resource& store = Store();
    m_values.PushBack(store, Value{StoredText::Make(store, name), type,
                                   StoredBytes::Make(store, data.data(), data.size())});
    if (FoldedIndex* index = ValueIndex())
        index->Add(hash, m_values.size() - 1);
    else if (m_values.size() >= kIndexFrom)
        IndexValues();
    return true;
}

bool Key::RemoveValue(std::string_view name) {
    const std::uint64_t hash = HashOf(name);
    const std::size_t at = ValueAt(name, hash);
    if (at == FoldedIndex::kNone)
        return false;
    if (FoldedIndex* index = ValueIndex())
        index->Remove(hash, at);
    m_values[at].data = StoredBytes();
    Extra().valueHoles.push_back(static_cast<std::uint32_t>(at));
    return true;
}

std::span<const Value> Key::Values() const {
    assert(!ExtrasOrNull() || ExtrasOrNull()->valueHoles.empty());
    return m_values.Span();
}

void Key::SettleSubkeys() {
    // A settled list is in order and without holes: a lookup bisects it, and no index is made
    // for it, which for a key of a million subkeys would be a pass over names scattered in
    // memory that a program reading the key once never uses.
    if (RemovedSubkeys() > 0) {
        const std::span<Key*> all = m_subkeys.Span();
        m_subkeys.Resize(std::remove(all.begin(), all.end(), nullptr) - all.begin());
        Extras& extras = Extra();
        extras.removedSubkeys = 0;
        extras.subkeyIndex.reset();
    }
    if (SubkeysUnsorted())
        SortSubkeys();
}

namespace {

// A subkey as the sort sees it: eight bytes of its upper-cased name packed into an integer,
// most significant first, so that most comparisons need nothing but the entry itself; the whole
// names settle the ties. The units every name begins with alike are left out: siblings such as
// "Key00012345" differ in the eight units past their shared "KEY". It names its key by its
// place in the list, which keeps an entry at 12 bytes: for a key of millions of subkeys the
// entries are the largest thing held while the index is down. Where every unit of every name
// fits in a byte, as in most hives, eight units fit, else four.
struct SortEntry {
    std::uint32_t high = 0;
    std::uint32_t low = 0;
    std::uint32_t from = 0;

    // Packs units of `bits` bits each (8 or 16), from `skip` on, as many as fit in eight bytes.
    void Pack(const std::u16string& units, std::size_t skip, unsigned bits) {
        std::uint64_t packed = 0;
        const std::size_t count = std::min<std::size_t>(units.size() - skip, 64 / bits);
        for (std::size_t unit = 0; unit < count; ++unit)
            packed |= std::uint64_t{units[skip + unit]} << (64 - bits * (unit + 1));
        high = static_cast<std::uint32_t>(packed >> 32);
        low = static_cast<std::uint32_t>(packed);
    }
    bool PackedBefore(const SortEntry& other) const {
        return high != other.high ? high < other.high : low < other.low;
    }
    bool PackedSame(const SortEntry& other) const { return high == other.high && low == other.low; }
};
static_assert(sizeof(SortEntry) == 12);

// How many upper-cased units all the names begin with alike, and whether every unit of every
// name fits in a byte.
struct NamesSpread {
    std::size_t shared = 0;
    bool bytes = true;
};

NamesSpread SpreadOf(std::span<Key* const> subkeys) {
    NamesSpread spread;
    if (subkeys.empty())
        return spread;
    std::u16string first;
    std::u16string folded;
    posix::AppendUpcasedUnits(subkeys.front()->Name(), first);
    spread.shared = first.size();
    for (const Key* key : subkeys) {
        folded.clear();
        posix::AppendUpcasedUnits(key->Name(), folded);
        const auto shared = first.begin() + static_cast<std::ptrdiff_t>(spread.shared);
        spread.shared = static_cast<std::size_t>(
            std::mismatch(first.begin(), shared, folded.begin(), folded.end()).first -
            first.begin());
        spread.bytes = spread.bytes && std::all_of(folded.begin(), folded.end(),
                                                   [](char16_t unit) { return unit < 0x100; });
    }
    return spread;
}

// Every entry packed from the upper-cased names past the units they all share.
std::vector<SortEntry> PackedEntries(std::span<Key* const> subkeys) {
    const NamesSpread spread = SpreadOf(subkeys);
    std::vector<SortEntry> entries(subkeys.size());
    std::u16string folded;
    for (std::size_t at = 0; at < subkeys.size(); ++at) {
        folded.clear();
        posix::AppendUpcasedUnits(subkeys[at]->Name(), folded);
        entries[at].Pack(folded, spread.shared, spread.bytes ? 8 : 16);
        entries[at].from = static_cast<std::uint32_t>(at);
    }
    return entries;
}

// Puts each entry's key in its place. The entries are read in order and each one's key is
// written over entries already read, a pointer being smaller than an entry: the keys are fetched
// by reads that do not wait on each other, as following each cycle of the order would, and no
// second list is needed.
void PlaceInOrder(std::span<Key*> subkeys, std::vector<SortEntry>& entries) {
    static_assert(sizeof(SortEntry) >= sizeof(Key*) && std::is_trivially_copyable_v<SortEntry>);
    auto* placed = reinterpret_cast<unsigned char*>(entries.data());
    for (std::size_t at = 0; at < entries.size(); ++at) {
        Key* const key = subkeys[entries[at].from];
        std::memcpy(placed + at * sizeof key, &key, sizeof key);
    }
    if (!subkeys.empty())
        std::memcpy(subkeys.data(), placed, subkeys.size() * sizeof(Key*));
}

} // namespace

void Key::SortSubkeys() {
    // The sorted list is bisected: the index, whose places the sort moves, goes first, so that
    // it and the sort's entries are never held together.
    if (Extras* extras = ExtrasOrNull())
        extras->subkeyIndex.reset();
    const std::span<Key*> subkeys = m_subkeys.Span();
    std::vector<SortEntry> entries = PackedEntries(subkeys);
    std::sort(entries.begin(), entries.end(), [&](const SortEntry& a, const SortEntry& b) {
        if (!a.PackedSame(b))
            return a.PackedBefore(b);
        // Units of zero pad a short name's packed part: a tie is settled by the whole names.
        return posix::CompareNamesIgnoringCase(subkeys[a.from]->Name(), subkeys[b.from]->Name()) <
               0;
    });
    PlaceInOrder(subkeys, entries);
    SetSubkeysUnsorted(false);
}

void Key::SettleValues() {
    Extras* extras = ExtrasOrNull();
    if (!extras || extras->valueHoles.empty())
        return;
    std::vector<std::uint32_t>& holes = extras->valueHoles;
    std::sort(holes.begin(), holes.end());
    std::size_t kept = 0;
    std::size_t hole = 0;
    for (std::size_t at = 0; at < m_values.size(); ++at) {
        if (hole < holes.size() && holes[hole] == at) {
            ++hole;
            continue;
        }
        m_values[kept++] = m_values[at];
    }
    m_values.Resize(kept);
    std::vector<std::uint32_t>().swap(holes);
    IndexValues();
}

void Key::Settle() {
    // Depth first, each level remembering where it is in its list: the walk holds no list of
    // every key.
    struct Level {
        Key* key;
        std::size_t next;
    };
    SettleSubkeys();
    SettleValues();
    std::vector<Level> levels{{this, 0}};
    while (!levels.empty()) {
        Level& level = levels.back();
        if (level.next == level.key->m_subkeys.size()) {
            levels.pop_back();
            continue;
        }
        // Sorted, a list's keys lie anywhere in memory: the one a few places on is asked for
        // ahead, so that the walk does not wait on each in turn.
        constexpr std::size_t kAhead = 8;
        if (level.next + kAhead < level.key->m_subkeys.size())
            __builtin_prefetch(level.key->m_subkeys[level.next + kAhead]);
        Key* key = level.key->m_subkeys[level.next++];
        key->SettleSubkeys();
        key->SettleValues();
        levels.push_back({key, 0});
    }
}

} // namespace brisvane::platform::hive
