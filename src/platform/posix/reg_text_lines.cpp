// Taking a .reg document line by line (reg_text_lines.h).
#include "platform/posix/reg_text_lines.h"

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

void StreamLines::Decode(std::string_view bytes) {
    if (!m_utf16) {
        m_text.append(bytes);
        return;
    }
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
}

bool StreamLines::Fill() {
    if (m_ended)
        return false;
    // What was taken already is let go, so that the buffer holds about one chunk.
    m_text.erase(0, m_start);
    m_scanned -= m_start;
    m_start = 0;
    m_raw.resize(kChunk);
    std::size_t got = m_source(m_raw.data(), m_raw.size());
    std::string_view bytes(m_raw.data(), got);
    if (!m_begun) {
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
    }
    const std::size_t before = m_text.size();
    Decode(bytes);
    // Only a read that brings nothing is the end: the mark alone may have filled the first.
    if (got == 0) {
        m_ended = true;
        if (m_utf16)
            m_writer.Finish();
    }
    return !m_ended || m_text.size() > before;
}

bool StreamLines::Next(std::string_view& line) {
    for (;;) {
        const std::size_t end = m_text.find('\n', m_scanned);
        if (end != std::string::npos) {
            line = std::string_view(m_text).substr(m_start, end - m_start);
            m_start = m_scanned = end + 1;
            m_started = true;
            return true;
        }
        m_scanned = m_text.size();
        if (!Fill())
            break;
    }
    // The last line has no line end; after a line end at the very end there is none.
    if (m_start == m_text.size() && m_started)
        return false;
    line = std::string_view(m_text).substr(m_start);
    m_start = m_scanned = m_text.size();
    m_started = true;
    return true;
}

} // namespace brisvane::platform::hive
