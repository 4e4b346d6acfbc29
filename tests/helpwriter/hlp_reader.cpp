#include "hlp_reader.h"

#include "lz77.h"

#include <cstring>

namespace tools::helpwriter {

namespace {

void Require(bool condition, const std::string& what) {
    if (!condition)
        throw HlpFormatError(what);
}

// Bounds-checked reads from one internal file.
class Cursor {
public:
    Cursor(const Bytes& bytes, std::size_t at, const char* what)
        : m_bytes(bytes), m_at(at), m_what(what) {}

    std::uint8_t U8() { return *Take(1); }
    std::uint16_t U16() { return GetU16(Take(2)); }
    std::uint32_t U32() { return GetU32(Take(4)); }
    std::string String() {
        const std::uint8_t* start = Take(0);
        const void* end = std::memchr(start, 0, m_bytes.size() - m_at);
        Require(end != nullptr, std::string(m_what) + ": unterminated string");
        std::string text(reinterpret_cast<const char*>(start),
                         static_cast<const std::uint8_t*>(end) - start);
        m_at += text.size() + 1;
        return text;
    }
    std::uint32_t CompressedU16() {
        const std::uint8_t first = U8();
        return (first & 1) ? (first >> 1) + 128u * U8() : first >> 1;
    }
    int CompressedS16() {
        const std::uint8_t first = *Take(1);
        --m_at;
        return (first & 1) ? static_cast<int>(U16() >> 1) - 0x4000
                           : static_cast<int>(U8() >> 1) - 0x40;
    }
    long CompressedS32() {
        const std::uint16_t first = U16();
        return (first & 1) ? static_cast<long>((first >> 1) + 32768ul * U16()) - 0x4000000
                           : static_cast<long>(first >> 1) - 0x4000;
    }
    std::size_t At() const { return m_at; }

private:
    const std::uint8_t* Take(std::size_t size) {
        Require(m_at + size <= m_bytes.size(), std::string(m_what) + ": read past the end");
        const std::uint8_t* at = m_bytes.data() + m_at;
        m_at += size;
        return at;
    }

