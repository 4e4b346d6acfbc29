// brisvane-helpwriter SOURCE.html OUTPUT.hlp: writes the WinHelp file of the HTML help source.
#include "help_source.h"
#include "hlp_writer.h"

#include <fstream>
#include <iostream>
#include <sstream>

int main(int argc, char** argv) {
    if (argc != 3) {
        std::cerr << "usage: brisvane-helpwriter SOURCE.html OUTPUT.hlp\n";
        return 2;
    }
    std::ifstream in(argv[1], std::ios::binary);
    if (!in) {
        std::cerr << "brisvane-helpwriter: cannot read " << argv[1] << "\n";
        return 1;
    }
    std::ostringstream source;
    source << in.rdbuf();
    tools::helpwriter::Bytes file;
    try {
        file = tools::helpwriter::WriteHelpFile(tools::helpwriter::ParseHelpSource(source.str()));
    } catch (const tools::helpwriter::SourceError& error) {
        std::cerr << argv[1] << ": " << error.what() << "\n";
        return 1;
    }
    std::ofstream out(argv[2], std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(file.data()),
              static_cast<std::streamsize>(file.size()));
    out.close();
    if (!out) {
        std::cerr << "brisvane-helpwriter: cannot write " << argv[2] << "\n";
        return 1;
    }
    return 0;
}
