// brisvane-reg run-at-logon: what Windows does with the Run key when a user logs on. The
// desktop's autostart entry runs it once per session.
#pragma once

#include "reg_commands.h"

#include <string>
#include <vector>

namespace regtool {

// The programs named by the string values under HKLM\...\CurrentVersion\Run, in value order.
// Empty when the key is missing or cannot be read in full, so a damaged hive starts nothing.
std::vector<std::string> LogonPrograms();

// Starts each of LogonPrograms that is an existing regular file with an execute bit set,
// detached in a session of its own, and does not wait for any. Names each program it passes
// over on err. Always returns 0: a log-on must not fail because of one bad entry.
int RunAtLogon(const Arguments& args, Streams& io);

} // namespace regtool
