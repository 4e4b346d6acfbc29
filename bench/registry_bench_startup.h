// What the program's start-up does to the registry, counted for the registry benchmark.
#pragma once

#include <string>

namespace bench {

// The start-up's registry calls with every option ticked and stored, in this process.
void StartUpSequence();

// Runs self --startup-child under strace when there is one and prints how often the hive was
// read, renamed and flushed, and whether the user's hive was left untouched.
void StartUpFigures(const std::string& dir, const char* self);

} // namespace bench
