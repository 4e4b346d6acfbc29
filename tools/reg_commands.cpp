#include "reg_commands.h"

#include "logon_runner.h"
#include "platform/posix/hive_file.h"
#include "platform/posix/registry_hive.h"
#include "platform/win32.h"

#include <cctype>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <optional>
#include <sstream>
#include <stdexcept>
#include <sys/stat.h>

namespace regtool {

namespace {

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

HKEY RootHandle(hive::Root root) {
    return root == hive::Root::CurrentUser ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE;
}

KeyName ParseKey(const std::string& text) {
    std::string_view rest(text);
    while (!rest.empty() && rest.back() == '\\')
        rest.remove_suffix(1);
    std::size_t slash = rest.find('\\');
    auto root = hive::RootFromName(rest.substr(0, slash));
    if (!root)
        throw UsageError(
            "'" + text +
            "' does not start with HKEY_CURRENT_USER, HKCU, HKEY_LOCAL_MACHINE or HKLM");
    KeyName key{*root, {}, {}, std::string(hive::RootName(*root))};
    if (slash == std::string_view::npos)
        return key;
    key.path = rest.substr(slash + 1);
    std::size_t start = 0;
    for (;;) {
        std::size_t at = key.path.find('\\', start);
        std::string part = key.path.substr(start, at == std::string::npos ? at : at - start);
        if (part.empty())
            throw UsageError("'" + text + "' has an empty key name in it");
        key.parts.push_back(part);
        if (at == std::string::npos)
            break;
        start = at + 1;
    }
    if (key.parts.size() > hive::kMaxKeyDepth)
        throw UsageError("the key is more than " + std::to_string(hive::kMaxKeyDepth) +
                         " levels below its root");
    key.display += "\\" + key.path;
    return key;
}

struct Options {
    std::vector<std::string> positional;
    std::optional<std::string> valueName; // "" for the default value
    std::optional<std::string> type;
    std::optional<std::string> data;
    bool force = false;
};

// allowed lists the switches this command takes, e.g. "/v /ve /t /d /f".
Options ParseOptions(const Arguments& args, const std::string& allowed) {
    Options options;
    auto takes = [&](const char* name) {
        std::istringstream words(allowed);
        std::string word;
        while (words >> word)
            if (word == name)
                return true;
        return false;
    };
    auto next = [&](std::size_t& i, const std::string& name) -> std::string {
        if (i + 1 >= args.size())
            throw UsageError(name + " needs a value after it");
        return args[++i];
    };
    for (std::size_t i = 1; i < args.size(); ++i) {
        const std::string& arg = args[i];
        std::string name = arg;
        for (char& c : name)
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        // Anything else starting with "/" is a file or data, such as "/home/u/x.reg".
        if (std::string(" /v /ve /t /d /f /y ").find(" " + name + " ") != std::string::npos) {
            if (!takes(name.c_str()))
                throw UsageError("unknown switch " + arg);
            if (name == "/v" || name == "/ve") {
                if (options.valueName)
                    throw UsageError("give only one of /v and /ve");
                options.valueName = name == "/v" ? next(i, arg) : std::string();
            } else if (name == "/t") {
                options.type = next(i, arg);
            } else if (name == "/d") {
                options.data = next(i, arg);
            } else if (name == "/f" || name == "/y") {
                options.force = true;
            }
        } else {
            options.positional.push_back(arg);
        }
    }
    return options;
}

std::string DescribeError(LONG rc, const KeyName& key) {
    switch (static_cast<DWORD>(rc)) {
    case ERROR_FILE_NOT_FOUND:
        return "The system was unable to find the specified registry key or value.";
    case ERROR_ACCESS_DENIED:
        return "Access is denied: " + hive::HivePath(key.root) +
               " or its folder is read-only, or a key to be deleted has subkeys.";
    case ERROR_BADDB:
        return "The registry hive " + hive::HivePath(key.root) +
               " is damaged and was left as it is; fix or remove the line named above.";
    case ERROR_BAD_PATHNAME:
    case ERROR_INVALID_PARAMETER:
        return "The key or value name is not valid.";
    case ERROR_CANTWRITE:
        return "The registry hive " + hive::HivePath(key.root) + " could not be written.";
    case ERROR_CANTREAD: {
        std::string problem = hive::HiveFileProblem(key.root);
        return "The registry hive " + hive::HivePath(key.root) + " " +
               (problem.empty() ? "could not be read" : problem) + ".";
    }
    default:
        return "The registry call failed with error " + std::to_string(rc) + ".";
    }
}

void Check(LONG rc, const KeyName& key) {
    if (rc != ERROR_SUCCESS)
        throw CommandError(DescribeError(rc, key));
}

bool Confirm(Streams& io, const std::string& question) {
    io.err << question << " (Yes/No)? " << std::flush;
    std::string answer;
    if (!std::getline(io.in, answer))
        return false;
    return hive::NamesEqual(answer, "yes") || hive::NamesEqual(answer, "y");
}

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

std::string TypeName(DWORD type) {
    switch (type) {
    case REG_NONE:
        return "REG_NONE";
    case REG_SZ:
        return "REG_SZ";
    case REG_EXPAND_SZ:
        return "REG_EXPAND_SZ";
    case REG_BINARY:
        return "REG_BINARY";
    case REG_DWORD:
        return "REG_DWORD";
    case REG_MULTI_SZ:
        return "REG_MULTI_SZ";
    case REG_QWORD:
        return "REG_QWORD";
    default: {
        char text[16];
        std::snprintf(text, sizeof text, "0x%x", static_cast<unsigned>(type));
        return text;
    }
    }
}

std::string FormatData(DWORD type, const std::vector<BYTE>& data) {
    auto number = [&](std::size_t size) {
        unsigned long long n = 0;
        for (std::size_t i = size; i-- > 0;)
            n = (n << 8) | data[i];
        char text[24];
        std::snprintf(text, sizeof text, "0x%llx", n);
        return std::string(text);
    };
    if (type == REG_SZ || type == REG_EXPAND_SZ) {
        std::string text(data.begin(), data.end());
        return text.substr(0, text.find('\0'));
    }
    if (type == REG_DWORD && data.size() == 4)
        return number(4);
    if (type == REG_QWORD && data.size() == 8)
        return number(8);
    if (type == REG_MULTI_SZ) {
        std::string text(data.begin(), data.end());
        while (!text.empty() && text.back() == '\0')
            text.pop_back();
        std::string shown;
        for (char c : text)
            shown += c == '\0' ? std::string("\\0") : std::string(1, c);
        return shown;
    }
    std::string hex;
    char byte[4];
    for (BYTE b : data) {
        std::snprintf(byte, sizeof byte, "%02X", b);
        hex += byte;
    }
    return hex;
}

void PrintValue(Streams& io, const std::string& name, DWORD type, const std::vector<BYTE>& data) {
    io.out << "    " << (name.empty() ? "(Default)" : name) << "    " << TypeName(type) << "    "
           << FormatData(type, data) << "\n";
}

KeyName OnlyKey(const Options& options, const char* command) {
    if (options.positional.size() != 1)
        throw UsageError(std::string(command) + " takes exactly one key");
    return ParseKey(options.positional.front());
}

std::vector<BYTE> EncodeData(const Options& options, DWORD& type) {
    std::string typeName = options.type.value_or("REG_SZ");
    std::string data = options.data.value_or("");
    if (hive::NamesEqual(typeName, "REG_SZ") || hive::NamesEqual(typeName, "REG_EXPAND_SZ")) {
        type = hive::NamesEqual(typeName, "REG_SZ") ? REG_SZ : REG_EXPAND_SZ;
        std::vector<BYTE> bytes(data.begin(), data.end());
        bytes.push_back(0);
        return bytes;
    }
    if (!hive::NamesEqual(typeName, "REG_DWORD"))
        throw UsageError("/t takes REG_SZ, REG_EXPAND_SZ or REG_DWORD, not " + typeName);
    type = REG_DWORD;
    unsigned long long number = 0;
    if (!data.empty()) {
        bool hex = data.size() > 2 && data[0] == '0' && (data[1] == 'x' || data[1] == 'X');
        std::size_t used = 0;
        try {
            number = std::stoull(data, &used, hex ? 16 : 10);
        } catch (const std::exception&) {
            used = 0;
        }
        if (used != data.size() || data[0] == '-' || number > 0xFFFFFFFFull)
            throw UsageError("'" + data + "' is not a REG_DWORD number (decimal or 0x hex)");
    }
    std::vector<BYTE> bytes;
    for (int i = 0; i < 4; ++i)
        bytes.push_back(static_cast<BYTE>(number >> (8 * i)));
    return bytes;
}

// Depth first with a stack of our own rather than by recursion; stops at the first failure.
LONG DeleteTree(HKEY base, const std::string& path) {
    struct Level {
        HKEY base = nullptr;
        std::string path;
        HKEY key = nullptr;
    };
    std::vector<Level> levels(1);
    levels.back().base = base;
    levels.back().path = path;
    LONG rc = RegOpenKeyExA(base, path.c_str(), 0, KEY_ALL_ACCESS, &levels.back().key);
    if (rc != ERROR_SUCCESS)
        return rc;
    while (!levels.empty()) {
        char name[256];
        DWORD length = sizeof name;
        rc = RegEnumKeyExA(levels.back().key, 0, name, &length, nullptr, nullptr, nullptr, nullptr);
        if (rc == ERROR_SUCCESS) {
            Level child;
            child.base = levels.back().key;
            child.path.assign(name, length);
            rc = RegOpenKeyExA(child.base, child.path.c_str(), 0, KEY_ALL_ACCESS, &child.key);
            if (rc == ERROR_SUCCESS)
                levels.push_back(std::move(child));
        } else if (rc == ERROR_NO_MORE_ITEMS) {
            RegCloseKey(levels.back().key);
            rc = RegDeleteKeyA(levels.back().base, levels.back().path.c_str());
            levels.pop_back();
        }
        if (rc != ERROR_SUCCESS)
            break;
    }
    for (const Level& level : levels)
        RegCloseKey(level.key);
    return rc;
}

std::string ReadWholeFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw CommandError("Cannot read " + path + ".");
    // Read in one piece where the size is known; a pipe is read to its end.
    std::string content;
    in.seekg(0, std::ios::end);
    const std::streamoff size = in.tellg();
    in.seekg(0, std::ios::beg);
    if (size > 0) {
        content.resize(static_cast<std::size_t>(size));
        in.read(content.data(), size);
        content.resize(static_cast<std::size_t>(in.gcount()));
    }
    in.clear();
    std::ostringstream rest;
    rest << in.rdbuf();
    content += rest.str();
    return content;
}

} // namespace

