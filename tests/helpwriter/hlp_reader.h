// A small reader of the WinHelp files our writer makes, for tests: it walks the structures the
// way the help viewers do and throws HlpFormatError at the first one that does not hold.
// It reads what the writer writes (no phrase compression, no record split across blocks).
#pragma once

#include "hlp_format.h"

#include <map>
#include <stdexcept>

namespace tools::helpwriter {

class HlpFormatError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct HotspotLink {
    std::int32_t hash; // of the target's context name
    std::string text;
};

struct ReadTopic {
    std::string title;
    std::uint32_t offset = 0;   // TOPICOFFSET, as |CONTEXT and |CTXOMAP name it
    std::uint32_t position = 0; // TOPICPOS of its header
    std::vector<std::string> paragraphs;
    std::vector<HotspotLink> links;
    std::vector<std::uint16_t> fonts; // each font command, in order
};

class HlpReader {
public:
    explicit HlpReader(Bytes file);

    std::vector<std::string> FileNames() const;
    // The bytes of an internal file after its header; throws when there is none.
    const Bytes& InternalFile(const std::string& name) const;

    std::uint16_t Minor() const { return m_minor; }
    std::uint16_t Flags() const { return m_flags; }
    const std::string& Title() const { return m_title; }
    // The caption of the window record named "main", or empty.
    const std::string& MainWindowCaption() const { return m_mainCaption; }
    std::uint32_t ContentsOffset() const { return m_contents; }
    std::size_t FontCount() const { return m_fontCount; }
    std::size_t TopicBlockCount() const { return m_blockCount; }
    const std::vector<ReadTopic>& Topics() const { return m_topics; }
    // |CTXOMAP: context number -> TOPICOFFSET.
    const std::map<std::int32_t, std::uint32_t>& ContextMap() const { return m_contextMap; }

    // The TOPICOFFSET that |CONTEXT files name's hash under, found by descending its B+ tree.
    std::optional<std::uint32_t> FindContext(std::string_view name) const;
    std::optional<std::uint32_t> FindContextHash(std::int32_t hash) const;
    const ReadTopic* TopicAt(std::uint32_t offset) const;
    int ContextTreeLevels() const;

private:
    void ReadDirectory();
    void ReadSystem();
    void ReadWindow(const std::uint8_t* record);
    void ReadFonts();
    void ReadTopics();
    void ReadContextMap();

    Bytes m_file;
    std::map<std::string, Bytes> m_files;
    std::uint16_t m_minor = 0;
    std::uint16_t m_flags = 0;
    std::string m_title;
    std::string m_mainCaption;
    std::uint32_t m_contents = kNoPosition;
    std::size_t m_fontCount = 0;
    std::size_t m_blockCount = 0;
    std::vector<ReadTopic> m_topics;
    std::map<std::int32_t, std::uint32_t> m_contextMap;
};

} // namespace tools::helpwriter
