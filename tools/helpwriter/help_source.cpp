#include "help_source.h"

#include "hlp_format.h"

#include <cctype>
#include <optional>

namespace tools::helpwriter {

namespace {

struct Tag {
    std::string name; // lower case, without the '/' of a closing tag
    bool closing = false;
    std::map<std::string, std::string> attributes;
};

std::string Lower(std::string_view text) {
    std::string lower(text);
    for (char& c : lower)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return lower;
}

Tag ParseTag(std::string_view inside) {
    Tag tag;
    std::size_t at = 0;
    auto skipSpace = [&] {
        while (at < inside.size() && std::isspace(static_cast<unsigned char>(inside[at])))
            ++at;
    };
    auto word = [&] {
        const std::size_t start = at;
        while (at < inside.size() && !std::isspace(static_cast<unsigned char>(inside[at])) &&
               inside[at] != '=' && inside[at] != '/')
            ++at;
        return Lower(inside.substr(start, at - start));
    };
    if (!inside.empty() && inside[0] == '/') {
        tag.closing = true;
        ++at;
    }
    tag.name = word();
    for (;;) {
        skipSpace();
        if (at >= inside.size() || inside[at] == '/')
            break;
        std::string name = word();
        skipSpace();
        std::string value;
        if (at < inside.size() && inside[at] == '=') {
            ++at;
            skipSpace();
            const char quote = at < inside.size() ? inside[at] : '\0';
            if (quote == '"' || quote == '\'') {
                const std::size_t end = inside.find(quote, at + 1);
                if (end == std::string_view::npos)
                    throw SourceError("unterminated attribute value in <" + std::string(inside) +
                                      ">");
                value = inside.substr(at + 1, end - at - 1);
                at = end + 1;
            } else {
                value = word();
            }
        }
        if (name.empty())
            ++at; // a stray character: skip it rather than loop
        else
            tag.attributes[name] = value;
    }
    return tag;
}

// The characters Windows-1252 places at 0x80..0x9F; elsewhere it agrees with Latin-1.
std::optional<char> ToWindows1252(char32_t code) {
    static const std::map<char32_t, unsigned char> kHigh = {
        {0x20AC, 0x80}, {0x201A, 0x82}, {0x0192, 0x83}, {0x201E, 0x84}, {0x2026, 0x85},
        {0x2020, 0x86}, {0x2021, 0x87}, {0x02C6, 0x88}, {0x2030, 0x89}, {0x0160, 0x8A},
        {0x2039, 0x8B}, {0x0152, 0x8C}, {0x017D, 0x8E}, {0x2018, 0x91}, {0x2019, 0x92},
        {0x201C, 0x93}, {0x201D, 0x94}, {0x2022, 0x95}, {0x2013, 0x96}, {0x2014, 0x97},
        {0x02DC, 0x98}, {0x2122, 0x99}, {0x0161, 0x9A}, {0x203A, 0x9B}, {0x0153, 0x9C},
        {0x017E, 0x9E}, {0x0178, 0x9F}};
    if (code < 0x80 || (code >= 0xA0 && code <= 0xFF))
        return static_cast<char>(code);
    auto found = kHigh.find(code);
    if (found == kHigh.end())
        return std::nullopt;
    return static_cast<char>(found->second);
}

void AppendCodePoint(std::string& out, char32_t code) {
    auto converted = ToWindows1252(code);
    if (!converted || *converted == '\0')
        throw SourceError("character U+" + std::to_string(static_cast<unsigned long>(code)) +
                          " has no place in Windows-1252");
    out += *converted;
}

std::string DecodeEntity(std::string_view entity) {
    static const std::map<std::string, char32_t, std::less<>> kNamed = {
        {"amp", '&'}, {"lt", '<'}, {"gt", '>'}, {"quot", '"'}, {"apos", '\''}, {"nbsp", 0xA0}};
    std::string out;
    if (!entity.empty() && entity[0] == '#') {
        const bool hex = entity.size() > 1 && (entity[1] == 'x' || entity[1] == 'X');
        const std::string digits(entity.substr(hex ? 2 : 1));
        char32_t code = 0;
        try {
            code = static_cast<char32_t>(std::stoul(digits, nullptr, hex ? 16 : 10));
        } catch (const std::exception&) {
            throw SourceError("bad character reference &" + std::string(entity) + ";");
        }
        AppendCodePoint(out, code);
        return out;
    }
    auto found = kNamed.find(entity);
    if (found == kNamed.end())
        throw SourceError("unknown entity &" + std::string(entity) + ";");
    AppendCodePoint(out, found->second);
    return out;
}

// UTF-8 text with entities, to Windows-1252 with each whitespace run made one space.
std::string DecodeText(std::string_view raw) {
    std::string out;
    for (std::size_t at = 0; at < raw.size();) {
        const unsigned char c = static_cast<unsigned char>(raw[at]);
        if (std::isspace(c)) {
            if (out.empty() || out.back() != ' ')
                out += ' ';
            ++at;
        } else if (c == '&') {
            const std::size_t end = raw.find(';', at);
            if (end == std::string_view::npos)
                throw SourceError("'&' without ';' in the text");
            out += DecodeEntity(raw.substr(at + 1, end - at - 1));
            at = end + 1;
        } else if (c < 0x80) {
            out += static_cast<char>(c);
            ++at;
        } else {
            const int length = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 0;
            if (length == 0 || at + length > raw.size())
                throw SourceError("the help source is not valid UTF-8");
            char32_t code = c & (0xFF >> (length + 1));
            for (int i = 1; i < length; ++i)
                code = (code << 6) | (static_cast<unsigned char>(raw[at + i]) & 0x3F);
            AppendCodePoint(out, code);
            at += length;
        }
    }
    return out;
}

std::optional<ParagraphKind> BlockKind(const std::string& tag) {
    static const std::map<std::string, ParagraphKind> kBlocks = {
        {"h1", ParagraphKind::Title},      {"h2", ParagraphKind::Heading},
        {"h3", ParagraphKind::Subheading}, {"p", ParagraphKind::Body},
        {"li", ParagraphKind::ListItem},   {"dt", ParagraphKind::Term},
        {"dd", ParagraphKind::Definition}};
    auto found = kBlocks.find(tag);
    if (found == kBlocks.end())
        return std::nullopt;
    return found->second;
}

std::optional<int> ContextNumber(const std::string& anchor) {
    constexpr std::string_view kPrefix = "context-";
    if (anchor.rfind(kPrefix, 0) != 0 || anchor.size() == kPrefix.size() ||
        anchor.size() > kPrefix.size() + 9)
        return std::nullopt;
    for (std::size_t i = kPrefix.size(); i < anchor.size(); ++i)
        if (!std::isdigit(static_cast<unsigned char>(anchor[i])))
            return std::nullopt;
    return std::stoi(anchor.substr(kPrefix.size()));
}

class Builder {
public:
    void Text(std::string_view raw) {
        if (m_inTitle) {
            m_document.title += DecodeText(raw);
            return;
        }
        std::string text = DecodeText(raw);
        if (m_inHead || text.empty() || (text == " " && !m_paragraph))
            return;
        if (!m_paragraph)
            OpenParagraph(ParagraphKind::Body);
        if (text.front() == ' ' && EndsInSpace())
            text.erase(0, 1);
        if (text.empty())
            return;
        std::vector<Run>& runs = m_paragraph->runs;
        const std::string link = m_links.empty() ? std::string() : m_links.back();
        if (runs.empty() || runs.back().bold != (m_bold > 0) ||
            runs.back().italic != (m_italic > 0) || runs.back().link != link)
            runs.push_back({"", m_bold > 0, m_italic > 0, link});
        runs.back().text += text;
    }

