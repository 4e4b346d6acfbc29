#include "platform/posix/registry_hive.h"

#include "platform/posix/name_case.h"

#include <algorithm>
#include <cstdio>
#include <iterator>

namespace hive {

namespace {

char Lower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

std::uint64_t HashOf(std::string_view name) {
    return brisvane::platform::posix::UpcasedNameHash(name);
}

// Below this many entries a list is searched in turn, which costs less than an index.
constexpr std::size_t kIndexFrom = 8;

} // namespace

bool NamesEqual(std::string_view a, std::string_view b) {
    // Most names are looked up as they were written.
    return a == b || brisvane::platform::posix::NamesEqualIgnoringCase(a, b);
}

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
    std::size_t size = 16;
    while (size * 3 < (live + 1) * 8)
        size *= 2;
    m_slots.assign(size, Slot{});
    m_taken = 0;
    for (const Slot& slot : old)
        if (slot.position != kFree && slot.position != kGone)
            Add(slot.hash, slot.position);
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

void Key::IndexSubkeys() const {
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
    if (!m_subkeys.empty() &&
        (!last || brisvane::platform::posix::CompareNamesIgnoringCase(last->m_name, name) > 0))
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
    SettleSubkeys();
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

void Key::IndexValues() const {
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
    SettleValues();
    return m_values;
}

void Key::SettleSubkeys() const {
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

void Key::SortSubkeys() const {
    std::u16string folded;
    std::vector<SortEntry> entries(m_subkeys.size());
    for (std::size_t at = 0; at < m_subkeys.size(); ++at) {
        SortEntry& entry = entries[at];
        const std::string& name = m_subkeys[at]->m_name;
        entry.start = folded.size();
        brisvane::platform::posix::AppendUpcasedUnits(name, folded);
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

void Key::SettleValues() const {
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

void Key::Settle() const {
    std::vector<const Key*> pending{this};
    while (!pending.empty()) {
        const Key* key = pending.back();
        pending.pop_back();
        key->SettleSubkeys();
        key->SettleValues();
        for (const auto& subkey : key->m_subkeys)
            pending.push_back(subkey.get());
    }
}

namespace {

void AppendUtf8(std::string& out, std::uint32_t code) {
    if (code < 0x80) {
        out += static_cast<char>(code);
    } else if (code < 0x800) {
        out += static_cast<char>(0xC0 | (code >> 6));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        out += static_cast<char>(0xE0 | (code >> 12));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (code >> 18));
        out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    }
}

// UTF-16LE bytes to the 8-bit text the program works with (UTF-8 on Linux); a lone surrogate
// becomes '?', an odd last byte is dropped.
std::string Utf16ToText(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size() / 2);
    auto unit = [&](std::size_t i) {
        return static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[i])) |
               (static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[i + 1])) << 8);
    };
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
        std::uint32_t code = unit(i);
        if (code >= 0xD800 && code < 0xDC00 && i + 3 < bytes.size()) {
            std::uint32_t low = unit(i + 2);
            if (low >= 0xDC00 && low < 0xE000) {
                AppendUtf8(out, 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00));
                i += 2;
                continue;
            }
        }
        if (code >= 0xD800 && code < 0xE000)
            code = '?';
        AppendUtf8(out, code);
    }
    return out;
}

std::string_view TrimLeft(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    return s;
}

std::string_view TrimRight(std::string_view s) {
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r'))
        s.remove_suffix(1);
    return s;
}

std::string_view Trim(std::string_view s) {
    return TrimRight(TrimLeft(s));
}

