#include "hlp_topic.h"

#include "lz77.h"

#include <algorithm>
#include <set>

namespace tools::helpwriter {

namespace {

// Below the 16 KiB a block may expand to, with room for the zero padding that fills a block's
// last compressed bytes (each nine zero bytes expand to eight).
constexpr std::size_t kMaxBlockData = 0x3000;
constexpr std::size_t kMaxCompressedData = kTopicBlockSize - kTopicBlockHeaderSize;
// Wine reads the last topic block as if it were at least this long.
constexpr std::size_t kMinLastBlock = 0x44;

struct FontDescriptor {
    std::uint8_t attributes; // 1 bold, 2 italic
    std::uint8_t halfPoints;
};

enum FontId : std::uint16_t {
    kFontBody,
    kFontBold,
    kFontItalic,
    kFontBoldItalic,
    kFontTitle,
    kFontHeading,
    kFontSubheading,
};

constexpr FontDescriptor kFonts[] = {{0, 20}, {1, 20}, {2, 20}, {3, 20}, {1, 32}, {1, 26}, {1, 22}};
constexpr char kFaceName[] = "Arial";
constexpr std::uint8_t kFamilySwiss = 3;
constexpr std::size_t kFaceNameSize = 32;

// Paragraph-info bits and the compressed values that follow them, in bit order.
enum ParagraphBits : std::uint16_t {
    kSpacingAbove = 0x0002,
    kSpacingBelow = 0x0004,
    kLeftIndent = 0x0010,
};

struct ParagraphFormat {
    std::uint16_t bits;
    std::vector<int> values;
    FontId font;
};

// lastOfList: a list item followed by something else, which takes a paragraph's gap below it.
ParagraphFormat FormatOf(ParagraphKind kind, bool lastOfList) {
    switch (kind) {
    case ParagraphKind::Title:
        return {kSpacingBelow, {12}, kFontTitle};
    case ParagraphKind::Heading:
        return {kSpacingBelow, {8}, kFontHeading};
    case ParagraphKind::Subheading:
        return {kSpacingAbove | kSpacingBelow, {8, 4}, kFontSubheading};
    case ParagraphKind::ListItem:
        return {kSpacingBelow | kLeftIndent, {lastOfList ? 8 : 2, 24}, kFontBody};
    case ParagraphKind::Term:
        return {0, {}, kFontBody};
    case ParagraphKind::Definition:
        return {kSpacingBelow | kLeftIndent, {8, 24}, kFontBody};
    case ParagraphKind::Body:
        break;
    }
    return {kSpacingBelow, {8}, kFontBody};
}

// The format's compressed numbers: the low bit of the first byte says whether a second
// byte (or word) follows.
void PutCompressedU16(Bytes& out, std::uint32_t value) {
    if (value <= 0x7F) {
        out.push_back(static_cast<std::uint8_t>(value * 2));
    } else {
        out.push_back(static_cast<std::uint8_t>(1 + (value % 128) * 2));
        out.push_back(static_cast<std::uint8_t>(value / 128));
    }
}

void PutCompressedS16(Bytes& out, int value) {
    PutCompressedU16(out, value >= -0x40 && value <= 0x3F ? value + 0x40 : value + 0x4000);
}

void PutCompressedS32(Bytes& out, long value) {
    const unsigned long biased =
        value >= -0x4000 && value <= 0x3FFF ? value + 0x4000 : value + 0x4000000;
    if (biased <= 0x7FFF) {
        PutU16(out, biased * 2);
    } else {
        PutU16(out, 1 + (biased % 32768) * 2);
        PutU16(out, biased / 32768);
    }
}

FontId RunFont(FontId paragraphFont, const Run& run) {
    if (paragraphFont != kFontBody)
        return paragraphFont;
    static constexpr FontId kByStyle[2][2] = {{kFontBody, kFontItalic},
                                              {kFontBold, kFontBoldItalic}};
    return kByStyle[run.bold][run.italic];
}

struct TopicLink {
    std::uint8_t type = kRecordText;
    Bytes data1;
    std::string data2;
    std::size_t block = 0;
    std::size_t blockOffset = 0; // in the block's expanded data
    std::uint32_t position = 0;  // TOPICPOS
    std::uint32_t offset = 0;    // TOPICOFFSET

