// Taking a .reg document line by line (reg_text_lines.h).
#include "platform/posix/reg_text_lines.h"

#include <algorithm>
#include <cstring>

namespace brisvane::platform::hive {

bool TextLines::Next(std::string_view& line) {
    if (m_next > m_text.size() || (m_next == m_text.size() && m_started))
        return false;
    m_started = true;
    const std::size_t end = m_text.find('\n', m_next);
    line = m_text.substr(m_next, end == std::string_view::npos ? end : end - m_next);
    m_next = end == std::string_view::npos ? m_text.size() + 1 : end + 1;
    return true;
}

char* StreamLines::Room(std::size_t size) {
    if (m_capacity - m_end < size) {
        const std::size_t capacity = std::max(2 * m_capacity, m_end + size);
        auto grown = std::make_unique_for_overwrite<char[]>(capacity);
        if (m_end > 0)
            std::memcpy(grown.get(), m_buffer.get(), m_end);
        m_buffer = std::move(grown);
        m_capacity = capacity;
    }
    return m_buffer.get() + m_end;
}

void StreamLines::Append(std::string_view bytes) {
    if (bytes.empty())
        return;
    std::memcpy(Room(bytes.size()), bytes.data(), bytes.size());
    m_end += bytes.size();
}

void StreamLines::Decode(std::string_view bytes) {
    if (!m_utf16) {
        Append(bytes);
        return;
    }
    m_decoded.clear();
    std::size_t at = 0;
    if (m_oddByte && !bytes.empty()) {
        m_writer.Unit(static_cast<unsigned char>(*m_oddByte) |
                      (static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[0])) << 8));
        m_oddByte.reset();
        at = 1;
    }
    for (; at + 1 < bytes.size(); at += 2)
        m_writer.Unit(static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[at])) |
                      (static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[at + 1])) << 8));
    if (at < bytes.size())
        m_oddByte = bytes[at];
    if (bytes.empty())
        m_writer.Finish();
    Append(m_decoded);
}

void StreamLines::Begin() {
    m_raw.resize(kChunk);
    std::size_t got = m_source(m_raw.data(), m_raw.size());
    std::string_view bytes(m_raw.data(), got);
    // The mark needs its first three bytes together.
    while (got > 0 && bytes.size() < 3) {
        m_raw.resize(bytes.size() + kChunk);
        got = m_source(m_raw.data() + bytes.size(), kChunk);
        bytes = std::string_view(m_raw.data(), bytes.size() + got);
    }
    m_begun = true;
    if (bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFF &&
        static_cast<unsigned char>(bytes[1]) == 0xFE) {
        m_utf16 = true;
        bytes.remove_prefix(2);
    } else if (bytes.substr(0, 3) == "\xEF\xBB\xBF") {
        bytes.remove_prefix(3);
    }
    // Only a read that brings nothing is the end: the mark alone may have filled the first.
    m_ended = got == 0;
    Decode(bytes);
}

bool StreamLines::Fill() {
    if (m_ended)
        return false;
    // What was taken already is let go, so that the buffer holds about one chunk.
    if (m_start > 0)
        std::memmove(m_buffer.get(), m_buffer.get() + m_start, m_end - m_start);
    m_end -= m_start;
    m_scanned -= m_start;
    m_start = 0;
    const std::size_t before = m_end;
    if (!m_begun) {
        Begin();
    } else if (!m_utf16) {
        const std::size_t got = m_source(Room(kChunk), kChunk);
        m_end += got;
        m_ended = got == 0;
    } else {
        m_raw.resize(kChunk);
        const std::size_t got = m_source(m_raw.data(), m_raw.size());
        m_ended = got == 0;
        Decode(std::string_view(m_raw.data(), got));
    }
    return !m_ended || m_end > before;
}

bool StreamLines::Next(std::string_view& line) {
    for (;;) {
        const char* end = nullptr;
        if (m_scanned < m_end)
            end = static_cast<const char*>(
                std::memchr(m_buffer.get() + m_scanned, '\n', m_end - m_scanned));
        if (end) {
            const auto at = static_cast<std::size_t>(end - m_buffer.get());
            line = std::string_view(m_buffer.get() + m_start, at - m_start);
            m_start = m_scanned = at + 1;
            m_started = true;
            return true;
        }
        m_scanned = m_end;
        if (!Fill())
            break;
    }
    // The last line has no line end; after a line end at the very end there is none.
    if (m_start == m_end && m_started)
        return false;
    line = std::string_view(m_buffer.get() + m_start, m_end - m_start);
    m_start = m_scanned = m_end;
    m_started = true;
    return true;
}

} // namespace brisvane::platform::hive