    void OnTag(const Tag& tag) {
        if (tag.name == "head" || tag.name == "title") {
            (tag.name == "head" ? m_inHead : m_inTitle) = !tag.closing;
        } else if (auto kind = BlockKind(tag.name)) {
            CloseParagraph();
            if (!tag.closing)
                OpenParagraph(*kind);
        } else if (tag.name == "b" || tag.name == "strong") {
            m_bold += tag.closing ? -1 : 1;
        } else if (tag.name == "i" || tag.name == "em") {
            m_italic += tag.closing ? -1 : 1;
        } else if (tag.name == "a") {
            OnAnchor(tag);
        } else if (tag.name == "ul" || tag.name == "ol" || tag.name == "dl" || tag.name == "body") {
            CloseParagraph();
        }
    }

    HelpDocument Finish() {
        CloseParagraph();
        std::string& title = m_document.title;
        title.erase(0, title.find_first_not_of(' '));
        title.erase(title.find_last_not_of(' ') + 1);
        for (Topic& topic : m_document.topics) {
            if (topic.title.empty())
                throw SourceError("topic '" + topic.name + "' has no <h1> or <h2> heading");
            for (const Paragraph& paragraph : topic.paragraphs)
                for (const Run& run : paragraph.runs)
                    if (!run.link.empty() && !m_hashes.count(ContextHash(run.link)))
                        throw SourceError("topic '" + topic.name + "' links to '#" + run.link +
                                          "', which is no topic");
        }
        if (m_document.topics.empty())
            throw SourceError("the help source has no topic (<a name=\"...\">)");
        return std::move(m_document);
    }

private:
    void OnAnchor(const Tag& tag) {
        if (tag.closing) {
            if (m_anchorLinks.empty())
                throw SourceError("</a> without <a>");
            if (m_anchorLinks.back())
                m_links.pop_back();
            m_anchorLinks.pop_back();
            return;
        }
        auto href = tag.attributes.find("href");
        const bool isLink = href != tag.attributes.end();
        m_anchorLinks.push_back(isLink);
        if (isLink) {
            if (href->second.empty() || href->second[0] != '#')
                throw SourceError("link '" + href->second + "' leaves the help file");
            m_links.push_back(href->second.substr(1));
            return;
        }
        auto name = tag.attributes.find("name");
        if (name == tag.attributes.end())
            return;
        if (auto number = ContextNumber(name->second)) {
            if (m_document.topics.empty())
                throw SourceError("'" + name->second + "' comes before the first topic");
            m_document.contextNumbers[*number] = m_document.topics.back().name;
            return;
        }
        StartTopic(name->second);
    }