// The syntax words of the format ("dword:", "hex(") are ASCII.
bool StartsWithNoCase(std::string_view s, std::string_view prefix) {
    return s.size() >= prefix.size() &&
           std::equal(prefix.begin(), prefix.end(), s.begin(),
                      [](char x, char y) { return Lower(x) == Lower(y); });
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    c = Lower(c);
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

// Where the next '"' or '\\' lies; find_first_of would search the two for every character.
std::size_t FindQuoteOrEscape(std::string_view text) {
    for (std::size_t at = 0; at < text.size(); ++at) {
        if (text[at] == '"' || text[at] == '\\')
            return at;
    }
    return std::string_view::npos;
}

std::optional<std::uint32_t> ParseHexNumber(std::string_view s, std::size_t maxDigits) {
    if (s.empty() || s.size() > maxDigits)
        return std::nullopt;
    std::uint32_t n = 0;
    for (char c : s) {
        int d = HexDigit(c);
        if (d < 0)
            return std::nullopt;
        n = n * 16 + static_cast<std::uint32_t>(d);
    }
    return n;
}

class DocumentParser {
public:
    DocumentParser(std::string_view text, bool unicode, const EditSink& sink)
        : m_text(text), m_unicode(unicode), m_sink(sink) {}

    std::optional<ParseError> Run() {
        // The header line was checked by the caller.
        std::string_view line;
        NextLine(line);
        while (NextLine(line)) {
            line = Trim(line);
            if (line.empty() || line.front() == ';')
                continue;
            bool ok = line.front() == '[' ? Section(line) : ValueLine(line);
            if (m_refused)
                return m_refused;
            if (!ok)
                return ParseError{m_errorLine ? m_errorLine : LineNumber(), m_reason};
        }
        return std::nullopt;
    }

private:
    // The lines are taken one at a time, never all listed: a large file needs no second copy.
    bool NextLine(std::string_view& line) {
        if (m_next > m_text.size() || (m_next == m_text.size() && m_lineCount > 0))
            return false;
        const std::size_t end = m_text.find('\n', m_next);
        line = m_text.substr(m_next, end == std::string_view::npos ? end : end - m_next);
        m_next = end == std::string_view::npos ? m_text.size() + 1 : end + 1;
        ++m_lineCount;
        return true;
    }

    int LineNumber() const { return static_cast<int>(m_lineCount); }

    bool Fail(std::string reason) {
        m_reason = std::move(reason);
        return false;
    }

    bool Section(std::string_view line) {
        std::size_t close = line.rfind(']');
        if (close == std::string_view::npos)
            return Fail("a key section without its closing ']'");
        if (!Trim(line.substr(close + 1)).empty())
            return Fail("text after a key section");
        std::string_view name = line.substr(1, close - 1);
        bool remove = !name.empty() && name.front() == '-';
        if (remove)
            name.remove_prefix(1);
        if (!name.empty() && name.back() == '\\')
            name.remove_suffix(1);
        // The section's root and path stay in m_edit for the values that follow.
        if (!SplitSectionName(name))
            return Fail("an empty key name in a section");
        if (m_edit.path.size() > kMaxKeyDepth)
            return Fail("a key more than " + std::to_string(kMaxKeyDepth) +
                        " levels below its root");
        m_edit.kind = remove ? RegEdit::Kind::DeleteKey : RegEdit::Kind::CreateKey;
        m_edit.value.name.clear();
        m_edit.value.data.clear();
        m_edit.line = LineNumber();
        m_inSection = true;
        m_sectionDeleted = remove;
        return Hand();
    }

    // Splits name into the root and path of m_edit, reusing their strings from the section
    // before; false when a part is empty.
    bool SplitSectionName(std::string_view name) {
        std::size_t below = 0;
        std::size_t start = 0;
        bool empty = false;
        for (bool root = true;; root = false) {
            const std::size_t at = name.find('\\', start);
            const std::string_view part =
                name.substr(start, at == std::string_view::npos ? at : at - start);
            empty = empty || part.empty();
            if (root) {
                m_edit.rootName.assign(part);
            } else {
                if (below < m_edit.path.size())
                    m_edit.path[below].assign(part);
                else
                    m_edit.path.emplace_back(part);
                ++below;
            }
            if (at == std::string_view::npos)
                break;
            start = at + 1;
        }
        m_edit.path.resize(below);
        return !empty;
    }

    bool Hand() {
        m_refused = m_sink(m_edit);
        return !m_refused;
    }

    // A quoted text with \\ and \" escapes; s starts after the opening quote.
    bool QuotedText(std::string_view& s, std::string& out) {
        out.clear();
        for (;;) {
            const std::size_t special = FindQuoteOrEscape(s);
            if (special == std::string_view::npos)
                break;
            out.append(s.substr(0, special));
            const char c = s[special];
            s.remove_prefix(special + 1);
            if (c == '"')
                return true;
            if (s.empty())
                break;
            const char next = s.front();
            s.remove_prefix(1);
            if (next != '\\' && next != '"')
                return Fail(std::string("an unknown escape \\") + next);
            out += next;
        }
        return Fail("a text without its closing quote");
    }

    bool ValueLine(std::string_view line) {
        if (!m_inSection)
            return Fail("a value before the first key section");
        RegEdit& edit = m_edit;
        edit.value.type = REG_NONE;
        edit.value.name.clear();
        edit.value.data.clear();
        edit.line = LineNumber();
        std::string_view rest = line;
        if (rest.front() == '@') {
            rest.remove_prefix(1);
        } else if (rest.front() == '"') {
            rest.remove_prefix(1);
            if (!QuotedText(rest, edit.value.name))
                return false;
        } else {
            return Fail("a line that is neither a key section nor a value");
        }
        rest = TrimLeft(rest);
        if (rest.empty() || rest.front() != '=')
            return Fail("a value name without '='");
        rest = TrimLeft(rest.substr(1));
        if (!Data(rest, edit))
            return false;
        return m_sectionDeleted || Hand();
    }

    bool Data(std::string_view rest, RegEdit& edit) {
        Value& value = edit.value;
        if (rest == "-") {
            edit.kind = RegEdit::Kind::DeleteValue;
            return true;
        }
        edit.kind = RegEdit::Kind::SetValue;
        if (!rest.empty() && rest.front() == '"') {
            rest.remove_prefix(1);
            std::string text;
            if (!QuotedText(rest, text))
                return false;
            if (!Trim(rest).empty())
                return Fail("text after a quoted value");
            value.type = REG_SZ;
            value.data.assign(text.begin(), text.end());
            value.data.push_back(0);
            return true;
        }
        if (StartsWithNoCase(rest, "dword:")) {
            auto number = ParseHexNumber(Trim(rest.substr(6)), 8);
            if (!number)
                return Fail("a dword value that is not 1 to 8 hex digits");
            value.type = REG_DWORD;
            for (int i = 0; i < 4; ++i)
                value.data.push_back(static_cast<BYTE>(*number >> (8 * i)));
            return true;
        }
        if (StartsWithNoCase(rest, "hex:")) {
            value.type = REG_BINARY;
            rest.remove_prefix(4);
        } else if (StartsWithNoCase(rest, "hex(")) {
            std::size_t close = rest.find("):");
            auto type = close == std::string_view::npos
                            ? std::nullopt
                            : ParseHexNumber(rest.substr(4, close - 4), 8);
            if (!type)
                return Fail("a hex(N) value with a bad type number");
            value.type = *type;
            rest.remove_prefix(close + 2);
        } else {
            return Fail("value data of an unknown form");
        }
        if (!HexBytes(rest, value.data))
            return false;
        bool utf16 =
            value.type == REG_SZ || value.type == REG_EXPAND_SZ || value.type == REG_MULTI_SZ;
        if (m_unicode && utf16) {
            std::string text = Utf16ToText(std::string_view(
                reinterpret_cast<const char*>(value.data.data()), value.data.size()));
            value.data.assign(text.begin(), text.end());
        }
        return true;
    }

    // Comma-separated bytes, continued onto the next lines by a trailing '\'.
    bool HexBytes(std::string_view rest, std::vector<BYTE>& out) {
        std::string joined;
        std::string_view part = Trim(rest);
        for (;;) {
            if (!part.empty() && part.back() == '\\') {
                joined += part.substr(0, part.size() - 1);
                std::string_view next;
                if (!NextLine(next))
                    return Fail("a hex value continued past the end of the file");
                part = Trim(next);
                continue;
            }
            joined += part;
            break;
        }
        std::string_view all = Trim(joined);
        if (all.empty())
            return true;
        std::size_t start = 0;
        for (;;) {
            std::size_t comma = all.find(',', start);
            std::string_view token =
                Trim(all.substr(start, comma == std::string_view::npos ? comma : comma - start));
            // regedit leaves a comma before a line break; tolerate one at the very end too.
            if (token.empty() && comma == std::string_view::npos && start > 0)
                break;
            auto byte = ParseHexNumber(token, 2);
            if (!byte)
                return Fail("a hex byte that is not 1 or 2 hex digits");
            out.push_back(static_cast<BYTE>(*byte));
            if (comma == std::string_view::npos)
                break;
            start = comma + 1;
        }
        return true;
    }

    std::string_view m_text;
    std::size_t m_next = 0;      // where the next line starts
    std::size_t m_lineCount = 0; // lines taken so far
    bool m_unicode;
    const EditSink& m_sink;
    RegEdit m_edit;
    std::optional<ParseError> m_refused;
    bool m_inSection = false;
    bool m_sectionDeleted = false;
    std::string m_reason;
    int m_errorLine = 0;
};

} // namespace

