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

std::u16string Folded(std::string_view name) {
    return brisvane::platform::posix::UpcasedUnits(name);
}

} // namespace

bool NamesEqual(std::string_view a, std::string_view b) {
    return brisvane::platform::posix::NamesEqualIgnoringCase(a, b);
}

void Key::ReleaseSubkeys(std::map<FoldedName, std::unique_ptr<Key>>& subkeys) {
    std::vector<std::unique_ptr<Key>> pending;
    for (auto& [folded, subkey] : subkeys)
        pending.push_back(std::move(subkey));
    subkeys.clear();
    while (!pending.empty()) {
        std::unique_ptr<Key> key = std::move(pending.back());
        pending.pop_back();
        for (auto& [folded, subkey] : key->m_subkeys)
            pending.push_back(std::move(subkey));
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
        m_subkeyList = std::move(other.m_subkeyList);
        m_subkeyListStale = other.m_subkeyListStale;
        m_values = std::move(other.m_values);
        m_valueAt = std::move(other.m_valueAt);
        m_removedValues = other.m_removedValues;
    }
    return *this;
}

Key* Key::FindSubkey(std::string_view name) {
    auto at = m_subkeys.find(Folded(name));
    return at == m_subkeys.end() ? nullptr : at->second.get();
}

const Key* Key::FindSubkey(std::string_view name) const {
    return const_cast<Key*>(this)->FindSubkey(name);
}

Key& Key::AddSubkey(std::string_view name, bool* created) {
    auto [at, added] = m_subkeys.try_emplace(Folded(name));
    if (added) {
        at->second = std::make_unique<Key>(std::string(name));
        m_subkeyListStale = true;
    }
    if (created)
        *created = added;
    return *at->second;
}

bool Key::RemoveSubkey(std::string_view name) {
    auto at = m_subkeys.find(Folded(name));
    if (at == m_subkeys.end())
        return false;
    std::unique_ptr<Key> removed = std::move(at->second);
    m_subkeys.erase(at);
    m_subkeyListStale = true;
    return true;
}