    const Bytes& m_bytes;
    std::size_t m_at;
    const char* m_what;
};

struct BtreeHeader {
    std::uint16_t pageSize;
    std::uint16_t root;
    std::uint16_t pages;
    std::uint16_t levels;
    std::uint32_t entries;
};

BtreeHeader ReadBtreeHeader(const Bytes& tree, const char* what) {
    Cursor cursor(tree, 0, what);
    Require(cursor.U16() == kBtreeMagic, std::string(what) + ": not a B+ tree");
    cursor.U16();
    BtreeHeader header{};
    header.pageSize = cursor.U16();
    for (int i = 0; i < 16; ++i)
        cursor.U8();
    cursor.U16();
    cursor.U16();
    header.root = cursor.U16();
    Require(cursor.U16() == 0xFFFF, std::string(what) + ": bad B+ tree header");
    header.pages = cursor.U16();
    header.levels = cursor.U16();
    header.entries = cursor.U32();
    Require(header.levels >= 1 && header.root < header.pages && header.pageSize >= 8 &&
                kBtreeHeaderSize + std::size_t{header.pages} * header.pageSize <= tree.size(),
            std::string(what) + ": B+ tree pages missing");
    return header;
}

std::size_t PageStart(const BtreeHeader& header, std::uint16_t page, const char* what) {
    Require(page < header.pages, std::string(what) + ": page number out of range");
    return kBtreeHeaderSize + std::size_t{page} * header.pageSize;
}

// Descends from the root as a viewer does: in an index page, the child before the first key
// above the wanted one. Returns the leaf page.
template <typename ReadKey, typename Less>
std::uint16_t DescendToLeaf(const Bytes& tree, const BtreeHeader& header, ReadKey readKey,
                            Less wantedIsBefore, const char* what) {
    std::uint16_t page = header.root;
    for (int level = header.levels; level > 1; --level) {
        Cursor cursor(tree, PageStart(header, page, what), what);
        cursor.U16();
        const std::uint16_t count = cursor.U16();
        std::uint16_t child = cursor.U16();
        for (std::uint16_t i = 0; i < count; ++i) {
            if (wantedIsBefore(readKey(cursor))) {
                break;
            }
            child = cursor.U16();
        }
        page = child;
    }
    return page;
}

// Calls visit(cursor) for each leaf entry, leaf pages in their linked order.
template <typename Visit>
void ForEachLeafEntry(const Bytes& tree, const BtreeHeader& header, Visit visit, const char* what) {
    std::uint16_t page = header.root;
    for (int level = header.levels; level > 1; --level)
        page = GetU16(tree.data() + PageStart(header, page, what) + 4);
    std::uint32_t seen = 0;
    for (std::size_t guard = 0; page != 0xFFFF; ++guard) {
        Require(guard < header.pages, std::string(what) + ": leaf pages form a loop");
        Cursor cursor(tree, PageStart(header, page, what), what);
        cursor.U16();
        const std::uint16_t count = cursor.U16();
        cursor.U16();
        const std::uint16_t next = cursor.U16();
        for (std::uint16_t i = 0; i < count; ++i, ++seen)
            visit(cursor);
        page = next;
    }
    Require(seen == header.entries, std::string(what) + ": entry count does not match");
}

// Each topic block, expanded.
std::vector<Bytes> ExpandTopicBlocks(const Bytes& topic) {
    std::vector<Bytes> blocks;
    for (std::size_t at = 0; at < topic.size(); at += kTopicBlockSize) {
        Require(at + kTopicBlockHeaderSize <= topic.size(), "|TOPIC: truncated block header");
        const std::size_t end = std::min(topic.size(), at + kTopicBlockSize);
        try {
            blocks.push_back(DecompressLz77(topic.data() + at + kTopicBlockHeaderSize,
                                            end - at - kTopicBlockHeaderSize, kDecompressSize));
        } catch (const std::runtime_error& error) {
            throw HlpFormatError(std::string("|TOPIC: ") + error.what());
        }
    }
    return blocks;
}

// One record of the topic chain.
struct ChainRecord {
    std::uint32_t next = 0;
    std::uint8_t type = 0;
    Bytes linkData1;
    std::string linkData2;
};

// The record at offset at of an expanded block, whose back link must name previous.
ChainRecord ReadChainRecord(const Bytes& data, std::size_t at, std::uint32_t previous) {
    const std::uint32_t size = GetU32(data.data() + at);
    const std::uint32_t length2 = GetU32(data.data() + at + 4);
    Require(GetU32(data.data() + at + 8) == previous, "|TOPIC: broken back link");
    ChainRecord record;
    record.next = GetU32(data.data() + at + 12);
    const std::uint32_t length1 = GetU32(data.data() + at + 16);
    record.type = data[at + 20];
    Require(length1 >= kTopicLinkHeaderSize && length1 <= size && at + size <= data.size(),
            "|TOPIC: record overruns its block");
    Require(length2 == size - length1, "|TOPIC: phrase-compressed or padded text");
    record.linkData1.assign(data.begin() + at + kTopicLinkHeaderSize, data.begin() + at + length1);
    record.linkData2.assign(data.begin() + at + length1, data.begin() + at + size);
    return record;
}

// Passes over the paragraph info at the start of a text record's LinkData1, checking its sizes.
void SkipParagraphInfo(Cursor& cursor, const ChainRecord& record) {
    const long infoSize = cursor.CompressedS32();
    Require(cursor.CompressedU16() == record.linkData2.size(), "|TOPIC: text length mismatch");
    Require(infoSize == static_cast<long>(record.linkData1.size() - cursor.At()),
            "|TOPIC: paragraph size mismatch");
    cursor.U8();
    cursor.U8();
    cursor.U16();
    const std::uint16_t bits = cursor.U16();
    for (std::uint16_t bit = 0x0002; bit <= 0x0040; bit <<= 1)
        if (bits & bit)
            cursor.CompressedS16();
    Require((bits & ~0x0C7E) == 0, "|TOPIC: paragraph options this reader skips");
}

// Follows a text record's formatting commands through its text, each after the NUL that ends
// the text before it: the paragraphs, font changes and hotspots go to topic.
void ReadTextCommands(Cursor& cursor, const ChainRecord& record, ReadTopic& topic,
                      std::size_t fontCount) {
    const std::string& text = record.linkData2;
    std::string paragraph;
    std::size_t textAt = 0;
    std::optional<HotspotLink> link;
    for (;;) {
        const std::size_t nul = text.find('\0', textAt);
        Require(nul != std::string::npos, "|TOPIC: text ends before its commands");
        const std::string piece = text.substr(textAt, nul - textAt);
        textAt = nul + 1;
        paragraph += piece;
        if (link)
            link->text += piece;
        const std::uint8_t command = cursor.U8();
        if (command == kCommandEnd)
            break;
        if (command == kCommandFont) {
            topic.fonts.push_back(cursor.U16());
            Require(topic.fonts.back() < fontCount, "|TOPIC: unknown font");
        } else if (command == kCommandJump) {
            Require(!link, "|TOPIC: hotspot inside a hotspot");
            link = HotspotLink{static_cast<std::int32_t>(cursor.U32()), ""};
        } else if (command == kCommandHotspotEnd) {
            Require(link.has_value(), "|TOPIC: hotspot end without a start");
            topic.links.push_back(*link);
            link.reset();
        } else if (command == kCommandParagraphEnd) {
            topic.paragraphs.push_back(paragraph);
            paragraph.clear();
        } else {
            throw HlpFormatError("|TOPIC: command this reader does not know");
        }
    }
    Require(textAt == text.size() && cursor.At() == record.linkData1.size() && !link &&
                paragraph.empty(),
            "|TOPIC: text and commands do not end together");
}

} // namespace

HlpReader::HlpReader(Bytes file) : m_file(std::move(file)) {
    Require(m_file.size() >= 16 && GetU32(m_file.data()) == kFileMagic, "not a WinHelp file");
    Require(GetU32(m_file.data() + 12) == m_file.size(), "file size in the header is wrong");
    ReadDirectory();
    ReadSystem();
    ReadFonts();
    ReadTopics();
    ReadContextMap();
}

void HlpReader::ReadDirectory() {
    auto internalFile = [&](std::uint32_t offset, const char* what) {
        Require(offset + kFileHeaderSize <= m_file.size(), std::string(what) + ": outside file");
        const std::uint32_t reserved = GetU32(m_file.data() + offset);
        const std::uint32_t used = GetU32(m_file.data() + offset + 4);
        Require(used + kFileHeaderSize <= reserved && offset + reserved <= m_file.size(),
                std::string(what) + ": internal file overruns the help file");
        const auto start = m_file.begin() + offset + kFileHeaderSize;
        return Bytes(start, start + used);
    };
    const Bytes directory = internalFile(GetU32(m_file.data() + 4), "directory");
    const BtreeHeader header = ReadBtreeHeader(directory, "directory");
    ForEachLeafEntry(
        directory, header,
        [&](Cursor& cursor) {
            std::string name = cursor.String();
            Require(m_files.empty() || m_files.rbegin()->first < name,
                    "directory: names out of order");
            m_files[name] = internalFile(cursor.U32(), "directory entry");
        },
        "directory");
    // The directory must also find each file the way a viewer looks one up.
    for (const auto& [name, content] : m_files) {
        const std::uint16_t leaf = DescendToLeaf(
            directory, header, [](Cursor& c) { return c.String(); },
            [&](const std::string& key) { return name < key; }, "directory");
        Cursor cursor(directory, PageStart(header, leaf, "directory"), "directory");
        cursor.U16();
        const std::uint16_t count = cursor.U16();
        cursor.U32();
        bool found = false;
        for (std::uint16_t i = 0; i < count && !found; ++i) {
            found = cursor.String() == name;
            cursor.U32();
        }
        Require(found, "directory: the index does not lead to " + name);
    }
}

const Bytes& HlpReader::InternalFile(const std::string& name) const {
    auto found = m_files.find(name);
    Require(found != m_files.end(), "no internal file " + name);
    return found->second;
}

std::vector<std::string> HlpReader::FileNames() const {
    std::vector<std::string> names;
    for (const auto& entry : m_files)
        names.push_back(entry.first);
    return names;
}

void HlpReader::ReadSystem() {
    const Bytes& system = InternalFile("|SYSTEM");
    Cursor cursor(system, 0, "|SYSTEM");
    Require(cursor.U16() == kSystemMagic, "|SYSTEM: bad magic");
    m_minor = cursor.U16();
    Require(cursor.U16() == 1 && m_minor > 16, "|SYSTEM: not a Windows 3.1 or later file");
    cursor.U32();
    m_flags = cursor.U16();
    while (cursor.At() < system.size()) {
        const std::uint16_t type = cursor.U16();
        const std::uint16_t size = cursor.U16();
        const std::size_t end = cursor.At() + size;
        if (type == kSystemTitle)
            m_title = cursor.String();
        else if (type == kSystemContents)
            m_contents = cursor.U32();
        else if (type == kSystemWindow && size == kWindowRecordSize)
            ReadWindow(system.data() + cursor.At());
        Require(cursor.At() <= end && end <= system.size(), "|SYSTEM: record overruns");
        while (cursor.At() < end)
            cursor.U8();
    }
}

void HlpReader::ReadWindow(const std::uint8_t* record) {
    auto field = [&](std::size_t at, std::size_t size) {
        const char* text = reinterpret_cast<const char*>(record + at);
        return std::string(text, strnlen(text, size));
    };
    if ((record[0] & 0x06) == 0x06 && field(kWindowNameAt, 9) == "main")
        m_mainCaption = field(kWindowCaptionAt, 51);
}

void HlpReader::ReadFonts() {
    const Bytes& fonts = InternalFile("|FONT");
    Cursor cursor(fonts, 0, "|FONT");
    const std::uint16_t faces = cursor.U16();
    const std::uint16_t descriptors = cursor.U16();
    const std::uint16_t facesAt = cursor.U16();
    const std::uint16_t descriptorsAt = cursor.U16();
    Require(faces > 0 && descriptorsAt > facesAt &&
                descriptorsAt + std::size_t{descriptors} * 11 <= fonts.size(),
            "|FONT: descriptors overrun");
    for (std::uint16_t i = 0; i < descriptors; ++i)
        Require(GetU16(fonts.data() + descriptorsAt + i * 11 + 3) < faces,
                "|FONT: descriptor names a missing face");
    m_fontCount = descriptors;
}

void HlpReader::ReadTopics() {
    Require(m_flags == kSystemFlagsLz77, "|TOPIC: this reader reads LZ77-compressed 4k blocks");
    const Bytes& topic = InternalFile("|TOPIC");
    const std::vector<Bytes> blocks = ExpandTopicBlocks(topic);
    m_blockCount = blocks.size();
    auto blockHeader = [&](std::size_t block, int field) {
        return GetU32(topic.data() + block * kTopicBlockSize + 4 * field);
    };

    std::uint32_t position = blockHeader(0, 1);
    std::uint32_t previous = kNoPosition;
    std::size_t currentBlock = 0;
    std::uint32_t characters = 0;
    std::uint32_t expectedNextHeader = position;
    ReadTopic* current = nullptr;
    for (std::size_t guard = 0;; ++guard) {
        Require(position >= kTopicBlockHeaderSize && guard < topic.size(),
                "|TOPIC: bad record chain");
        const std::size_t block = (position - kTopicBlockHeaderSize) / kDecompressSize;
        const std::size_t at = (position - kTopicBlockHeaderSize) % kDecompressSize;
        Require(block < blocks.size() && at + kTopicLinkHeaderSize <= blocks[block].size(),
                "|TOPIC: record outside its block");
        if (block != currentBlock || guard == 0) {
            Require(blockHeader(block, 1) == position && blockHeader(block, 0) == previous,
                    "|TOPIC: block header does not match its first record");
            currentBlock = block;
            characters = 0;
        }
        const ChainRecord record = ReadChainRecord(blocks[block], at, previous);
        const std::uint32_t offset = static_cast<std::uint32_t>(block * 0x8000 + characters);

        if (record.type == kRecordTopicHeader) {
            Require(position == expectedNextHeader && record.linkData1.size() == kTopicHeaderSize,
                    "|TOPIC: topic header out of the topic chain");
            expectedNextHeader = GetU32(record.linkData1.data() + 24);
            if (record.next == kNoPosition) {
                Require(record.linkData2.empty(), "|TOPIC: last record is not the closing header");
                break;
            }
            m_topics.push_back({record.linkData2, offset, position, {}, {}, {}});
            current = &m_topics.back();
            Require(GetU32(record.linkData1.data() + 20) == record.next,
                    "|TOPIC: scroll region misplaced");
        } else {
            Require(record.type == kRecordText && current != nullptr,
                    "|TOPIC: unexpected record type");
            Cursor cursor(record.linkData1, 0, "|TOPIC text");
            SkipParagraphInfo(cursor, record);
            ReadTextCommands(cursor, record, *current, m_fontCount);
            characters += static_cast<std::uint32_t>(record.linkData2.size());
        }
        previous = position;
        position = record.next;
    }
}

void HlpReader::ReadContextMap() {
    const Bytes& map = InternalFile("|CTXOMAP");
    Cursor cursor(map, 0, "|CTXOMAP");
    const std::uint16_t count = cursor.U16();
    for (std::uint16_t i = 0; i < count; ++i) {
        const std::int32_t number = static_cast<std::int32_t>(cursor.U32());
        m_contextMap[number] = cursor.U32();
    }
    Require(cursor.At() == map.size(), "|CTXOMAP: size does not match its count");
}

std::optional<std::uint32_t> HlpReader::FindContextHash(std::int32_t hash) const {
    const Bytes& tree = InternalFile("|CONTEXT");
    const BtreeHeader header = ReadBtreeHeader(tree, "|CONTEXT");
    auto readKey = [](Cursor& c) { return static_cast<std::int32_t>(c.U32()); };
    const std::uint16_t leaf = DescendToLeaf(
        tree, header, readKey, [&](std::int32_t key) { return hash < key; }, "|CONTEXT");
    Cursor cursor(tree, PageStart(header, leaf, "|CONTEXT"), "|CONTEXT");
    cursor.U16();
    const std::uint16_t count = cursor.U16();
    cursor.U32();
    for (std::uint16_t i = 0; i < count; ++i) {
        const std::int32_t key = readKey(cursor);
        const std::uint32_t offset = cursor.U32();
        if (key == hash)
            return offset;
    }
    return std::nullopt;
}

std::optional<std::uint32_t> HlpReader::FindContext(std::string_view name) const {
    return FindContextHash(ContextHash(name));
}

int HlpReader::ContextTreeLevels() const {
    return ReadBtreeHeader(InternalFile("|CONTEXT"), "|CONTEXT").levels;
}

const ReadTopic* HlpReader::TopicAt(std::uint32_t offset) const {
    for (const ReadTopic& topic : m_topics)
        if (topic.offset == offset)
            return &topic;
    return nullptr;
}

} // namespace tools::helpwriter
