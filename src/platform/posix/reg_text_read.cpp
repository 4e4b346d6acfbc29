// Reading a .reg document, one small function per kind of line: the header, a key line, a
// deleted key, a value line with its data (text, dword, hex) and the hex data's continuation
// lines (reg_text.h).
#include "platform/posix/reg_text.h"
#include "platform/posix/reg_text_lines.h"
#include "platform/posix/reg_text_parts.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>

namespace brisvane::platform::hive {

namespace {

// How many first bytes a and b share, eight at a time: every section name is compared with the
// one before.
std::size_t CommonPrefix(std::string_view a, std::string_view b) {
    const std::size_t shorter = std::min(a.size(), b.size());
    std::size_t at = 0;
    for (; at + 8 <= shorter; at += 8) {
        std::uint64_t x;
        std::uint64_t y;
        std::memcpy(&x, a.data() + at, 8);
        std::memcpy(&y, b.data() + at, 8);
        if (x != y) {
            const std::uint64_t differ = x ^ y;
            if constexpr (std::endian::native == std::endian::little)
                return at + static_cast<std::size_t>(std::countr_zero(differ)) / 8;
            else
                return at + static_cast<std::size_t>(std::countl_zero(differ)) / 8;
        }
    }
    while (at < shorter && a[at] == b[at])
        ++at;
    return at;
}

// Reads the lines after the header in turn; each kind of line has its function, which says
// why it failed in m_reason.
class DocumentReader {
public:
    DocumentReader(LineSource& lines, bool unicode, const EditSink& sink, std::size_t lineCount,
                   const SectionValuesWanted* valuesWanted)
        : m_lines(lines), m_lineCount(lineCount), m_unicode(unicode), m_sink(sink),
          m_valuesWanted(valuesWanted) {}

    std::optional<ParseError> Run() {
        std::string_view line;
        while (NextLine(line)) {
            const bool ok = Line(Trim(line));
            if (m_refused)
                return m_refused;
            if (!ok)
                return ParseError{LineNumber(), m_reason};
        }
        return std::nullopt;
    }

private:
    // The lines are taken one at a time, never all listed: a large file needs no second copy.
    bool NextLine(std::string_view& line) {
        if (!m_lines.Next(line))
            return false;
        ++m_lineCount;
        return true;
    }

    int LineNumber() const { return static_cast<int>(m_lineCount); }

public:
    std::size_t LinesTaken() const { return m_lineCount; }

    // Takes the key section that the lines to come belong to, as a line of its own but without
    // handing its edit on, nor counting it.
    std::optional<ParseError> Enter(std::string_view sectionLine) {
        m_quiet = true;
        const bool ok = Line(Trim(sectionLine));
        m_quiet = false;
        if (!ok)
            return ParseError{LineNumber(), m_reason};
        return std::nullopt;
    }

private:
    bool Fail(std::string reason) {
        m_reason = std::move(reason);
        return false;
    }

    bool Hand() {
        if (m_quiet)
            return true;
        m_refused = m_sink(m_edit);
        return !m_refused;
    }

    bool Line(std::string_view line) {
        if (line.empty() || line.front() == ';')
            return true;
        if (line.front() == '[')
            return line.size() > 1 && line[1] == '-' ? DeletedKeyLine(line) : KeyLine(line);
        if (!m_inSection)
            return Fail("a value before the first key section");
        if (line.front() == '@')
            return DefaultValueLine(line);
        if (line.front() == '"')
            return NamedValueLine(line);
        return Fail("a line that is neither a key section nor a value");
    }

    // "[HKEY_...\path]": a key to create; the values on the lines that follow are its own.
    bool KeyLine(std::string_view line) {
        std::string_view name;
        return SectionName(line, name) && Section(name, RegEdit::Kind::CreateKey);
    }

    // "[-HKEY_...\path]": a key to delete with everything below it; the values that follow
    // are read and passed over.
    bool DeletedKeyLine(std::string_view line) {
        std::string_view name;
        if (!SectionName(line, name))
            return false;
        name.remove_prefix(1);
        return Section(name, RegEdit::Kind::DeleteKey);
    }

    // What lies between the brackets of a key line.
    bool SectionName(std::string_view line, std::string_view& name) {
        const std::size_t close = line.rfind(']');
        if (close == std::string_view::npos)
            return Fail("a key section without its closing ']'");
        if (!Trim(line.substr(close + 1)).empty())
            return Fail("text after a key section");
        name = line.substr(1, close - 1);
        return true;
    }

