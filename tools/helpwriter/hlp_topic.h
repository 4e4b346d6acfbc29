// The |TOPIC file of a help document: its topics and paragraphs as topic-header and text records
// in LZ77-compressed 4 KiB blocks; and the |FONT table that the records' font commands index.
#pragma once

#include "help_source.h"
#include "hlp_format.h"

#include <cstdint>
#include <vector>

namespace tools::helpwriter {

struct TopicFile {
    Bytes content;
    std::vector<std::uint32_t> offsets; // the TOPICOFFSET of each topic, in document order
};

// Throws SourceError for a paragraph too long for one topic block.
TopicFile WriteTopicFile(const HelpDocument& document);

Bytes FontFile();

} // namespace tools::helpwriter
