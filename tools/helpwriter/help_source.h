// The help text as Brisvane keeps it: one HTML file in a small, fixed subset. Each
// <a name="NAME"> starts a topic (NAME is its context name) whose first <h1> or <h2> is its
// title; <a name="context-N"> inside a topic gives that topic the context number N; <p>, <h1>,
// <h2>, <h3>, <li>, <dt> and <dd> are paragraphs; <b>, <i> and <a href="#NAME"> are runs.
#pragma once

#include <map>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace tools::helpwriter {

// A help source the writer cannot turn into a help file; what() names the problem.
class SourceError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Text is in Windows-1252, the code page of WinHelp text.
struct Run {
    std::string text;
    bool bold = false;
    bool italic = false;
    std::string link; // the context name of the topic it jumps to, or empty
};

enum class ParagraphKind { Title, Heading, Subheading, Body, ListItem, Term, Definition };

struct Paragraph {
    ParagraphKind kind = ParagraphKind::Body;
    std::vector<Run> runs;
};

struct Topic {
    std::string name;
    std::string title;
    std::vector<Paragraph> paragraphs;
};

struct HelpDocument {
    std::string title; // from <title>
    std::vector<Topic> topics;
    std::map<int, std::string> contextNumbers; // context number -> topic name
};

// Throws SourceError for text outside any topic, a topic without a heading, a context name
// that Windows 3.1 help cannot hold, a duplicate or hash-clashing name, a link to a missing
// topic, or a character outside Windows-1252.
HelpDocument ParseHelpSource(std::string_view html);

std::string ParagraphText(const Paragraph& paragraph);

} // namespace tools::helpwriter
