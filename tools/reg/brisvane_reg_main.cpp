// brisvane-reg: reads and changes the registry hives of Brisvane, in the manner of Windows "reg".
// Picks the command by its first word; each command lives in a file of its own.
#include "platform/posix/hive_file.h"
#include "shared.h"

#include <iostream>

namespace tools::reg {

namespace {

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
           "  brisvane-reg run-at-logon   (starts the programs of HKLM\\...\\Run, then "
           "HKCU\\...\\Run)\n"
           "  brisvane-reg wine-prefixes  (the Wine prefixes found and their browser folders)\n"
           "  brisvane-reg wine-import PREFIX   (stores that prefix's folders as Brisvane's "
           "paths)\n\n"
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
        if (hive::NamesEqual(command, "wine-prefixes"))
            return WinePrefixes(args, io);
        if (hive::NamesEqual(command, "wine-import"))
            return WineImport(args, io);
        throw UsageError("unknown command '" + command + "'");
    } catch (const UsageError& error) {
        io.err << "ERROR: Invalid syntax: " << error.what() << ".\n"
               << "Type \"brisvane-reg /?\" for usage.\n";
    } catch (const CommandError& error) {
        io.err << "ERROR: " << error.what() << "\n";
    }
    return 1;
}

} // namespace

} // namespace tools::reg

int main(int argc, char** argv) {
    tools::reg::Arguments args(argv + 1, argv + argc);
    tools::reg::Streams io{std::cin, std::cout, std::cerr};
    return tools::reg::Run(args, io);
}
