#include "hlp_writer.h"

#include "hlp_btree.h"
#include "hlp_topic.h"

#include <algorithm>
#include <map>
#include <utility>

namespace tools::helpwriter {

namespace {

constexpr std::uint16_t kTreePageSize = 0x0800;
constexpr std::uint16_t kDirectoryPageSize = 0x0400;
constexpr std::uint16_t kTreeFlags = 0x0002;
constexpr std::uint16_t kDirectoryFlags = 0x0402;
constexpr std::uint8_t kFileFlags = 4;
constexpr std::uint8_t kWindowNameValid = 0x02;
constexpr std::uint8_t kWindowCaptionValid = 0x04;

Bytes SystemFile(const HelpDocument& document, std::uint32_t contentsOffset) {
    Bytes out;
    PutU16(out, kSystemMagic);
    PutU16(out, kSystemMinor);
    PutU16(out, 1);
    PutU32(out, 0); // no build date, so that the same source gives the same file
    PutU16(out, kSystemFlagsLz77);
    PutU16(out, kSystemTitle);
    PutU16(out, static_cast<std::uint32_t>(document.title.size() + 1));
    out.insert(out.end(), document.title.begin(), document.title.end());
    out.push_back(0);
    PutU16(out, kSystemContents);
    PutU16(out, 4);
    PutU32(out, contentsOffset);
    // The main window, so that the viewer's caption is the file's title and not its own name.
    PutU16(out, kSystemWindow);
    PutU16(out, kWindowRecordSize);
    Bytes window(kWindowRecordSize, 0);
    window[0] = kWindowNameValid | kWindowCaptionValid;
    std::copy_n("main", 4, window.begin() + kWindowNameAt);
    std::copy_n(document.title.begin(), std::min<std::size_t>(document.title.size(), 50),
                window.begin() + kWindowCaptionAt);
    out.insert(out.end(), window.begin(), window.end());
    return out;
}

Bytes ContextFile(const HelpDocument& document, const std::vector<std::uint32_t>& offsets) {
    std::vector<std::pair<std::int32_t, std::uint32_t>> sorted;
    for (std::size_t i = 0; i < document.topics.size(); ++i)
        sorted.emplace_back(ContextHash(document.topics[i].name), offsets[i]);
    std::sort(sorted.begin(), sorted.end());
    std::vector<BtreeEntry> entries;
    for (auto [hash, offset] : sorted) {
        BtreeEntry entry;
        PutU32(entry.key, static_cast<std::uint32_t>(hash));
        entry.leaf = entry.key;
        PutU32(entry.leaf, offset);
        entries.push_back(std::move(entry));
    }
    return BuildBtree(kTreeFlags, kTreePageSize, "L4", entries);
}

Bytes ContextMapFile(const HelpDocument& document, const std::vector<std::uint32_t>& offsets) {
    Bytes out;
    PutU16(out, static_cast<std::uint32_t>(document.contextNumbers.size()));
    for (const auto& [number, name] : document.contextNumbers) {
        auto topic = std::find_if(document.topics.begin(), document.topics.end(),
                                  [&](const Topic& t) { return t.name == name; });
        PutU32(out, static_cast<std::uint32_t>(number));
        PutU32(out, offsets[static_cast<std::size_t>(topic - document.topics.begin())]);
    }
    return out;
}

void PutInternalFile(Bytes& out, const Bytes& content) {
    PutU32(out, static_cast<std::uint32_t>(content.size() + kFileHeaderSize));
    PutU32(out, static_cast<std::uint32_t>(content.size()));
    out.push_back(kFileFlags);
    out.insert(out.end(), content.begin(), content.end());
}

} // namespace

Bytes WriteHelpFile(const HelpDocument& document) {
    TopicFile topics = WriteTopicFile(document);
    std::map<std::string, Bytes> files; // sorted by name, as the directory needs them
    files["|TOPIC"] = std::move(topics.content);
    const std::vector<std::uint32_t>& offsets = topics.offsets;
    files["|SYSTEM"] = SystemFile(document, offsets.front());
    files["|FONT"] = FontFile();
    files["|CONTEXT"] = ContextFile(document, offsets);
    files["|CTXOMAP"] = ContextMapFile(document, offsets);

    std::vector<BtreeEntry> directory;
    std::uint32_t offset = 16;
    for (const auto& [name, content] : files) {
        BtreeEntry entry;
        entry.key.assign(name.begin(), name.end());
        entry.key.push_back(0);
        entry.leaf = entry.key;
        PutU32(entry.leaf, offset);
        directory.push_back(std::move(entry));
        offset += static_cast<std::uint32_t>(kFileHeaderSize + content.size());
    }
    const Bytes tree = BuildBtree(kDirectoryFlags, kDirectoryPageSize, "z4", directory);

    Bytes out;
    PutU32(out, kFileMagic);
    PutU32(out, offset);
    PutU32(out, kNoPosition); // no free blocks
    PutU32(out, static_cast<std::uint32_t>(offset + kFileHeaderSize + tree.size()));
    for (const auto& [name, content] : files)
        PutInternalFile(out, content);
    PutInternalFile(out, tree);
    return out;
}

} // namespace tools::helpwriter