const std::vector<Key*>& Key::Subkeys() const {
    SettleOwnLists();
    return m_subkeyList;
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

const Value* Key::FindValue(std::string_view name) const {
    auto at = m_valueAt.find(Folded(name));
    return at == m_valueAt.end() ? nullptr : &m_values[at->second];
}

bool Key::SetValue(std::string_view name, DWORD type, std::vector<BYTE> data) {
    auto [at, added] = m_valueAt.try_emplace(Folded(name), m_values.size());
    if (added) {
        m_values.push_back(Value{std::string(name), type, std::move(data)});
        return true;
    }
    Value& value = m_values[at->second];
    if (value.type == type && value.data == data)
        return false;
    value.type = type;
    value.data = std::move(data);
    return true;
}

bool Key::RemoveValue(std::string_view name) {
    auto at = m_valueAt.find(Folded(name));
    if (at == m_valueAt.end())
        return false;
    std::vector<BYTE>().swap(m_values[at->second].data);
    m_valueAt.erase(at);
    ++m_removedValues;
    return true;
}

const std::vector<Value>& Key::Values() const {
    SettleOwnLists();
    return m_values;
}

void Key::SettleOwnLists() const {
    if (m_subkeyListStale) {
        m_subkeyList.clear();
        m_subkeyList.reserve(m_subkeys.size());
        for (const auto& [folded, subkey] : m_subkeys)
            m_subkeyList.push_back(subkey.get());
        m_subkeyListStale = false;
    }
    if (m_removedValues > 0) {
        // A slot is live when its name still indexes it; a value set again after its removal
        // lives in a later slot.
        std::size_t kept = 0;
        for (std::size_t slot = 0; slot < m_values.size(); ++slot) {
            auto at = m_valueAt.find(Folded(m_values[slot].name));
            if (at == m_valueAt.end() || at->second != slot)
                continue;
            if (kept != slot)
                m_values[kept] = std::move(m_values[slot]);
            at->second = kept++;
        }
        m_values.resize(kept);
        m_removedValues = 0;
    }
}

void Key::Settle() const {
    std::vector<const Key*> pending{this};
    while (!pending.empty()) {
        const Key* key = pending.back();
        pending.pop_back();
        key->SettleOwnLists();
        for (const auto& [folded, subkey] : key->m_subkeys)
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

std::vector<std::string> SplitKeyPath(std::string_view path) {
    std::vector<std::string> parts;
    std::size_t start = 0;
    for (;;) {
        std::size_t at = path.find('\\', start);
        parts.emplace_back(path.substr(start, at == std::string_view::npos ? at : at - start));
        if (at == std::string_view::npos)
            break;
        start = at + 1;
    }
    return parts;
}

class DocumentParser {
public:
    DocumentParser(std::string_view text, bool unicode, const EditSink& sink)
        : m_unicode(unicode), m_sink(sink) {
        std::size_t start = 0;
        while (start <= text.size()) {
            std::size_t end = text.find('\n', start);
            if (end == std::string_view::npos) {
                if (start < text.size())
                    m_lines.push_back(text.substr(start));
                break;
            }
            m_lines.push_back(text.substr(start, end - start));
            start = end + 1;
        }
    }

    std::optional<ParseError> Run() {
        // The header line was checked by the caller.
        for (m_index = 1; m_index < m_lines.size(); ++m_index) {
            std::string_view line = Trim(m_lines[m_index]);
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
    int LineNumber() const { return static_cast<int>(m_index) + 1; }

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
        std::vector<std::string> parts = SplitKeyPath(name);
        for (const std::string& part : parts)
            if (part.empty())
                return Fail("an empty key name in a section");
        if (parts.size() - 1 > kMaxKeyDepth)
            return Fail("a key more than " + std::to_string(kMaxKeyDepth) +
                        " levels below its root");
        // The section's root and path stay in m_edit for the values that follow.
        m_edit.kind = remove ? RegEdit::Kind::DeleteKey : RegEdit::Kind::CreateKey;
        m_edit.rootName = parts.front();
        m_edit.path.assign(std::make_move_iterator(parts.begin() + 1),
                           std::make_move_iterator(parts.end()));
        m_edit.value = Value();
        m_edit.line = LineNumber();
        m_inSection = true;
        m_sectionDeleted = remove;
        return Hand();
    }

    bool Hand() {
        m_refused = m_sink(m_edit);
        return !m_refused;
    }

    // A quoted text with \\ and \" escapes; s starts after the opening quote.
    bool QuotedText(std::string_view& s, std::string& out) {
        out.clear();
        while (!s.empty()) {
            char c = s.front();
            s.remove_prefix(1);
            if (c == '"')
                return true;
            if (c == '\\') {
                if (s.empty())
                    break;
                char next = s.front();
                s.remove_prefix(1);
                if (next != '\\' && next != '"')
                    return Fail(std::string("an unknown escape \\") + next);
                out += next;
            } else {
                out += c;
            }
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
                if (m_index + 1 >= m_lines.size())
                    return Fail("a hex value continued past the end of the file");
                ++m_index;
                part = Trim(m_lines[m_index]);
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

    std::vector<std::string_view> m_lines;
    std::size_t m_index = 0;
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
    for (char c : text) {
        if (c == '\\' || c == '"')
            out += '\\';
        out += c;
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

void AppendHex(std::string& out, std::string line, const std::vector<BYTE>& data) {
    constexpr std::size_t kWrapAt = 76;
    char byte[4];
    for (std::size_t i = 0; i < data.size(); ++i) {
        std::snprintf(byte, sizeof byte, "%02x", data[i]);
        line += byte;
        if (i + 1 < data.size()) {
            line += ',';
            if (line.size() > kWrapAt) {
                out += line;
                out += "\\\r\n";
                line = "  ";
            }
        }
    }
    out += line;
    out += "\r\n";
}

void AppendValue(std::string& out, const Value& value) {
    std::string line;
    if (value.name.empty())
        line = "@";
    else
        AppendQuoted(line, value.name);
    line += '=';
    if (value.type == REG_SZ && FitsQuotedText(value.data)) {
        AppendQuoted(line, std::string_view(reinterpret_cast<const char*>(value.data.data()),
                                            value.data.size() - 1));
        out += line;
        out += "\r\n";
        return;
    }
    if (value.type == REG_DWORD && value.data.size() == 4) {
        DWORD number = 0;
        for (int i = 3; i >= 0; --i)
            number = (number << 8) | value.data[static_cast<std::size_t>(i)];
        char text[16];
        std::snprintf(text, sizeof text, "dword:%08x", static_cast<unsigned>(number));
        out += line + text + "\r\n";
        return;
    }
    if (value.type == REG_BINARY) {
        line += "hex:";
    } else {
        char prefix[24];
        std::snprintf(prefix, sizeof prefix, "hex(%x):", static_cast<unsigned>(value.type));
        line += prefix;
    }
    AppendHex(out, std::move(line), value.data);
}

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
        out += '[';
        out += name;
        out += "]\r\n";
        for (const Value& value : next.key->Values())
            AppendValue(out, value);
        out += "\r\n";
        const auto& subkeys = next.key->Subkeys();
        for (auto subkey = subkeys.rbegin(); subkey != subkeys.rend(); ++subkey)
            pending.push_back({*subkey, name.size()});
    }
}

std::string SerializeHive(const Key& root, std::string_view rootName) {
    std::string out(kRegedit4Header);
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