    std::size_t Size() const { return kTopicLinkHeaderSize + data1.size() + data2.size(); }
};

// LinkData1 and LinkData2 of one text record: the paragraph info and formatting commands, and
// the text they apply to. Each command follows the NUL that ends the text before it.
TopicLink EncodeParagraph(const Paragraph& paragraph, bool lastOfList) {
    const ParagraphFormat format = FormatOf(paragraph.kind, lastOfList);
    Bytes info = {0x00, 0x80};
    PutU16(info, 0);
    PutU16(info, format.bits);
    for (int value : format.values)
        PutCompressedS16(info, value);
    std::string text;
    auto command = [&](std::initializer_list<std::uint8_t> bytes) {
        text.push_back('\0');
        info.insert(info.end(), bytes);
    };
    auto fontCommand = [&](FontId font) {
        command(
            {kCommandFont, static_cast<std::uint8_t>(font), static_cast<std::uint8_t>(font >> 8)});
    };
    FontId current = RunFont(format.font, paragraph.runs.front());
    fontCommand(current);
    for (const Run& run : paragraph.runs) {
        if (FontId font = RunFont(format.font, run); font != current) {
            fontCommand(font);
            current = font;
        }
        if (run.link.empty()) {
            text += run.text;
            continue;
        }
        const std::uint32_t hash = static_cast<std::uint32_t>(ContextHash(run.link));
        command({kCommandJump, static_cast<std::uint8_t>(hash),
                 static_cast<std::uint8_t>(hash >> 8), static_cast<std::uint8_t>(hash >> 16),
                 static_cast<std::uint8_t>(hash >> 24)});
        text += run.text;
        command({kCommandHotspotEnd});
    }
    command({kCommandParagraphEnd});
    command({kCommandEnd});
    if (text.size() > 0x7FFF)
        throw SourceError("a paragraph of " + std::to_string(text.size()) +
                          " characters is too long for a help file");
    TopicLink link;
    PutCompressedS32(link.data1, static_cast<long>(info.size()));
    PutCompressedU16(link.data1, static_cast<std::uint32_t>(text.size()));
    link.data1.insert(link.data1.end(), info.begin(), info.end());
    link.data2 = std::move(text);
    return link;
}

TopicLink TopicHeaderLink(const std::string& title) {
    TopicLink link;
    link.type = kRecordTopicHeader;
    link.data1.assign(kTopicHeaderSize, 0);
    link.data2 = title;
    return link;
}

class TopicSection {
public:
    explicit TopicSection(const HelpDocument& document) {
        for (const Topic& topic : document.topics) {
            m_headers.push_back(m_links.size());
            m_links.push_back(TopicHeaderLink(topic.title));
            const std::vector<Paragraph>& paragraphs = topic.paragraphs;
            for (std::size_t p = 0; p < paragraphs.size(); ++p) {
                const bool lastOfList =
                    p + 1 == paragraphs.size() || paragraphs[p + 1].kind != ParagraphKind::ListItem;
                m_links.push_back(EncodeParagraph(paragraphs[p], lastOfList));
            }
        }
        // A last, empty topic header closes the chain, as the help compilers write it.
        m_headers.push_back(m_links.size());
        m_links.push_back(TopicHeaderLink(""));
    }

    // Places the records in blocks until every block compresses into its 4 KiB.
    Bytes Build() {
        std::set<std::size_t> breaks;
        for (;;) {
            Place(breaks);
            FillTopicHeaders();
            std::vector<Bytes> blocks = CompressedBlocks();
            auto tooBig = std::find_if(blocks.begin(), blocks.end(), [](const Bytes& block) {
                return block.size() > kMaxCompressedData;
            });
            if (tooBig == blocks.end())
                return Assemble(blocks);
            const std::size_t block = static_cast<std::size_t>(tooBig - blocks.begin());
            const std::size_t last = LastLinkOf(block);
            if (last == 0 || m_links[last - 1].block != block)
                throw SourceError("a paragraph does not compress into one topic block");
            breaks.insert(last);
        }
    }

    // The TOPICOFFSET of each document topic, in document order.
    std::vector<std::uint32_t> TopicOffsets() const {
        std::vector<std::uint32_t> offsets;
        for (std::size_t i = 0; i + 1 < m_headers.size(); ++i)
            offsets.push_back(m_links[m_headers[i]].offset);
        return offsets;
    }

private:
    void Place(const std::set<std::size_t>& breaks) {
        std::size_t block = 0;
        std::size_t used = 0;
        std::uint32_t characters = 0;
        for (std::size_t i = 0; i < m_links.size(); ++i) {
            TopicLink& link = m_links[i];
            if (link.Size() > kMaxBlockData)
                throw SourceError("a paragraph is too long for one topic block");
            if (i > 0 && (used + link.Size() > kMaxBlockData || breaks.count(i))) {
                ++block;
                used = 0;
                characters = 0;
            }
            link.block = block;
            link.blockOffset = used;
            link.position =
                static_cast<std::uint32_t>(block * kDecompressSize + kTopicBlockHeaderSize + used);
            link.offset = static_cast<std::uint32_t>(block * 0x8000 + characters);
            used += link.Size();
            if (link.type == kRecordText)
                characters += static_cast<std::uint32_t>(link.data2.size());
        }
        m_blockCount = block + 1;
    }