std::optional<ParseError> ParseRegDocument(std::string_view bytes, const EditSink& sink) {
    std::string decoded;
    std::string_view text = bytes;
    if (bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFF &&
        static_cast<unsigned char>(bytes[1]) == 0xFE) {
        decoded = Utf16ToText(bytes.substr(2));
        text = decoded;
    } else if (bytes.size() >= 3 && bytes.substr(0, 3) == "\xEF\xBB\xBF") {
        text.remove_prefix(3);
    }
    std::string_view header = TrimRight(text.substr(0, text.find('\n')));
    bool unicode = header == "Windows Registry Editor Version 5.00";
    if (!unicode && header != kRegedit4Header)
        return ParseError{1, "the first line is neither REGEDIT4 nor Windows Registry Editor "
                             "Version 5.00"};
    return DocumentParser(text, unicode, sink).Run();
}

std::optional<ParseError> ParseRegDocument(std::string_view bytes, std::vector<RegEdit>& edits) {
    return ParseRegDocument(bytes, [&edits](const RegEdit& edit) -> std::optional<ParseError> {
        edits.push_back(edit);
        return std::nullopt;
    });
}

Key& EditApplier::SectionKey(const std::vector<std::string>& path, bool& created) {
    created = false;
    if (!m_sectionKey || path != m_sectionPath) {
        m_sectionKey = &m_root.Create(path, &created);
        m_sectionPath = path;
    }
    return *m_sectionKey;
}