    void StartTopic(const std::string& name) {
        if (!IsContextNameValid(name))
            throw SourceError("topic name '" + name +
                              "' may hold only letters, digits, '.' and '_'");
        auto [clash, added] = m_hashes.emplace(ContextHash(name), name);
        if (!added)
            throw SourceError("topic names '" + clash->second + "' and '" + name +
                              "' are the same to WinHelp");
        CloseParagraph();
        m_document.topics.push_back({name, "", {}});
    }

    void OpenParagraph(ParagraphKind kind) {
        if (m_document.topics.empty())
            throw SourceError("text comes before the first topic (<a name=\"...\">)");
        Topic& topic = m_document.topics.back();
        topic.paragraphs.push_back({kind, {}});
        m_paragraph = &topic.paragraphs.back();
    }

    // True at the start of a paragraph too, so that no paragraph starts with a space.
    bool EndsInSpace() const {
        const std::vector<Run>& runs = m_paragraph->runs;
        return runs.empty() || runs.back().text.back() == ' ';
    }

    void CloseParagraph() {
        if (!m_paragraph)
            return;
        std::vector<Run>& runs = m_paragraph->runs;
        if (!runs.empty() && runs.back().text.back() == ' ')
            runs.back().text.pop_back();
        if (!runs.empty() && runs.back().text.empty())
            runs.pop_back();
        Topic& topic = m_document.topics.back();
        const ParagraphKind kind = m_paragraph->kind;
        if (runs.empty()) {
            topic.paragraphs.pop_back();
        } else if (topic.title.empty() &&
                   (kind == ParagraphKind::Title || kind == ParagraphKind::Heading)) {
            topic.title = ParagraphText(*m_paragraph);
        }
        m_paragraph = nullptr;
    }

    HelpDocument m_document;
    Paragraph* m_paragraph = nullptr;
    std::map<std::int32_t, std::string> m_hashes;
    std::vector<std::string> m_links;
    std::vector<bool> m_anchorLinks;
    int m_bold = 0;
    int m_italic = 0;
    bool m_inHead = false;
    bool m_inTitle = false;
};

} // namespace

HelpDocument ParseHelpSource(std::string_view html) {
    Builder builder;
    std::size_t at = 0;
    while (at < html.size()) {
        const std::size_t open = html.find('<', at);
        builder.Text(html.substr(at, open == std::string_view::npos ? open : open - at));
        if (open == std::string_view::npos)
            break;
        const std::size_t close = html.find('>', open);
        if (close == std::string_view::npos)
            throw SourceError("'<' without '>'");
        const std::string_view inside = html.substr(open + 1, close - open - 1);
        if (!inside.empty() && inside[0] != '!')
            builder.OnTag(ParseTag(inside));
        at = close + 1;
    }
    return builder.Finish();
}

std::string ParagraphText(const Paragraph& paragraph) {
    std::string text;
    for (const Run& run : paragraph.runs)
        text += run.text;
    return text;
}

} // namespace tools::helpwriter