    bool Section(std::string_view name, RegEdit::Kind kind) {
        if (!name.empty() && name.back() == '\\')
            name.remove_suffix(1);
        // The section's root and path stay in m_edit for the values that follow.
        if (!SplitSectionName(name))
            return Fail("an empty key name in a section");
        if (m_edit.path.size() > kMaxKeyDepth)
            return Fail("a key more than " + std::to_string(kMaxKeyDepth) +
                        " levels below its root");
        m_edit.kind = kind;
        m_edit.value.name.clear();
        m_edit.value.data.clear();
        m_edit.line = LineNumber();
        m_inSection = true;
        if (!Hand())
            return false;
        // A section taken quietly was not handed: the sink cannot tell about its values.
        m_valuesPassedOver = kind == RegEdit::Kind::DeleteKey ||
                             (!m_quiet && m_valuesWanted && !(*m_valuesWanted)());
        return true;
    }

    // Splits name into the root and path of m_edit, reusing their strings from the section
    // before; false when a part is empty.
    bool SplitSectionName(std::string_view name) {
        // Most sections share their first parts with the one before: the parts that end before
        // the first byte where the two names differ are in m_edit as they were.
        const std::size_t differs = CommonPrefix(name, m_lastName);
        if (differs == name.size() && name.size() == m_lastName.size() && !m_partEnds.empty()) {
            m_edit.partsAsBefore = m_partEnds.size();
            return true;
        }
        std::size_t kept = 0;
        while (kept < m_partEnds.size() && m_partEnds[kept] < differs)
            ++kept;
        m_partEnds.resize(kept);
        m_edit.partsAsBefore = kept;
        std::size_t start = kept == 0 ? 0 : m_partEnds.back() + 1;
        bool empty = false;
        for (;;) {
            const std::size_t at = name.find('\\', start);
            const std::size_t end = at == std::string_view::npos ? name.size() : at;
            const std::string_view part = name.substr(start, end - start);
            empty = empty || part.empty();
            const std::size_t below = m_partEnds.size();
            if (below == 0)
                m_edit.rootName.assign(part);
            else if (below > m_edit.path.size())
                m_edit.path.emplace_back(part);
            else
                m_edit.path[below - 1].assign(part);
            m_partEnds.push_back(end);
            if (at == std::string_view::npos)
                break;
            start = at + 1;
        }
        m_edit.path.resize(m_partEnds.size() - 1);
        m_lastName.assign(name);
        return !empty;
    }

    // "@=data": the key's default value, whose name is empty.
    bool DefaultValueLine(std::string_view line) {
        StartValue();
        return ValueAfterName(line.substr(1));
    }

    // "\"name\"=data".
    bool NamedValueLine(std::string_view line) {
        StartValue();
        std::string_view rest = line.substr(1);
        return QuotedText(rest, m_edit.value.name) && ValueAfterName(rest);
    }

    void StartValue() {
        // A value's name is its section's.
        m_edit.partsAsBefore = m_partEnds.size();
        m_edit.value.type = REG_NONE;
        m_edit.value.name.clear();
        m_edit.value.data.clear();
        m_edit.line = LineNumber();
    }

    // The "=data" after a value's name; a value in a deleted section, or one the sink has no
    // use for, is read but not handed.
    bool ValueAfterName(std::string_view rest) {
        rest = TrimLeft(rest);
        if (rest.empty() || rest.front() != '=')
            return Fail("a value name without '='");
        return Data(TrimLeft(rest.substr(1))) && (m_valuesPassedOver || Hand());
    }

    bool Data(std::string_view rest) {
        if (rest == "-") {
            m_edit.kind = RegEdit::Kind::DeleteValue;
            return true;
        }
        m_edit.kind = RegEdit::Kind::SetValue;
        if (!rest.empty() && rest.front() == '"')
            return TextData(rest.substr(1));
        if (StartsWithNoCase(rest, "dword:"))
            return DwordData(rest.substr(6));
        if (StartsWithNoCase(rest, "hex:") || StartsWithNoCase(rest, "hex("))
            return HexData(rest);
        return Fail("value data of an unknown form");
    }

    // "\"text\"": REG_SZ, stored with its closing zero.
    bool TextData(std::string_view rest) {
        std::string& text = m_scratch;
        if (!QuotedText(rest, text))
            return false;
        if (!Trim(rest).empty())
            return Fail("text after a quoted value");
        m_edit.value.type = REG_SZ;
        if (m_valuesPassedOver)
            return true;
        m_edit.value.data.assign(text.begin(), text.end());
        m_edit.value.data.push_back(0);
        return true;
    }

    // "dword:0000001f": REG_DWORD, stored little-endian.
    bool DwordData(std::string_view digits) {
        const auto number = ParseHexNumber(Trim(digits), 8);
        if (!number)
            return Fail("a dword value that is not 1 to 8 hex digits");
        m_edit.value.type = REG_DWORD;
        for (int i = 0; i < 4; ++i)
            m_edit.value.data.push_back(static_cast<BYTE>(*number >> (8 * i)));
        return true;
    }