int Query(const Arguments& args, Streams& io) {
    Options options = ParseOptions(args, "/v /ve");
    KeyName name = OnlyKey(options, "query");
    OpenedKey key(name, KEY_READ, false);
    io.out << "\n" << name.display << "\n";
    auto readValue = [&](const std::string& valueName, DWORD& type, std::vector<BYTE>& data) {
        DWORD size = 0;
        LONG rc = RegQueryValueExA(key.Get(), valueName.c_str(), nullptr, &type, nullptr, &size);
        if (rc == ERROR_SUCCESS) {
            data.resize(size);
            rc = RegQueryValueExA(key.Get(), valueName.c_str(), nullptr, &type, data.data(), &size);
            data.resize(size);
        }
        Check(rc, name);
    };
    DWORD type = 0;
    std::vector<BYTE> data;
    if (options.valueName) {
        readValue(*options.valueName, type, data);
        PrintValue(io, *options.valueName, type, data);
        io.out << "\n";
        return 0;
    }
    DWORD subkeys = 0, longestSubkey = 0, values = 0, longestName = 0;
    Check(RegQueryInfoKeyA(key.Get(), nullptr, nullptr, nullptr, &subkeys, &longestSubkey, nullptr,
                           &values, &longestName, nullptr, nullptr, nullptr),
          name);
    for (DWORD i = 0; i < values; ++i) {
        std::vector<char> valueName(longestName + 1);
        DWORD length = longestName + 1;
        if (RegEnumValueA(key.Get(), i, valueName.data(), &length, nullptr, nullptr, nullptr,
                          nullptr) != ERROR_SUCCESS)
            break;
        std::string valueText(valueName.data(), length);
        readValue(valueText, type, data);
        PrintValue(io, valueText, type, data);
    }
    io.out << "\n";
    for (DWORD i = 0; i < subkeys; ++i) {
        std::vector<char> subkey(longestSubkey + 1);
        DWORD length = longestSubkey + 1;
        if (RegEnumKeyExA(key.Get(), i, subkey.data(), &length, nullptr, nullptr, nullptr,
                          nullptr) != ERROR_SUCCESS)
            break;
        io.out << name.display << "\\" << std::string(subkey.data(), length) << "\n";
    }
    return 0;
}

