// Reading Wine's registry files (wine_hive.h) line by line, as Wine's server loads them: a
// "[...]" line opens a key, "@=" and "\"name\"=" lines set its values, "#" lines after a key
// are its metadata, ";" lines are comments. A line that cannot be read is passed over and
// counted, as Wine warns and goes on. Sections of keys that are not wanted are only looked at
// for where the next section starts.
#include "platform/posix/wine_hive.h"

#include "platform/posix/file_io.h"
#include "platform/posix/reg_text_parts.h"
#include "platform/posix/wine_hive_text.h"

#include <algorithm>
#include <cerrno>

namespace brisvane::platform::wine {

namespace {

using hive::Trim;
using hive::TrimLeft;

bool StartsWith(std::string_view s, std::string_view prefix) {
    return s.substr(0, prefix.size()) == prefix;
}

// A line whose first character other than a space or tab is '[' always opens a section: no
// value's continuation reaches into one, so that wanted or not, the sections are the same.
bool OpensSection(std::string_view line) {
    const std::string_view body = TrimLeft(line);
    return !body.empty() && body.front() == '[';
}

// The key names of a section name; Wine takes repeated, leading and trailing backslashes as one.
std::vector<std::string> SplitKeyName(std::string_view name) {
    std::vector<std::string> path;
    std::size_t start = 0;
    while (start <= name.size()) {
        const std::size_t at = std::min(name.find('\\', start), name.size());
        if (at > start)
            path.emplace_back(name.substr(start, at - start));
        start = at + 1;
    }
    return path;
}

// Data that Wine writes as hex although it is text: UTF-16, as Windows keeps it.
bool IsUtf16Text(DWORD type) {
    return type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ;
}

// The "N" of "str(N):" or "hex(N):" at the start of s, which is taken off up to the ':'.
std::optional<DWORD> TypeNumber(std::string_view& s) {
    const std::size_t close = s.find("):");
    if (close == std::string_view::npos)
        return std::nullopt;
    const auto type = hive::ParseHexNumber(s.substr(0, close), 8);
    s.remove_prefix(close + 2);
    return type;
}

class HiveReader {
public:
    HiveReader(std::string_view text, hive::Key& root, const WantedKey& wanted, WineHiveParse& out)
        : m_text(text), m_root(root), m_wanted(wanted), m_out(out) {}

    void Run() {
        std::string_view line;
        std::size_t begin = 0;
        if (!NextLine(line, begin) || hive::TrimRight(line) != kWineHiveHeader)
            return;
        m_out.isWineHive = true;
        while (NextLine(line, begin)) {
            if (OpensSection(line))
                Section(TrimLeft(line).substr(1), begin);
            else if (m_state != State::Passing && !Line(TrimLeft(line)))
                ++m_out.skippedLines;
        }
        CloseSection(m_text.size());
    }

private:
    enum class State { BeforeKeys, Keeping, Passing };

    // The lines are taken one at a time, without their line end (LF or CR LF).
    bool NextLine(std::string_view& line, std::size_t& begin) {
        if (m_next >= m_text.size())
            return false;
        begin = m_next;
        const std::size_t end = std::min(m_text.find('\n', begin), m_text.size());
        line = m_text.substr(begin, end - begin);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        m_next = end + (end < m_text.size() ? 1 : 0);
        return true;
    }

    void CloseSection(std::size_t at) {
        if (m_sectionOpen)
            m_out.sections.back().end = at;
        m_sectionOpen = false;
    }

    // "[name] 1796851736": the modification time after the name is of no use here. A key too
    // deep to be created is refused with its values, as a key line that cannot be read is.
    void Section(std::string_view rest, std::size_t begin) {
        CloseSection(begin);
        m_state = State::Passing;
        m_key = nullptr;
        std::string name;
        if (!ReadWineText(rest, ']', name)) {
            ++m_out.skippedLines;
            return;
        }
        m_out.sections.push_back({SplitKeyName(name), begin, begin});
        m_sectionOpen = true;
        const std::vector<std::string>& path = m_out.sections.back().path;
        if (path.size() > hive::kMaxKeyDepth) {
            ++m_out.skippedLines;
            return;
        }
        if (m_wanted && !m_wanted(path))
            return;
        m_key = &m_root.Create(path);
        m_state = State::Keeping;
    }

    // Any line of a kept section, or before the first section; false when it is passed over.
    bool Line(std::string_view line) {
        if (line.empty() || line.front() == ';' || line.front() == '#')
            return true;
        if (line.front() != '@' && line.front() != '"')
            return false;
        // A value before any key has nowhere to go.
        return m_state == State::Keeping && ValueLine(line);
    }

    // "@=data" (the default value, whose name is empty) or "\"name\"=data".
    bool ValueLine(std::string_view line) {
        std::string name;
        std::string_view rest = line.substr(1);
        if (line.front() == '"' && !ReadWineText(rest, '"', name))
            return false;
        rest = TrimLeft(rest);
        if (rest.empty() || rest.front() != '=')
            return false;
        DWORD type = REG_NONE;
        std::vector<BYTE> data;
        if (!Data(TrimLeft(rest.substr(1)), type, data))
            return false;
        m_key->SetValue(name, type, std::move(data));
        return true;
    }

