// Turns a help document into a WinHelp 3.1 file (.hlp) that WinHelpA and Wine's help viewer
// open: |SYSTEM, |FONT, |TOPIC in LZ77-compressed blocks, |CONTEXT and |CTXOMAP, behind the
// internal directory.
#pragma once

#include "help_source.h"
#include "hlp_format.h"

namespace tools::helpwriter {

// The file's title goes into |SYSTEM; the first topic is the contents topic. Throws SourceError
// for a paragraph too long for one topic block.
Bytes WriteHelpFile(const HelpDocument& document);

} // namespace tools::helpwriter