int Add(const Arguments& args, Streams& io) {
    Options options = ParseOptions(args, "/v /ve /t /d /f");
    KeyName name = OnlyKey(options, "add");
    DWORD type = REG_SZ;
    std::vector<BYTE> data = EncodeData(options, type);
    bool setsValue = options.valueName || options.data || options.type;
    std::string valueName = options.valueName.value_or("");
    OpenedKey key(name, KEY_ALL_ACCESS, true);
    if (setsValue) {
        DWORD size = 0;
        bool exists = RegQueryValueExA(key.Get(), valueName.c_str(), nullptr, nullptr, nullptr,
                                       &size) == ERROR_SUCCESS;
        if (exists && !options.force &&
            !Confirm(io, "Value " + (valueName.empty() ? "(Default)" : valueName) +
                             " exists, overwrite")) {
            io.out << "The operation was cancelled.\n";
            return 1;
        }
        Check(RegSetValueExA(key.Get(), valueName.c_str(), 0, type, data.data(),
                             static_cast<DWORD>(data.size())),
              name);
    }
    io.out << kDone << "\n";
    return 0;
}

int Delete(const Arguments& args, Streams& io) {
    Options options = ParseOptions(args, "/v /ve /f");
    KeyName name = OnlyKey(options, "delete");
    if (options.valueName) {
        OpenedKey key(name, KEY_ALL_ACCESS, false);
        const std::string& valueName = *options.valueName;
        if (!options.force && !Confirm(io, "Delete the registry value " +
                                               (valueName.empty() ? "(Default)" : valueName))) {
            io.out << "The operation was cancelled.\n";
            return 1;
        }
        Check(RegDeleteValueA(key.Get(), valueName.c_str()), name);
    } else {
        if (name.parts.empty())
            throw UsageError("a root key cannot be deleted");
        HKEY probe = nullptr;
        Check(RegOpenKeyExA(RootHandle(name.root), name.path.c_str(), 0, KEY_READ, &probe), name);
        RegCloseKey(probe);
        if (!options.force && !Confirm(io, "Permanently delete the registry key " + name.display)) {
            io.out << "The operation was cancelled.\n";
            return 1;
        }
        Check(DeleteTree(RootHandle(name.root), name.path), name);
    }
    io.out << kDone << "\n";
    return 0;
}

