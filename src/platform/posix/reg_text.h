// The .reg text of a hive: reading a document edit by edit, in both the REGEDIT4 and the
// "Windows Registry Editor Version 5.00" forms, and writing a tree as REGEDIT4.
#pragma once

#include "platform/posix/hive_key.h"

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace brisvane::platform::hive {

// A value as a document gives it.
struct EditValue {
    std::string name;
    DWORD type = REG_NONE;
    std::vector<BYTE> data;
};

// One change that a .reg document asks for, in document order.
struct RegEdit {
    enum class Kind { CreateKey, DeleteKey, SetValue, DeleteValue };
    Kind kind = Kind::CreateKey;
    std::string rootName; // the first part of the section name, e.g. "HKEY_CURRENT_USER"
    std::vector<std::string> path;
    EditValue value; // only the name for DeleteValue
    int line = 0;
    // At least this many leading parts of the name, the root first, are the same bytes as in
    // the edit handed just before: a reader going through a large hive need not compare them
    // again. 0 says nothing is known.
    std::size_t partsAsBefore = 0;
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
// Fills the buffer with the next bytes of a document and says how many; 0 at its end.
using ByteSource = std::function<std::size_t(char* buffer, std::size_t size)>;
// Asked after each key section's edit has been handed: false when none of the values on the
// section's lines can matter to the sink, which is then not handed them (they are still
// checked). Without it every value is handed.
using SectionValuesWanted = std::function<bool()>;
// The same as ParseRegDocument, the document read from source in fixed-size chunks: however
// long it is, only about one chunk of it is held at a time. lineCount, when given, receives
// how many lines were read.
std::optional<ParseError> ParseRegStream(const ByteSource& source, const EditSink& sink,
                                         std::size_t* lineCount = nullptr,
                                         const SectionValuesWanted* valuesWanted = nullptr);
// A part of an 8-bit document cut from it at the start of a line that no line before runs on
// to, read as ParseRegStream reads the lines after the header (in the form unicode names), its
// lines numbered from 1. sectionLine is the key section line its first lines belong to, whose
// edit is not handed again.
std::optional<ParseError> ParseRegPart(const ByteSource& source, bool unicode,
                                       std::string_view sectionLine, const EditSink& sink,
                                       const SectionValuesWanted* valuesWanted = nullptr);
// Which form a document's first line names: true for "Windows Registry Editor Version 5.00",
// false for REGEDIT4, nothing for neither.
std::optional<bool> HeaderForm(std::string_view line);
// The same, collecting the edits.
std::optional<ParseError> ParseRegDocument(std::string_view bytes, std::vector<RegEdit>& edits);

inline constexpr std::string_view kRegedit4Header = "REGEDIT4";

// The REGEDIT4 text of a whole settled hive (Key::Settle), CR LF line ends, as regedit would
// export it; room for expectedSize bytes is made at once.
std::string SerializeHive(const Key& root, std::string_view rootName, std::size_t expectedSize = 0);
// The sections of a settled key and everything below it; fullName is its section name.
void SerializeKey(const Key& key, const std::string& fullName, std::string& out);

// Takes serialized text as it is made; false stops the writing.
using TextSink = std::function<bool(std::string_view text)>;
// The same text as SerializeHive, handed to sink in pieces of about a chunk, so that the whole
// text is never held; false when sink refused a piece.
bool SerializeHiveTo(const Key& root, std::string_view rootName, const TextSink& sink);

// Where the next '"' or '\' lies, the two characters a quoted text escapes. Eight bytes are
// looked at a time: a hive's texts are mostly plain, and find_first_of would search the two for
// every character.
inline std::size_t FindQuoteOrEscape(std::string_view text) {
    std::size_t at = 0;
    if constexpr (std::endian::native == std::endian::little) {
        constexpr std::uint64_t kOnes = 0x0101010101010101;
        constexpr std::uint64_t kHighs = 0x8080808080808080;
        const auto zeroBytes = [](std::uint64_t v) { return (v - kOnes) & ~v & kHighs; };
        for (; at + 8 <= text.size(); at += 8) {
            std::uint64_t word;
            std::memcpy(&word, text.data() + at, 8);
            // Above the lowest byte found, a borrow may mark others: only the lowest counts.
            const std::uint64_t found =
                zeroBytes(word ^ (kOnes * '"')) | zeroBytes(word ^ (kOnes * '\\'));
            if (found)
                return at + static_cast<std::size_t>(std::countr_zero(found)) / 8;
        }
    }
    for (; at < text.size(); ++at) {
        if (text[at] == '"' || text[at] == '\\')
            return at;
    }
    return std::string_view::npos;
}

} // namespace brisvane::platform::hive
