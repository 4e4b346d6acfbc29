// What every command of brisvane-reg shares: the key and the switches as typed, the two kinds of
// error and the words for a failed registry call, the yes/no question, an opened key.
#pragma once

#include "commands.h"
#include "platform/posix/hive_file.h"
#include "platform/win32.h"

#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace tools::reg {

namespace hive = brisvane::platform::hive;

constexpr const char* kDone = "The operation completed successfully.";

// Bad arguments: reported with a pointer to the usage text.
class UsageError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A command that could not be carried out.
class CommandError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct KeyName {
    hive::Root root;
    std::vector<std::string> parts;
    std::string path; // below the root, "\"-separated
    std::string display;
};

HKEY RootHandle(hive::Root root);

KeyName ParseKey(const std::string& text);

struct Options {
    std::vector<std::string> positional;
    std::optional<std::string> valueName; // "" for the default value
    std::optional<std::string> type;
    std::optional<std::string> data;
    bool force = false;
};

// allowed lists the switches this command takes, e.g. "/v /ve /t /d /f".
Options ParseOptions(const Arguments& args, const std::string& allowed);

// Throws CommandError, in words, when rc is not ERROR_SUCCESS.
void Check(LONG rc, const KeyName& key);

// Asks on err and reads the answer from in: yes (or y, in any case) agrees.
bool Confirm(Streams& io, const std::string& question);

class OpenedKey {
public:
    OpenedKey(const KeyName& key, REGSAM access, bool create) {
        LONG rc = create
                      ? RegCreateKeyExA(RootHandle(key.root), key.path.c_str(), 0, nullptr,
                                        REG_OPTION_NON_VOLATILE, access, nullptr, &m_key, nullptr)
                      : RegOpenKeyExA(RootHandle(key.root), key.path.c_str(), 0, access, &m_key);
        Check(rc, key);
    }
    ~OpenedKey() { RegCloseKey(m_key); }
    OpenedKey(const OpenedKey&) = delete;
    OpenedKey& operator=(const OpenedKey&) = delete;
    HKEY Get() const { return m_key; }

private:
    HKEY m_key = nullptr;
};

// The one key of a command that takes exactly one; names the command otherwise.
KeyName OnlyKey(const Options& options, const char* command);

} // namespace tools::reg