namespace {

// What one reading of a .reg file found, in the order its faults are named: syntax first, then
// a root other than the two hives, then an edit the hive refuses.
struct ImportReading {
    std::optional<hive::ParseError> syntax;
    std::optional<hive::ParseError> unknownRoot;
    std::optional<hive::ParseError> refused;
    bool roots[2] = {false, false};

    bool Names(hive::Root root) const { return roots[static_cast<int>(root)]; }
    bool Faulty() const { return syntax || unknownRoot || refused; }
};

// Reads the whole document once, noting its roots and applying the edits of root through
// applier when one is given (none after a fault).
ImportReading ReadImport(const std::string& content, hive::Root root, hive::EditApplier* applier) {
    ImportReading reading;
    reading.syntax = hive::ParseRegDocument(
        content, [&](const hive::RegEdit& edit) -> std::optional<hive::ParseError> {
            const auto named = hive::RootFromName(edit.rootName);
            if (!named) {
                if (!reading.unknownRoot)
                    reading.unknownRoot = hive::ParseError{edit.line, edit.rootName};
            } else {
                reading.roots[static_cast<int>(*named)] = true;
                if (applier && *named == root && !reading.Faulty())
                    reading.refused = applier->ApplyToRoot(edit);
            }
            return std::nullopt;
        });
    return reading;
}

// The root of the first edit, found without reading further.
std::optional<hive::Root> FirstRoot(const std::string& content) {
    std::optional<hive::Root> first;
    hive::ParseRegDocument(content,
                           [&](const hive::RegEdit& edit) -> std::optional<hive::ParseError> {
                               first = hive::RootFromName(edit.rootName);
                               return hive::ParseError{edit.line, {}};
                           });
    return first;
}

void ThrowIfUnreadable(const std::string& file, const ImportReading& reading) {
    if (reading.syntax)
        throw CommandError(file + " line " + std::to_string(reading.syntax->line) + ": " +
                           reading.syntax->reason + ". Nothing was imported.");
    if (reading.unknownRoot)
        throw CommandError(file + " line " + std::to_string(reading.unknownRoot->line) + ": " +
                           reading.unknownRoot->reason +
                           " is not HKEY_CURRENT_USER or HKEY_LOCAL_MACHINE" +
                           ". Nothing was imported.");
}

// Imports the edits of root within one locked change of its hive, reading the document in the
// same pass. Nothing is written when the reading finds a fault or when stopBefore names a root
// the document also holds.
LONG ImportInto(hive::Root root, const std::string& content, ImportReading& reading, bool& read,
                std::optional<hive::Root> stopBefore = std::nullopt) {
    read = false;
    return hive::ChangeHive(root, [&](hive::Key& hiveRoot, bool& changed) -> LONG {
        hive::EditApplier applier(hive::RootName(root), hiveRoot);
        reading = ReadImport(content, root, &applier);
        read = true;
        changed = applier.Changed();
        const bool stop = stopBefore && reading.Names(*stopBefore);
        return reading.Faulty() || stop ? static_cast<LONG>(ERROR_INVALID_PARAMETER)
                                        : ERROR_SUCCESS;
    });
}

} // namespace

