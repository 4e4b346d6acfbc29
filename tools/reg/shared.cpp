#include "shared.h"

#include "platform/posix/hive_file.h"
#include "platform/posix/hive_key.h"
#include "platform/posix/reg_text.h"

#include <cctype>
#include <iostream>
#include <sstream>

namespace tools::reg {

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

namespace {

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

} // namespace

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

KeyName OnlyKey(const Options& options, const char* command) {
    if (options.positional.size() != 1)
        throw UsageError(std::string(command) + " takes exactly one key");
    return ParseKey(options.positional.front());
}

} // namespace tools::reg
