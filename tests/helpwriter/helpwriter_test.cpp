#include "help_source.h"
#include "hlp_reader.h"
#include "hlp_writer.h"
#include "lz77.h"

#include <fstream>
#include <gtest/gtest.h>
#include <random>
#include <sstream>

using namespace tools::helpwriter;

namespace {

std::string ReadFile(const char* path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

std::string Collapsed(const std::string& text) {
    std::string out;
    for (char c : text) {
        const bool space = std::isspace(static_cast<unsigned char>(c));
        if (space && (out.empty() || out.back() == ' '))
            continue;
        out += space ? ' ' : c;
    }
    if (!out.empty() && out.back() == ' ')
        out.pop_back();
    return out;
}

struct SourceSection {
    std::string name;
    std::string text; // tags dropped, entities decoded, whitespace collapsed
    std::vector<std::pair<std::string, std::string>> links; // target, hotspot text
};

// Cuts the HTML at its topic anchors with plain string search, apart from the writer's parser,
// so that a parser fault cannot hide in both sides of a comparison.
std::vector<SourceSection> SourceSections(const std::string& html) {
    std::vector<SourceSection> sections;
    const std::string anchor = "<a name=\"";
    for (std::size_t at = html.find(anchor); at != std::string::npos;
         at = html.find(anchor, at + 1)) {
        const std::size_t nameAt = at + anchor.size();
        const std::string name = html.substr(nameAt, html.find('"', nameAt) - nameAt);
        if (name.rfind("context-", 0) == 0)
            continue;
        sections.push_back({name, html.substr(at), {}});
        if (sections.size() > 1) {
            std::string& before = sections[sections.size() - 2].text;
            before.resize(before.size() - sections.back().text.size());
        }
    }
    for (SourceSection& section : sections) {
        std::string text;
        std::string raw = section.text.substr(0, section.text.find("</body>"));
        for (std::size_t at = 0; at < raw.size();) {
            if (raw[at] != '<') {
                text += raw[at++];
                continue;
            }
            const std::size_t close = raw.find('>', at);
            const std::string tag = raw.substr(at + 1, close - at - 1);
            if (tag.rfind("a href=\"#", 0) == 0) {
                const std::size_t end = raw.find("</a>", close);
                section.links.emplace_back(tag.substr(9, tag.size() - 10),
                                           raw.substr(close + 1, end - close - 1));
            }
            const bool inline_ = tag == "b" || tag == "/b" || tag == "i" || tag == "/i" ||
                                 tag.rfind("a ", 0) == 0 || tag == "/a";
            text += inline_ ? "" : " ";
            at = close + 1;
        }
        for (auto [entity, plain] : {std::pair{"&gt;", ">"}, {"&lt;", "<"}, {"&amp;", "&"}})
            for (std::size_t at; (at = text.find(entity)) != std::string::npos;)
                text.replace(at, std::string(entity).size(), plain);
        section.text = Collapsed(text);
    }
    return sections;
}

std::string TopicText(const ReadTopic& topic) {
    std::string text;
    for (const std::string& paragraph : topic.paragraphs)
        text += paragraph + " ";
    return Collapsed(text);
}

class BuiltHelpFile : public ::testing::Test {
protected:
    void SetUp() override {
        const std::string file = ReadFile(BRISVANE_WINHELP_FILE);
        ASSERT_FALSE(file.empty()) << BRISVANE_WINHELP_FILE;
        m_reader.emplace(Bytes(file.begin(), file.end()));
    }

    const std::string m_html = ReadFile(BRISVANE_HELP_SOURCE);
    const HelpDocument m_document = ParseHelpSource(m_html);
    std::optional<HlpReader> m_reader;
};

TEST_F(BuiltHelpFile, HoldsTheInternalFilesTitleAndContentsTopic) {
    EXPECT_EQ(m_reader->FileNames(),
              (std::vector<std::string>{"|CONTEXT", "|CTXOMAP", "|FONT", "|SYSTEM", "|TOPIC"}));
    EXPECT_EQ(m_reader->Title(), "Brisvane Help");
    EXPECT_EQ(m_reader->MainWindowCaption(), "Brisvane Help");
    EXPECT_EQ(m_reader->Minor(), 21);
    EXPECT_EQ(m_reader->Flags(), kSystemFlagsLz77);
    const ReadTopic* contents = m_reader->TopicAt(m_reader->ContentsOffset());
    ASSERT_NE(contents, nullptr);
    EXPECT_EQ(contents->title, "Brisvane Help");
    EXPECT_EQ(m_reader->FindContext("contents"), m_reader->ContentsOffset());
}

TEST_F(BuiltHelpFile, FindsEveryTopicByItsContextNameAndContextOneIsTheSettingsTopic) {
    ASSERT_EQ(m_reader->Topics().size(), m_document.topics.size());
    for (const Topic& topic : m_document.topics) {
        auto offset = m_reader->FindContext(topic.name);
        ASSERT_TRUE(offset.has_value()) << topic.name;
        const ReadTopic* found = m_reader->TopicAt(*offset);
        ASSERT_NE(found, nullptr) << topic.name;
        EXPECT_EQ(found->title, topic.title);
    }
    EXPECT_FALSE(m_reader->FindContext("nosuchtopic").has_value());
    // Names are matched regardless of case, as WinHelp hashes them.
    EXPECT_EQ(m_reader->FindContext("SETTINGS"), m_reader->FindContext("settings"));

    ASSERT_EQ(m_reader->ContextMap().count(1), 1u);
    const ReadTopic* settings = m_reader->TopicAt(m_reader->ContextMap().at(1));
    ASSERT_NE(settings, nullptr);
    EXPECT_EQ(settings->title, "The first run and the Settings dialog");
}

TEST_F(BuiltHelpFile, TheHtmlSettingsPageLeadsToTheTopicOfContextOne) {
    // Where WinHelp fails the settings dialog's Help opens this page in the browser, which
    // must lead on to the topic that HELP_CONTEXT 1 shows.
    const std::string page = ReadFile(BRISVANE_HTML_SETTINGS_PAGE);
    const std::string refresh = "url=brisvan.htm#";
    const std::size_t at = page.find(refresh);
    ASSERT_NE(at, std::string::npos) << page;
    const std::size_t start = at + refresh.size();
    const std::string topic = page.substr(start, page.find('"', start) - start);
    EXPECT_NE(page.find("href=\"brisvan.htm#" + topic + "\""), std::string::npos) << page;
    ASSERT_EQ(m_reader->ContextMap().count(1), 1u);
    EXPECT_EQ(m_reader->FindContext(topic), m_reader->ContextMap().at(1)) << topic;
}

TEST_F(BuiltHelpFile, KeepsEachTopicsTextAndItsLinksToOtherTopics) {
    const std::vector<SourceSection> sections = SourceSections(m_html);
    ASSERT_EQ(sections.size(), m_reader->Topics().size());
    for (std::size_t i = 0; i < sections.size(); ++i) {
        const ReadTopic& topic = m_reader->Topics()[i];
        EXPECT_EQ(TopicText(topic), sections[i].text) << sections[i].name;
        ASSERT_EQ(topic.links.size(), sections[i].links.size()) << sections[i].name;
        for (std::size_t l = 0; l < topic.links.size(); ++l) {
            const auto& [target, text] = sections[i].links[l];
            EXPECT_EQ(topic.links[l].text, text);
            EXPECT_EQ(m_reader->FindContextHash(topic.links[l].hash), m_reader->FindContext(target))
                << text;
        }
    }
    EXPECT_EQ(m_reader->Topics().front().links.size(), 7u); // the contents list
}

// Enough topics and text for several topic blocks and a two-level |CONTEXT tree.
std::string LargeSource(int topics) {
    std::mt19937 random(7);
    const char* words[] = {"cookie", "cache", "history", "folder",   "browser",  "removes",
                           "the",    "and",   "of",      "Brisvane", "settings", "page"};
    std::string html = "<title>Large</title>";
    for (int t = 0; t < topics; ++t) {
        html += "<a name=\"topic_" + std::to_string(t) + "\"></a><h2>Topic " + std::to_string(t) +
                "</h2>";
        for (int p = 0; p < 3; ++p) {
            html += "<p>";
            for (int w = 0; w < 25; ++w)
                html += std::string(words[random() % std::size(words)]) + " ";
            html += "<a href=\"#topic_" + std::to_string((t + 1) % topics) + "\">next</a></p>";
        }
    }
    return html;
}

TEST(HelpWriter, SpreadsALargeDocumentOverBlocksAndStillFindsEveryTopic) {
    const HelpDocument document = ParseHelpSource(LargeSource(400));
    const Bytes bytes = WriteHelpFile(document);
    EXPECT_EQ(WriteHelpFile(document), bytes) << "the same source must give the same file";
    const HlpReader reader(bytes);
    EXPECT_GT(reader.TopicBlockCount(), 3u);
    EXPECT_EQ(reader.ContextTreeLevels(), 2);
    ASSERT_EQ(reader.Topics().size(), document.topics.size());
    for (std::size_t t = 0; t < document.topics.size(); ++t) {
        const Topic& topic = document.topics[t];
        auto offset = reader.FindContext(topic.name);
        ASSERT_TRUE(offset.has_value()) << topic.name;
        const ReadTopic* found = reader.TopicAt(*offset);
        ASSERT_NE(found, nullptr) << topic.name;
        ASSERT_EQ(found->paragraphs.size(), topic.paragraphs.size()) << topic.name;
        for (std::size_t p = 0; p < topic.paragraphs.size(); ++p)
            EXPECT_EQ(found->paragraphs[p], ParagraphText(topic.paragraphs[p])) << topic.name;
    }
}

TEST(HelpWriter, ParsesTheHtmlSubsetIntoTopicsParagraphsAndRuns) {
    const HelpDocument document = ParseHelpSource(
        "<!DOCTYPE html><html><head><title> T &amp; U\n</title></head><body>\n"
        "<a name=\"first\"></a><h1>First <i>one</i></h1>\n"
        "<p>Press <b>Next &gt;</b>   or\n read <a href=\"#Second\">the second</a>.</p>\n"
        "<a name=\"Second\"></a><h2><a name=\"context-7\"></a>Second</h2>\n"
        "<ul><li> caf\xC3\xA9 \xE2\x80\x99</li></ul></body></html>");
    EXPECT_EQ(document.title, "T & U");
    ASSERT_EQ(document.topics.size(), 2u);
    EXPECT_EQ(document.topics[0].title, "First one");
    EXPECT_EQ(document.topics[1].title, "Second");
    EXPECT_EQ(document.contextNumbers, (std::map<int, std::string>{{7, "Second"}}));
    const std::vector<tools::helpwriter::Run>& runs = document.topics[0].paragraphs[1].runs;
    ASSERT_EQ(runs.size(), 5u);
    EXPECT_EQ(runs[0].text, "Press ");
    EXPECT_TRUE(runs[1].bold);
    EXPECT_EQ(runs[1].text, "Next >");
    EXPECT_EQ(runs[2].text, " or read ");
    EXPECT_EQ(runs[3].link, "Second");
    EXPECT_EQ(runs[3].text, "the second");
    EXPECT_EQ(runs[4].text, ".");
    const Paragraph& item = document.topics[1].paragraphs[1];
    EXPECT_EQ(item.kind, ParagraphKind::ListItem);
    EXPECT_EQ(ParagraphText(item), "caf\xE9 \x92"); // Windows-1252
}

TEST(HelpWriter, RefusesSourcesWinHelpCannotHold) {
    const char* bad[] = {
        "<p>before any topic</p>",
        "<a name=\"a\"></a><p>no heading</p>",
        "<a name=\"a-b\"></a><h2>A</h2>",
        "<a name=\"foo\"></a><h2>A</h2><a name=\"FOO\"></a><h2>B</h2>",
        "<a name=\"a\"></a><h2>A</h2><p><a href=\"#missing\">x</a></p>",
        "<a name=\"a\"></a><h2>A \xE2\x9C\x93</h2>",
        "<a name=\"a\"></a><h2>A &bogus;</h2>",
    };
    for (const char* source : bad)
        EXPECT_THROW(ParseHelpSource(source), SourceError) << source;
}

TEST(HelpWriter, HashesContextNamesAsWinHelpDoes) {
    EXPECT_EQ(ContextHash("a"), 17);
    EXPECT_EQ(ContextHash("A"), 17);
    EXPECT_EQ(ContextHash("ab"), 17 * 43 + 18);
    EXPECT_EQ(ContextHash("1"), 1);
    EXPECT_EQ(ContextHash("0"), 10);
    EXPECT_EQ(ContextHash("._"), 12 * 43 + 13);
    EXPECT_EQ(ContextHash(""), 1);
    // Long names wrap around 32 bits: 42 * (43^6 + ... + 43 + 1) is 43^7 - 1.
    EXPECT_EQ(ContextHash("zzzzzzz"),
              static_cast<std::int32_t>(static_cast<std::uint32_t>(271818611107ull - 1)));
}

TEST(Lz77, RoundTripsAndDecodesTheFormatsOwnStreams) {
    std::mt19937 random(1);
    std::vector<Bytes> inputs = {{}, {'x'}, Bytes(5000, 'a')};
    Bytes noise(10000);
    for (auto& b : noise)
        b = static_cast<std::uint8_t>(random());
    inputs.push_back(noise);
    std::string text;
    for (int i = 0; i < 300; ++i)
        text += "Brisvane removes the traces " + std::to_string(i * 7919 % 1000) + ". ";
    inputs.emplace_back(text.begin(), text.end());
    for (const Bytes& input : inputs) {
        const Bytes packed = CompressLz77(input.data(), input.size());
        EXPECT_EQ(DecompressLz77(packed.data(), packed.size(), input.size() + 1), input);
    }
    EXPECT_LT(CompressLz77(inputs[2].data(), inputs[2].size()).size(), 700u);

    // One literal, then a copy of five from one back: the overlap repeats the literal.
    const Bytes stream = {0x02, 'a', 0x00, 0x20};
    EXPECT_EQ(DecompressLz77(stream.data(), stream.size(), 100), Bytes(6, 'a'));
    EXPECT_EQ(DecompressLz77(stream.data(), stream.size(), 4), Bytes(4, 'a'));
    const Bytes reachesBack = {0x01, 0x00, 0x00};
    EXPECT_THROW(DecompressLz77(reachesBack.data(), reachesBack.size(), 100), std::runtime_error);
}

TEST(HlpReader, RejectsDamagedFiles) {
    const std::string source = ReadFile(BRISVANE_HELP_SOURCE);
    const Bytes good = WriteHelpFile(ParseHelpSource(source));
    ASSERT_NO_THROW(HlpReader{good});

    Bytes badMagic = good;
    badMagic[0] ^= 1;
    EXPECT_THROW(HlpReader{badMagic}, HlpFormatError);

    Bytes truncated(good.begin(), good.end() - 100);
    EXPECT_THROW(HlpReader{truncated}, HlpFormatError);

    // The internal files lie in directory order after the 16-byte header.
    const HlpReader reader(good);
    std::size_t topicAt = 16;
    for (const char* name : {"|CONTEXT", "|CTXOMAP", "|FONT", "|SYSTEM"})
        topicAt += kFileHeaderSize + reader.InternalFile(name).size();
    Bytes movedFirstRecord = good;
    movedFirstRecord[topicAt + kFileHeaderSize + 4] += 1; // the block's FirstTopicLink
    EXPECT_THROW(HlpReader{movedFirstRecord}, HlpFormatError);
}

} // namespace
