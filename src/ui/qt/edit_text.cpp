#include "ui/qt/edit_text.h"

#include <algorithm>

namespace ui {

namespace {

// Windows-1252 from 0x80 to 0x9F; its five unassigned bytes keep their Latin-1 control codes.
constexpr char16_t kHighControls[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

QChar CodePageCharacter(unsigned char byte) {
    if (byte >= 0x80 && byte < 0xA0)
        return QChar(kHighControls[byte - 0x80]);
    return QChar(byte);
}

// The length of the well-formed UTF-8 sequence at bytes[at], or 0 when there is none.
std::size_t Utf8Length(const std::string& bytes, std::size_t at) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(bytes[i]); };
    const unsigned char lead = byte(at);
    if (lead < 0x80)
        return 1;
    std::size_t length = 0;
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        if (lead == 0xE0)
            low = 0xA0;
        if (lead == 0xED)
            high = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        if (lead == 0xF0)
            low = 0x90;
        if (lead == 0xF4)
            high = 0x8F;
    } else {
        return 0;
    }
    if (at + length > bytes.size())
        return 0;
    if (byte(at + 1) < low || byte(at + 1) > high)
        return 0;
    for (std::size_t i = 2; i < length; ++i)
        if (byte(at + i) < 0x80 || byte(at + i) > 0xBF)
            return 0;
    return length;
}

} // namespace

QString ByteText::Load(const std::string& bytes) {
    m_bytes = bytes;
    m_shown.clear();
    m_offsets.clear();
    for (std::size_t at = 0; at < bytes.size();) {
        const std::size_t length = Utf8Length(bytes, at);
        const QString piece =
            length == 0 ? QString(CodePageCharacter(static_cast<unsigned char>(bytes[at])))
                        : QString::fromUtf8(bytes.data() + at, length);
        m_offsets.insert(m_offsets.end(), piece.size(), at);
        m_shown += piece;
        at += std::max<std::size_t>(length, 1);
    }
    m_offsets.push_back(bytes.size());
    return m_shown;
}

void ByteText::Edit(const QString& edited) {
    if (edited == m_shown)
        return;
    const qsizetype most = std::min(m_shown.size(), edited.size());
    qsizetype prefix = 0;
    while (prefix < most && m_shown[prefix] == edited[prefix])
        ++prefix;
    // A surrogate pair is kept or changed whole.
    if (prefix > 0 && prefix < m_shown.size() && m_shown[prefix].isLowSurrogate())
        --prefix;
    qsizetype suffix = 0;
    while (suffix < most - prefix &&
           m_shown[m_shown.size() - 1 - suffix] == edited[edited.size() - 1 - suffix])
        ++suffix;
    if (suffix > 0 && m_shown[m_shown.size() - suffix].isLowSurrogate())
        --suffix;

    const std::size_t keptHead = m_offsets[static_cast<std::size_t>(prefix)];
    const std::size_t keptTail = m_offsets[static_cast<std::size_t>(m_shown.size() - suffix)];
    const QString middle = edited.mid(prefix, edited.size() - prefix - suffix);
    const std::string middleBytes = middle.toStdString();

    std::vector<std::size_t> offsets(m_offsets.begin(), m_offsets.begin() + prefix);
    std::size_t at = keptHead;
    for (qsizetype unit = 0; unit < middle.size();) {
        const qsizetype units = middle[unit].isHighSurrogate() && unit + 1 < middle.size() ? 2 : 1;
        offsets.insert(offsets.end(), static_cast<std::size_t>(units), at);
        at += middle.mid(unit, units).toStdString().size();
        unit += units;
    }
    for (std::size_t i = m_offsets.size() - 1 - static_cast<std::size_t>(suffix);
         i < m_offsets.size(); ++i)
        offsets.push_back(m_offsets[i] - keptTail + at);

    m_bytes = m_bytes.substr(0, keptHead) + middleBytes + m_bytes.substr(keptTail);
    m_offsets = std::move(offsets);
    m_shown = edited;
}

} // namespace ui