std::optional<ParseError> EditApplier::Apply(const RegEdit& edit) {
    if (!NamesEqual(edit.rootName, m_rootName))
        return std::nullopt;
    return ApplyToRoot(edit);
}

std::optional<ParseError> EditApplier::ApplyToRoot(const RegEdit& edit) {
    bool created = false;
    switch (edit.kind) {
    case RegEdit::Kind::CreateKey:
        SectionKey(edit.path, created);
        m_changed = m_changed || created;
        break;
    case RegEdit::Kind::DeleteKey: {
        if (edit.path.empty())
            return ParseError{edit.line, "a root key cannot be deleted"};
        // The kept key may lie below the one deleted.
        m_sectionKey = nullptr;
        std::vector<std::string> parent(edit.path.begin(), edit.path.end() - 1);
        if (Key* key = m_root.Find(parent))
            m_changed = key->RemoveSubkey(edit.path.back()) || m_changed;
        break;
    }
    case RegEdit::Kind::SetValue: {
        Key& key = SectionKey(edit.path, created);
        const bool set = key.SetValue(edit.value.name, edit.value.type, edit.value.data);
        m_changed = m_changed || created || set;
        break;
    }
    case RegEdit::Kind::DeleteValue:
        if (Key* key =
                m_sectionKey && edit.path == m_sectionPath ? m_sectionKey : m_root.Find(edit.path))
            m_changed = key->RemoveValue(edit.value.name) || m_changed;
        break;
    }
    return std::nullopt;
}

std::optional<ParseError> ApplyEdits(const std::vector<RegEdit>& edits, std::string_view rootName,
                                     Key& root, bool* changed) {
    EditApplier applier(rootName, root);
    std::optional<ParseError> error;
    for (const RegEdit& edit : edits)
        if ((error = applier.Apply(edit)))
            break;
    if (changed)
        *changed = applier.Changed();
    return error;
}

