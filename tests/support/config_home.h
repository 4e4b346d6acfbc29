// Where the registry of the program under test lives. On Linux that is the hive folder under
// XDG_CONFIG_HOME, which a sandbox points elsewhere; Windows has one system registry, so there
// these do nothing.
#pragma once

#include <string>

namespace testing_support {

// Points the registry at `folder`; returns whether there was a previous setting, in `oldValue`.
bool PointConfigHome(const std::string& folder, std::string& oldValue);

// Puts back what PointConfigHome found.
void RestoreConfigHome(bool hadValue, const std::string& oldValue);

} // namespace testing_support
