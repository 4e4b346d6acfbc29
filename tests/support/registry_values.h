// Registry set-up and inspection for tests, through the platform calls directly so that a
// fixture does not depend on the accessor under test.
#pragma once

#include "platform/win32.h"
#include "support/temp_folder.h"

#include <optional>
#include <string>

namespace testing_support {

void SetText(HKEY root, const std::string& key, const std::string& name, const std::string& value);
void SetNumber(HKEY root, const std::string& key, const std::string& name, DWORD value);
bool KeyExists(HKEY root, const std::string& key);
// The type of a value, or nothing when the value (or its key) is missing.
std::optional<DWORD> ValueType(HKEY root, const std::string& key, const std::string& name);
std::optional<std::string> ValueText(HKEY root, const std::string& key, const std::string& name);

// Both hive files as they are now, to tell whether anything was written.
std::string HiveSnapshot(const RegistrySandbox& sandbox);

} // namespace testing_support