// The current user's hive is imported before the machine's. A file is read once per hive it
// names, the first time together with the check of the whole file, and none of its edits are
// kept in a list: a file of any size and shape costs time in proportion to its length.
int Import(const Arguments& args, Streams& io) {
    Options options = ParseOptions(args, "");
    if (options.positional.size() != 1)
        throw UsageError("import takes exactly one .reg file");
    const std::string& file = options.positional.front();
    const std::string content = ReadWholeFile(file);
    auto rootError = [](hive::Root root) {
        return KeyName{root, {}, {}, std::string(hive::RootName(root))};
    };
    auto throwIfRefused = [&](const ImportReading& reading) {
        if (reading.refused)
            throw CommandError(file + " line " + std::to_string(reading.refused->line) + ": " +
                               reading.refused->reason + ".");
    };

    const std::optional<hive::Root> first = FirstRoot(content);
    std::vector<hive::Root> rest;
    if (first) {
        // A file that starts with the machine's keys and also holds the user's goes the long
        // way below, so that the user's hive still comes first.
        std::optional<hive::Root> stopBefore;
        if (*first == hive::Root::LocalMachine)
            stopBefore = hive::Root::CurrentUser;
        ImportReading reading;
        bool read = false;
        LONG rc = ImportInto(*first, content, reading, read, stopBefore);
        if (!read)
            reading = ReadImport(content, *first, nullptr);
        ThrowIfUnreadable(file, reading);
        throwIfRefused(reading);
        if (stopBefore && reading.Names(*stopBefore)) {
            rest = {hive::Root::CurrentUser, hive::Root::LocalMachine};
        } else {
            Check(rc, rootError(*first));
            if (*first == hive::Root::CurrentUser && reading.Names(hive::Root::LocalMachine))
                rest = {hive::Root::LocalMachine};
        }
    } else {
        // No edit, or a fault before the first: the check alone says which.
        ThrowIfUnreadable(file, ReadImport(content, hive::Root::CurrentUser, nullptr));
    }
    for (hive::Root root : rest) {
        ImportReading reading;
        bool read = false;
        LONG rc = ImportInto(root, content, reading, read);
        throwIfRefused(reading);
        Check(rc, rootError(root));
    }
    io.out << kDone << "\n";
    return 0;
}

