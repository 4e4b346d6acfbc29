// The lines of a .reg document, one at a time: from text held whole, or read from a source in
// fixed-size chunks so that only the line being read and one chunk are held.
#pragma once

#include "platform/posix/reg_text.h"
#include "platform/posix/reg_text_parts.h"

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace brisvane::platform::hive {

// A line is valid until the next call. An empty document has one empty line; a line end at the
// very end starts no further line.
class LineSource {
public:
    virtual ~LineSource() = default;
    virtual bool Next(std::string_view& line) = 0;
};

class TextLines : public LineSource {
public:
    explicit TextLines(std::string_view text) : m_text(text) {}
    bool Next(std::string_view& line) override;

private:
    std::string_view m_text;
    std::size_t m_next = 0;
    bool m_started = false;
};

// Finds the byte-order mark in the first bytes and turns UTF-16LE into 8-bit text chunk by
// chunk, as ParseRegDocument does with the whole file. 8-bit text is read straight into the
// buffer the lines are taken from.
class StreamLines : public LineSource {
public:
    // A source that starts within a document has no byte-order mark to look for.
    explicit StreamLines(const ByteSource& source, bool atDocumentStart = true)
        : m_source(source), m_writer(m_decoded), m_begun(!atDocumentStart) {}
    bool Next(std::string_view& line) override;

private:
    // Adds the next chunk after m_end; false at the end.
    bool Fill();
    // The first chunk, which says the document's form.
    void Begin();
    void Decode(std::string_view bytes);
    // Room for size more bytes after m_end.
    char* Room(std::size_t size);
    void Append(std::string_view bytes);

    static constexpr std::size_t kChunk = 64 * 1024;
    const ByteSource& m_source;
    std::string m_raw;
    std::string m_decoded;
    Utf16Writer m_writer;
    std::unique_ptr<char[]> m_buffer;
    std::size_t m_capacity = 0;
    std::size_t m_end = 0;     // how much of m_buffer holds text
    std::size_t m_start = 0;   // where the next line starts in m_buffer
    std::size_t m_scanned = 0; // up to where m_buffer holds no line end past m_start
    std::optional<char> m_oddByte;
    bool m_begun = false;
    bool m_utf16 = false;
    bool m_ended = false;
    bool m_started = false;
};

} // namespace brisvane::platform::hive
