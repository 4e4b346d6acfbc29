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

// The whole registry of the test as it is now, to tell whether anything was written: on Linux
// both hive files byte for byte; on Windows every key and value under the scratch key.
std::string HiveSnapshot(const RegistrySandbox& sandbox);
// The same for one root only: "HKEY_CURRENT_USER" or "HKEY_LOCAL_MACHINE".
std::string HiveSnapshot(const RegistrySandbox& sandbox, const std::string& rootName);

// Makes HKEY_LOCAL_MACHINE refuse every open that asks to write, reading still allowed, as
// Windows refuses a standard user (or an administrator not running elevated). On Linux the hive
// file gets mode 0444, by which our layer decides, also for root; on Windows each key there gets
// a DACL that denies everyone setting values and creating subkeys. Set up what the test needs
// under that root first.
void DenyMachineWrites(const RegistrySandbox& sandbox);

} // namespace testing_support