    void FillTopicHeaders() {
        for (std::size_t t = 0; t < m_headers.size(); ++t) {
            const std::size_t at = m_headers[t];
            const bool isEnd = t + 1 == m_headers.size();
            const std::size_t next = isEnd ? m_links.size() : m_headers[t + 1];
            std::uint32_t size = 0;
            for (std::size_t i = at + 1; i < next; ++i)
                size += static_cast<std::uint32_t>(m_links[i].Size());
            Bytes& data = m_links[at].data1;
            SetU32(data, 0, size);
            SetU32(data, 4, t > 0 && !isEnd ? m_links[m_headers[t - 1]].offset : kNoPosition);
            SetU32(data, 8, t + 2 < m_headers.size() ? m_links[next].offset : kNoPosition);
            SetU32(data, 12, static_cast<std::uint32_t>(t));
            SetU32(data, 16, kNoPosition);
            SetU32(data, 20, at + 1 < next ? m_links[at + 1].position : kNoPosition);
            SetU32(data, 24, isEnd ? kNoPosition : m_links[next].position);
        }
    }

    Bytes BlockData(std::size_t block) const {
        Bytes data;
        for (std::size_t i = 0; i < m_links.size(); ++i) {
            const TopicLink& link = m_links[i];
            if (link.block != block)
                continue;
            PutU32(data, static_cast<std::uint32_t>(link.Size()));
            PutU32(data, static_cast<std::uint32_t>(link.data2.size()));
            PutU32(data, i > 0 ? m_links[i - 1].position : kNoPosition);
            PutU32(data, i + 1 < m_links.size() ? m_links[i + 1].position : kNoPosition);
            PutU32(data, static_cast<std::uint32_t>(kTopicLinkHeaderSize + link.data1.size()));
            data.push_back(link.type);
            data.insert(data.end(), link.data1.begin(), link.data1.end());
            data.insert(data.end(), link.data2.begin(), link.data2.end());
        }
        return data;
    }

    std::vector<Bytes> CompressedBlocks() const {
        std::vector<Bytes> blocks;
        for (std::size_t block = 0; block < m_blockCount; ++block) {
            const Bytes data = BlockData(block);
            blocks.push_back(CompressLz77(data.data(), data.size()));
        }
        return blocks;
    }

    std::size_t FirstLinkOf(std::size_t block) const {
        std::size_t i = 0;
        while (m_links[i].block != block)
            ++i;
        return i;
    }

    std::size_t LastLinkOf(std::size_t block) const {
        std::size_t i = m_links.size() - 1;
        while (m_links[i].block != block)
            --i;
        return i;
    }

    Bytes Assemble(const std::vector<Bytes>& blocks) const {
        Bytes out;
        std::uint32_t lastHeader = kNoPosition;
        for (std::size_t block = 0; block < blocks.size(); ++block) {
            const std::size_t first = FirstLinkOf(block);
            const std::size_t start = out.size();
            PutU32(out, block > 0 ? m_links[first - 1].position : kNoPosition);
            PutU32(out, m_links[first].position);
            PutU32(out, lastHeader);
            out.insert(out.end(), blocks[block].begin(), blocks[block].end());
            const bool isLast = block + 1 == blocks.size();
            out.resize(start +
                           (isLast ? std::max(out.size() - start, kMinLastBlock) : kTopicBlockSize),
                       0);
            for (std::size_t i = first; i <= LastLinkOf(block); ++i)
                if (m_links[i].type == kRecordTopicHeader)
                    lastHeader = m_links[i].position;
        }
        return out;
    }

    std::vector<TopicLink> m_links;
    std::vector<std::size_t> m_headers; // indexes into m_links of the topic headers
    std::size_t m_blockCount = 0;
};

} // namespace

TopicFile WriteTopicFile(const HelpDocument& document) {
    TopicSection topics(document);
    TopicFile file;
    file.content = topics.Build();
    file.offsets = topics.TopicOffsets();
    return file;
}

Bytes FontFile() {
    Bytes out;
    const std::size_t facesAt = 8;
    PutU16(out, 1);
    PutU16(out, static_cast<std::uint32_t>(std::size(kFonts)));
    PutU16(out, facesAt);
    PutU16(out, facesAt + kFaceNameSize);
    Bytes face(kFaceNameSize, 0);
    std::copy(std::begin(kFaceName), std::end(kFaceName) - 1, face.begin());
    out.insert(out.end(), face.begin(), face.end());
    for (const FontDescriptor& font : kFonts) {
        out.push_back(font.attributes);
        out.push_back(font.halfPoints);
        out.push_back(kFamilySwiss);
        PutU16(out, 0);              // the face name
        out.insert(out.end(), 6, 0); // black text, background unused
    }
    return out;
}

} // namespace tools::helpwriter