int Export(const Arguments& args, Streams& io) {
    Options options = ParseOptions(args, "/y");
    if (options.positional.size() != 2)
        throw UsageError("export takes a key and a .reg file");
    KeyName name = ParseKey(options.positional[0]);
    const std::string& file = options.positional[1];
    std::shared_ptr<const hive::Key> hiveRoot;
    Check(hive::ReadHive(name.root, hiveRoot), name);
    const hive::Key* key = hiveRoot.get();
    std::string fullName(hive::RootName(name.root));
    for (const std::string& part : name.parts) {
        key = key->FindSubkey(part);
        if (!key)
            Check(ERROR_FILE_NOT_FOUND, name);
        fullName += "\\" + key->Name();
    }
    std::string text;
    if (name.parts.empty()) {
        text = hive::SerializeHive(*hiveRoot, fullName);
    } else {
        text = std::string(hive::kRegedit4Header) + "\r\n\r\n";
        hive::SerializeKey(*key, fullName, text);
    }
    struct stat info {};
    if (stat(file.c_str(), &info) == 0 && !options.force &&
        !Confirm(io, "File " + file + " already exists. Overwrite")) {
        io.out << "The operation was cancelled.\n";
        return 1;
    }
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out << text;
    out.close();
    if (!out)
        throw CommandError("Cannot write " + file + ".");
    io.out << kDone << "\n";
    return 0;
}

void PrintUsage(std::ostream& out) {
    out << "brisvane-reg: reads and changes the registry hives of Brisvane\n"
           "("
        << hive::HiveFolder()
        << ").\n\n"
           "  brisvane-reg query KEY [/v NAME | /ve]\n"
           "  brisvane-reg add KEY [/v NAME | /ve] [/t REG_SZ|REG_EXPAND_SZ|REG_DWORD] "
           "[/d DATA] [/f]\n"
           "  brisvane-reg delete KEY [/v NAME | /ve] [/f]\n"
           "  brisvane-reg import FILE.reg\n"
           "  brisvane-reg export KEY FILE.reg [/y]\n"
           "  brisvane-reg run-at-logon   (starts the programs of HKLM\\...\\Run)\n\n"
           "KEY is HKEY_CURRENT_USER\\..., HKCU\\..., HKEY_LOCAL_MACHINE\\... or HKLM\\....\n"
           "/ve names the key's default value; /f and /y answer yes to every question.\n";
}

int Run(const Arguments& args, Streams& io) {
    if (args.empty()) {
        io.err << "ERROR: Invalid syntax: no command given.\n";
        PrintUsage(io.err);
        return 1;
    }
    const std::string& command = args.front();
    if (command == "/?" || command == "-h" || command == "--help") {
        PrintUsage(io.out);
        return 0;
    }
    try {
        if (hive::NamesEqual(command, "query"))
            return Query(args, io);
        if (hive::NamesEqual(command, "add"))
            return Add(args, io);
        if (hive::NamesEqual(command, "delete"))
            return Delete(args, io);
        if (hive::NamesEqual(command, "import"))
            return Import(args, io);
        if (hive::NamesEqual(command, "export"))
            return Export(args, io);
        if (hive::NamesEqual(command, "run-at-logon"))
            return RunAtLogon(args, io);
        throw UsageError("unknown command '" + command + "'");
    } catch (const UsageError& error) {
        io.err << "ERROR: Invalid syntax: " << error.what() << ".\n"
               << "Type \"brisvane-reg /?\" for usage.\n";
    } catch (const CommandError& error) {
        io.err << "ERROR: " << error.what() << "\n";
    }
    return 1;
}

} // namespace regtool