    // The data after "=": "text", str(N):"text", dword:N, hex:bytes or hex(N):bytes.
    bool Data(std::string_view rest, DWORD& type, std::vector<BYTE>& data) {
        type = REG_SZ;
        if (StartsWith(rest, "\""))
            return TextData(rest.substr(1), data);
        if (StartsWith(rest, "str:\""))
            return TextData(rest.substr(5), data);
        if (StartsWith(rest, "str(")) {
            rest.remove_prefix(4);
            const auto number = TypeNumber(rest);
            type = number.value_or(REG_NONE);
            return number && StartsWith(rest, "\"") && TextData(rest.substr(1), data);
        }
        if (StartsWith(rest, "dword:")) {
            const auto number = hive::ParseHexNumber(Trim(rest.substr(6)), 8);
            type = REG_DWORD;
            for (int i = 0; number && i < 4; ++i)
                data.push_back(static_cast<BYTE>(*number >> (8 * i)));
            return number.has_value();
        }
        type = REG_BINARY;
        if (StartsWith(rest, "hex:"))
            return HexData(rest.substr(4), type, data);
        if (StartsWith(rest, "hex(")) {
            rest.remove_prefix(4);
            const auto number = TypeNumber(rest);
            type = number.value_or(REG_NONE);
            return number && HexData(rest, type, data);
        }
        return false;
    }

    // Quoted text, kept with one closing zero; what follows the closing quote Wine ignores.
    static bool TextData(std::string_view rest, std::vector<BYTE>& data) {
        std::string text;
        if (!ReadWineText(rest, '"', text))
            return false;
        data.assign(text.begin(), text.end());
        data.push_back(0);
        return true;
    }

    // Hex bytes; a line ending in '\' goes on at the next one. A continuation that runs into
    // a section or the end of the file spoils the value.
    bool HexData(std::string_view rest, DWORD type, std::vector<BYTE>& data) {
        std::string joined;
        std::string_view part = Trim(rest);
        while (!part.empty() && part.back() == '\\') {
            joined += part.substr(0, part.size() - 1);
            const std::size_t resume = m_next;
            std::string_view next;
            std::size_t begin = 0;
            if (!NextLine(next, begin) || OpensSection(next)) {
                m_next = resume;
                return false;
            }
            part = Trim(next);
        }
        joined += part;
        if (!hive::ParseHexBytes(joined, data))
            return false;
        if (IsUtf16Text(type)) {
            const std::string text = hive::Utf16ToText(
                std::string_view(reinterpret_cast<const char*>(data.data()), data.size()));
            data.assign(text.begin(), text.end());
        }
        return true;
    }

    std::string_view m_text;
    hive::Key& m_root;
    const WantedKey& m_wanted;
    WineHiveParse& m_out;
    std::size_t m_next = 0; // where the next line starts
    State m_state = State::BeforeKeys;
    hive::Key* m_key = nullptr; // the section's key while its values are kept
    bool m_sectionOpen = false; // the last of m_out.sections still runs on
};

// Whether path is key or lies below it.
bool IsAtOrBelow(const std::vector<std::string>& path, const std::vector<std::string>& key) {
    return path.size() >= key.size() && std::equal(key.begin(), key.end(), path.begin(),
                                                   [](const std::string& a, const std::string& b) {
                                                       return hive::NamesEqual(a, b);
                                                   });
}

} // namespace

WineHiveParse ParseWineHive(std::string_view text, hive::Key& root, const WantedKey& wanted) {
    WineHiveParse out;
    HiveReader(text, root, wanted, out).Run();
    return out;
}

WineHiveRead ReadWineHive(const std::string& path, hive::Key& root, const WantedKey& wanted,
                          std::string* text, struct stat* info) {
    std::string content;
    const posix::FileRead read = posix::ReadRegularFile(path, content, info, kMaxWineHiveSize);
    const int error = errno;
    switch (read) {
    case posix::FileRead::Read:
        break;
    case posix::FileRead::Missing:
        return WineHiveRead::Missing;
    case posix::FileRead::NotRegular:
        return WineHiveRead::NotRegular;
    case posix::FileRead::TooLarge:
        return WineHiveRead::TooLarge;
    case posix::FileRead::Failed:
        // A file where a folder of the path should be: nothing is there either.
        return error == ENOTDIR ? WineHiveRead::Missing : WineHiveRead::Failed;
    }
    const bool wine = ParseWineHive(content, root, wanted).isWineHive;
    if (text)
        *text = std::move(content);
    return wine ? WineHiveRead::Read : WineHiveRead::NotAWineHive;
}

std::string WithoutKey(std::string_view text, const std::vector<std::string>& key,
                       std::size_t* removed) {
    hive::Key scratch;
    const WineHiveParse parse =
        ParseWineHive(text, scratch, [](const std::vector<std::string>&) { return false; });
    std::string out;
    out.reserve(text.size());
    std::size_t kept = 0; // where the text not yet copied starts
    std::size_t count = 0;
    for (const WineSection& section : parse.sections) {
        if (!IsAtOrBelow(section.path, key))
            continue;
        out.append(text.substr(kept, section.begin - kept));
        kept = section.end;
        ++count;
    }
    out.append(text.substr(kept));
    if (removed)
        *removed = count;
    return out;
}

std::optional<std::string> ValueText(const hive::Key& key, std::string_view name) {
    const hive::Value* value = key.FindValue(name);
    if (!value || (value->type != REG_SZ && value->type != REG_EXPAND_SZ))
        return std::nullopt;
    const auto zero = std::find(value->data.begin(), value->data.end(), BYTE{0});
    return std::string(value->data.begin(), zero);
}

} // namespace brisvane::platform::wine