namespace {

void AppendQuoted(std::string& out, std::string_view text) {
    out += '"';
    for (;;) {
        const std::size_t special = FindQuoteOrEscape(text);
        out += text.substr(0, special);
        if (special == std::string_view::npos)
            break;
        out += '\\';
        out += text[special];
        text.remove_prefix(special + 1);
    }
    out += '"';
}

// Exactly one text and its closing zero, with nothing a line of the file cannot hold.
bool FitsQuotedText(const std::vector<BYTE>& data) {
    if (data.empty() || data.back() != 0)
        return false;
    return std::none_of(data.begin(), data.end() - 1,
                        [](BYTE b) { return b == 0 || b == '\r' || b == '\n'; });
}

// Written straight into out, the line measured from lineStart: a hive of many values is
// written without a string per line.
void AppendHex(std::string& out, std::size_t lineStart, const std::vector<BYTE>& data) {
    constexpr std::size_t kWrapAt = 76;
    constexpr char kDigits[] = "0123456789abcdef";
    for (std::size_t i = 0; i < data.size(); ++i) {
        out += kDigits[data[i] >> 4];
        out += kDigits[data[i] & 0x0F];
        if (i + 1 < data.size()) {
            out += ',';
            if (out.size() - lineStart > kWrapAt) {
                out += "\\\r\n";
                lineStart = out.size();
                out += "  ";
            }
        }
    }
    out += "\r\n";
}

void AppendValue(std::string& out, const Value& value) {
    const std::size_t lineStart = out.size();
    if (value.name.empty())
        out += '@';
    else
        AppendQuoted(out, value.name);
    out += '=';
    if (value.type == REG_SZ && FitsQuotedText(value.data)) {
        AppendQuoted(out, std::string_view(reinterpret_cast<const char*>(value.data.data()),
                                           value.data.size() - 1));
        out += "\r\n";
        return;
    }
    if (value.type == REG_DWORD && value.data.size() == 4) {
        DWORD number = 0;
        for (int i = 3; i >= 0; --i)
            number = (number << 8) | value.data[static_cast<std::size_t>(i)];
        char text[16];
        std::snprintf(text, sizeof text, "dword:%08x", static_cast<unsigned>(number));
        out += text;
        out += "\r\n";
        return;
    }
    if (value.type == REG_BINARY) {
        out += "hex:";
    } else {
        char prefix[24];
        std::snprintf(prefix, sizeof prefix, "hex(%x):", static_cast<unsigned>(value.type));
        out += prefix;
    }
    AppendHex(out, lineStart, value.data);
}

} // namespace

namespace {

constexpr std::size_t kSerializeSlack = 64 * 1024;

} // namespace

void SerializeKey(const Key& key, const std::string& fullName, std::string& out) {
    // Depth first with a stack of our own: each entry is a key and the length its section name
    // has in `name`, which grows and shrinks as the walk goes down and up.
    struct Pending {
        const Key* key;
        std::size_t nameLength;
    };
    std::string name = fullName;
    std::vector<Pending> pending{{&key, name.size()}};
    while (!pending.empty()) {
        const Pending next = pending.back();
        pending.pop_back();
        name.resize(next.nameLength);
        if (next.key != &key) {
            name += '\\';
            name += next.key->Name();
        }
        // A large hive's text grows fourfold, so that it is rarely moved; room not yet written
        // costs nothing.
        if (out.capacity() - out.size() < kSerializeSlack)
            out.reserve(std::max(out.capacity() * 4, kSerializeSlack * 4));
        out += '[';
        out += name;
        out += "]\r\n";
        for (const Value& value : next.key->Values())
            AppendValue(out, value);
        out += "\r\n";
        const auto& subkeys = next.key->Subkeys();
        for (auto subkey = subkeys.rbegin(); subkey != subkeys.rend(); ++subkey)
            pending.push_back({subkey->get(), name.size()});
    }
}

std::string SerializeHive(const Key& root, std::string_view rootName, std::size_t expectedSize) {
    std::string out;
    out.reserve(expectedSize);
    out += kRegedit4Header;
    out += "\r\n\r\n";
    if (!root.Values().empty()) {
        out += '[';
        out += rootName;
        out += "]\r\n";
        for (const Value& value : root.Values())
            AppendValue(out, value);
        out += "\r\n";
    }
    for (const auto& subkey : root.Subkeys())
        SerializeKey(*subkey, std::string(rootName) + "\\" + subkey->Name(), out);
    return out;
}

} // namespace hive