    // "hex:01,02" (REG_BINARY) or "hex(N):01,02"; in the Unicode form the text types hold
    // UTF-16, which becomes the program's 8-bit text.
    bool HexData(std::string_view rest) {
        EditValue& value = m_edit.value;
        if (StartsWithNoCase(rest, "hex:")) {
            value.type = REG_BINARY;
            rest.remove_prefix(4);
        } else {
            const std::size_t close = rest.find("):");
            const auto type = close == std::string_view::npos
                                  ? std::nullopt
                                  : ParseHexNumber(rest.substr(4, close - 4), 8);
            if (!type)
                return Fail("a hex(N) value with a bad type number");
            value.type = *type;
            rest.remove_prefix(close + 2);
        }
        std::string joined;
        if (!ContinuationLines(rest, joined))
            return false;
        if (!ParseHexBytes(Trim(joined), value.data))
            return Fail("a hex byte that is not 1 or 2 hex digits");
        const bool utf16 =
            value.type == REG_SZ || value.type == REG_EXPAND_SZ || value.type == REG_MULTI_SZ;
        if (m_unicode && utf16) {
            const std::string text = Utf16ToText(std::string_view(
                reinterpret_cast<const char*>(value.data.data()), value.data.size()));
            value.data.assign(text.begin(), text.end());
        }
        return true;
    }

    // Hex data ending in '\' goes on at the next line: the parts joined without the '\'.
    bool ContinuationLines(std::string_view rest, std::string& joined) {
        std::string_view part = Trim(rest);
        while (!part.empty() && part.back() == '\\') {
            joined += part.substr(0, part.size() - 1);
            std::string_view next;
            if (!NextLine(next))
                return Fail("a hex value continued past the end of the file");
            part = Trim(next);
        }
        joined += part;
        return true;
    }

    // A quoted text with \\ and \" escapes; s starts after the opening quote and ends up
    // after the closing one.
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

    LineSource& m_lines;
    std::size_t m_lineCount; // lines taken so far
    bool m_unicode;
    const EditSink& m_sink;
    RegEdit m_edit;
    std::optional<ParseError> m_refused;
    bool m_inSection = false;
    const SectionValuesWanted* m_valuesWanted;
    bool m_valuesPassedOver = false; // the section's values are not handed
    bool m_quiet = false;            // edits are not handed on
    std::string m_reason;
    std::string m_scratch;               // a value's text, its room kept for the next one's
    std::string m_lastName;              // the section name before, as written
    std::vector<std::size_t> m_partEnds; // where each of its parts ends in it
};

std::optional<ParseError> ParseLines(LineSource& lines, const EditSink& sink,
                                     std::size_t* lineCount,
                                     const SectionValuesWanted* valuesWanted) {
    std::string_view first;
    lines.Next(first);
    const std::optional<bool> unicode = HeaderForm(first);
    if (!unicode)
        return ParseError{1, "the first line is neither REGEDIT4 nor Windows Registry Editor "
                             "Version 5.00"};
    DocumentReader reader(lines, *unicode, sink, 1, valuesWanted);
    std::optional<ParseError> error = reader.Run();
    if (lineCount)
        *lineCount = reader.LinesTaken();
    return error;
}

} // namespace

std::optional<bool> HeaderForm(std::string_view line) {
    const std::string_view header = TrimRight(line);
    if (header == "Windows Registry Editor Version 5.00")
        return true;
    if (header == kRegedit4Header)
        return false;
    return std::nullopt;
}

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
    TextLines lines(text);
    return ParseLines(lines, sink, nullptr, nullptr);
}

std::optional<ParseError> ParseRegStream(const ByteSource& source, const EditSink& sink,
                                         std::size_t* lineCount,
                                         const SectionValuesWanted* valuesWanted) {
    StreamLines lines(source);
    return ParseLines(lines, sink, lineCount, valuesWanted);
}

std::optional<ParseError> ParseRegPart(const ByteSource& source, bool unicode,
                                       std::string_view sectionLine, const EditSink& sink,
                                       const SectionValuesWanted* valuesWanted) {
    StreamLines lines(source, false);
    DocumentReader reader(lines, unicode, sink, 0, valuesWanted);
    if (std::optional<ParseError> error = reader.Enter(sectionLine))
        return error;
    return reader.Run();
}

std::optional<ParseError> ParseRegDocument(std::string_view bytes, std::vector<RegEdit>& edits) {
    return ParseRegDocument(bytes, [&edits](const RegEdit& edit) -> std::optional<ParseError> {
        edits.push_back(edit);
        return std::nullopt;
    });
}

} // namespace brisvane::platform::hive
