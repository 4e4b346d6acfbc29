// The commands of brisvane-reg, in the manner of Windows "reg": query, add, delete, import and
// export over the hive files. Each takes its arguments after the command word and returns the
// exit code; what it reports goes to out, errors to err.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace regtool {

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

// Picks the command by its first argument (any case) and runs it.
int Run(const Arguments& args, Streams& io);

void PrintUsage(std::ostream& out);

} // namespace regtool
