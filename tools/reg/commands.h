// The commands of brisvane-reg, in the manner of Windows "reg": query, add, delete, import,
// export over the hive files, and run-at-logon. Each takes its arguments after the command word and
// returns the exit code; what it reports goes to out, errors to err.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace tools::reg {

struct Streams {
    std::istream& in; // answers to "overwrite?" and "delete?" questions
    std::ostream& out;
    std::ostream& err;
};

using Arguments = std::vector<std::string>;

int Query(const Arguments& args, Streams& io);
int Add(const Arguments& args, Streams& io);
int Delete(const Arguments& args, Streams& io);
int Import(const Arguments& args, Streams& io);
int Export(const Arguments& args, Streams& io);

// What Windows does with the Run key when a user logs on; the desktop's autostart entry runs it
// once per session. Starts each program that the string values under HKLM\...\CurrentVersion\Run
// name, in value order, that is an existing regular file with an execute bit set, detached in a
// session of its own, and does not wait for any. Names each program it passes over on err.
// Always returns 0: a log-on must not fail because of one bad entry.
int RunAtLogon(const Arguments& args, Streams& io);

// Lists the Wine prefixes found: when each was last used, the browser data it holds and the six
// folders the program would take from it.
int WinePrefixes(const Arguments& args, Streams& io);
// Stores the six folders of the prefix named as the program's paths.
int WineImport(const Arguments& args, Streams& io);

} // namespace tools::reg
