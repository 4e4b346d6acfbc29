// Times the registry over its hive files as they grow: one write and one query in keys of many
// values, brisvane-reg listing large keys, imports of large .reg files of several shapes, how
// each grows when the hive doubles, and what the start-up reads and writes when the options
// are as stored. Every run works in a fresh XDG_CONFIG_HOME below --dir.
//
//   registry_bench [--dir DIR] [--reg PATH-TO-brisvane-reg] [--sizes 10,1000,100000]
//                  [--import-mb 50] [--reps 5] [--only write,tool,import,startup]
#include "child_run.h"
#include "platform/win32.h"
#include "registry_bench_common.h"
#include "registry_bench_startup.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <functional>
#include <numeric>
#include <random>
#include <sstream>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

using namespace bench;

struct Options {
    std::string dir = fs::temp_directory_path().string();
    std::string reg = BRISVANE_REG_PATH;
    std::vector<long> sizes = {10, 1000, 100000};
    long importMb = 50;
    int reps = 5;
    std::string only = "write,tool,import,startup";
    bool startupChild = false;
};

std::string ValueName(long i) {
    char name[32];
    std::snprintf(name, sizeof name, "Value%07ld", i);
    return name;
}

void AppendValueLine(std::string& text, const std::string& name, const std::string& data) {
    text += '"';
    text += name;
    text += "\"=\"";
    text += data;
    text += "\"\r\n";
}

// A hive holding one key Software\Bench\Big with `values` values and `subkeys` empty subkeys.
std::string HiveText(long values, long subkeys) {
    std::string text = "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\Bench\\Big]\r\n";
    for (long i = 0; i < values; ++i)
        AppendValueLine(text, ValueName(i), "data of value " + std::to_string(i));
    text += "\r\n";
    for (long i = 0; i < subkeys; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "Sub%07ld", i);
        text += std::string("[HKEY_CURRENT_USER\\Software\\Bench\\Big\\") + name + "]\r\n\r\n";
    }
    return text;
}

HKEY OpenBig() {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Bench\\Big", 0, KEY_ALL_ACCESS, &key) !=
        ERROR_SUCCESS)
        Fail("cannot open the benchmark key");
    return key;
}

LONG SetText(HKEY key, const std::string& name, const std::string& text) {
    return RegSetValueExA(key, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                          static_cast<DWORD>(text.size() + 1));
}

LONG QuerySize(HKEY key, const std::string& name) {
    DWORD size = 0;
    return RegQueryValueExA(key, name.c_str(), nullptr, nullptr, nullptr, &size);
}

// What putting a file of this size on the disk costs by itself: written, synced, renamed and
// its folder synced, as a hive write does. Subtracted from a write to show the rest.
double FlushCost(const std::string& folder, std::size_t bytes) {
    const std::string path = folder + "/flush.probe";
    const std::string content(bytes, 'x');
    std::vector<double> samples;
    for (int i = 0; i < 3; ++i) {
        const auto start = Clock::now();
        const int fd = open((path + ".tmp").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        if (fd < 0 || write(fd, content.data(), content.size()) < 0 || fsync(fd) != 0)
            Fail("cannot time a flush in " + folder);
        close(fd);
        rename((path + ".tmp").c_str(), path.c_str());
        const int dir = open(folder.c_str(), O_RDONLY | O_DIRECTORY);
        fsync(dir);
        close(dir);
        samples.push_back(Seconds(start));
    }
    unlink(path.c_str());
    return Median(samples);
}

struct WriteFigures {
    double firstQuery = 0;
    double query = 0;
    double write = 0;
    double flush = 0;
    double noop = 0;
    bool untouched = false;
    long peakKiB = 0;
};

void PrintWriteFigures(long values, const WriteFigures& figures) {
    std::printf("  %7ld values: first query %s, query %s, write %s (flush alone %s, rest %s), "
                "unchanged write %s %s%s\n",
                values, Ms(figures.firstQuery).c_str(), Ms(figures.query).c_str(),
                Ms(figures.write).c_str(), Ms(figures.flush).c_str(),
                Ms(std::max(0.0, figures.write - figures.flush)).c_str(), Ms(figures.noop).c_str(),
                figures.untouched ? "(file untouched)" : "(FILE REWRITTEN)",
                Peak(figures.peakKiB).c_str());
}

WriteFigures WriteAndQuery(const Options& options, long values) {
    Sandbox sandbox(options.dir);
    WriteText(sandbox.UserHive(), HiveText(values, 0));
    WriteFigures figures;
    HKEY key = OpenBig();
    const std::string middle = ValueName(values / 2);

    // The first read after another program changed the file pays for the parse.
    std::vector<double> firstQueries;
    const std::string text = HiveText(values, 0);
    for (int i = 0; i < options.reps; ++i) {
        WriteText(sandbox.UserHive(), text + "[HKEY_CURRENT_USER\\Software\\Bench\\Other" +
                                          std::to_string(i) + "]\r\n\r\n");
        const auto start = Clock::now();
        if (QuerySize(key, middle) != ERROR_SUCCESS)
            Fail("the middle value is missing");
        firstQueries.push_back(Seconds(start));
    }
    figures.firstQuery = Median(firstQueries);
    auto start = Clock::now();

    std::vector<double> writes;
    for (int i = 0; i < options.reps; ++i) {
        start = Clock::now();
        if (SetText(key, "Added" + std::to_string(i), "written by the benchmark") != ERROR_SUCCESS)
            Fail("a write failed");
        writes.push_back(Seconds(start));
    }
    figures.write = Median(writes);
    figures.flush = FlushCost(sandbox.Folder(), fs::file_size(sandbox.UserHive()));

    std::vector<double> queries;
    for (int i = 0; i < std::max(options.reps, 20); ++i) {
        start = Clock::now();
        QuerySize(key, ValueName((values * i) / 20));
        queries.push_back(Seconds(start));
    }
    figures.query = Median(queries);

    // The same bytes again must leave the file as it is.
    const FileState before = StateOf(sandbox.UserHive());
    start = Clock::now();
    SetText(key, middle, "data of value " + std::to_string(values / 2));
    figures.noop = Seconds(start);
    figures.untouched = StateOf(sandbox.UserHive()) == before;
    RegCloseKey(key);

    return figures;
}

// In a child of its own, so that its peak memory is its own.
WriteFigures TimeWriteAndQuery(const Options& options, long values) {
    WriteFigures figures;
    const ChildRun run = RunInChild(
        [&](void* result) { *static_cast<WriteFigures*>(result) = WriteAndQuery(options, values); },
        &figures, sizeof figures);
    if (!run.succeeded)
        Fail("the write and query figures failed");
    figures.peakKiB = run.peakKiB;
    return figures;
}

// Runs brisvane-reg with args, its output thrown away, or exits on failure.
ChildRun RunTool(const Options& options, const std::vector<std::string>& args) {
    const ChildRun run = RunCommand(options.reg, args);
    if (!run.succeeded)
        Fail("brisvane-reg " + args.front() + " failed");
    return run;
}

// The run of median wall time, with the highest peak of all.
ChildRun MedianRun(std::vector<ChildRun> runs) {
    std::sort(runs.begin(), runs.end(),
              [](const ChildRun& a, const ChildRun& b) { return a.wall < b.wall; });
    ChildRun median = runs[runs.size() / 2];
    for (const ChildRun& run : runs)
        median.peakKiB = std::max(median.peakKiB, run.peakKiB);
    return median;
}

std::string Timed(const ChildRun& run) {
    return Ms(run.wall) + Peak(run.peakKiB);
}

ChildRun TimeToolQuery(const Options& options, long values, long subkeys) {
    Sandbox sandbox(options.dir);
    WriteText(sandbox.UserHive(), HiveText(values, subkeys));
    std::vector<ChildRun> runs;
    for (int i = 0; i < 3; ++i)
        runs.push_back(RunTool(options, {"query", "HKCU\\Software\\Bench\\Big"}));
    return MedianRun(runs);
}

ChildRun TimeToolOneValue(const Options& options, long siblings) {
    Sandbox sandbox(options.dir);
    std::string text = "REGEDIT4\r\n\r\n";
    for (long i = 0; i < siblings; ++i)
        text += "[HKEY_CURRENT_USER\\Software\\Sibling" + std::to_string(i) + "]\r\n\"v\"=\"" +
                std::to_string(i) + "\"\r\n\r\n";
    WriteText(sandbox.UserHive(), text);
    return RunTool(options,
                   {"query", "HKCU\\Software\\Sibling" + std::to_string(siblings / 2), "/v", "v"});
}

// The .reg files to import: about `bytes` long, in one of three shapes.
enum class Shape { Siblings, ShuffledSiblings, Values };

const char* ShapeName(Shape shape) {
    switch (shape) {
    case Shape::Siblings:
        return "sibling keys, in order";
    case Shape::ShuffledSiblings:
        return "sibling keys, shuffled";
    case Shape::Values:
        return "values of one key";
    }
    return "";
}

std::string ImportText(Shape shape, std::size_t bytes) {
    std::string text = "Windows Registry Editor Version 5.00\r\n\r\n";
    text.reserve(bytes + 256);
    if (shape == Shape::Values) {
        text += "[HKEY_CURRENT_USER\\Software\\Bench\\Values]\r\n";
        for (long i = 0; text.size() < bytes; ++i)
            AppendValueLine(text, ValueName(i), "text of value number " + std::to_string(i));
        return text;
    }
    std::vector<long> order;
    // Each section is about 60 bytes.
    for (long i = 0; i < static_cast<long>(bytes / 60); ++i)
        order.push_back(i);
    if (shape == Shape::ShuffledSiblings)
        std::shuffle(order.begin(), order.end(), std::mt19937(7));
    char name[32];
    for (long i : order) {
        std::snprintf(name, sizeof name, "Key%08ld", i);
        text += std::string("[HKEY_CURRENT_USER\\Software\\Bench\\") + name + "]\r\n\"v\"=\"" +
                std::to_string(i) + "\"\r\n\r\n";
    }
    return text;
}

// A query of one key in the middle of the hive an import of this shape made: its one value,
// for the key of many values.
std::vector<std::string> OneKeyQuery(Shape shape, const std::string& text) {
    if (shape == Shape::Values) {
        const long values = static_cast<long>(std::count(text.begin(), text.end(), '\n')) - 3;
        return {"query", "HKCU\\Software\\Bench\\Values", "/v", ValueName(values / 2)};
    }
    const std::size_t middle = text.find("[HKEY_CURRENT_USER", text.size() / 2);
    const std::size_t end = text.find(']', middle);
    return {"query", text.substr(middle + 1, end - middle - 1)};
}

struct ImportFigures {
    ChildRun import;
    ChildRun query; // of one key in the hive made
    double fileBytes = 0;
};

ImportFigures TimeImport(const Options& options, Shape shape, std::size_t bytes, double* again) {
    Sandbox sandbox(options.dir);
    const std::string file = sandbox.Root() + "/import.reg";
    std::vector<std::string> query;
    {
        const std::string text = ImportText(shape, bytes);
        WriteText(file, text);
        query = OneKeyQuery(shape, text);
    }
    ImportFigures figures;
    figures.fileBytes = static_cast<double>(fs::file_size(file));
    figures.import = RunTool(options, {"import", file});
    // The query is timed on its own: not while the disk still takes the hive just written, and
    // as the middle of a few runs, each a process of its own.
    sync();
    std::vector<ChildRun> queries;
    for (int i = 0; i < 5; ++i)
        queries.push_back(RunTool(options, query));
    figures.query = MedianRun(queries);
    if (again) {
        const FileState before = StateOf(sandbox.UserHive());
        *again = RunTool(options, {"import", file}).wall;
        if (!(StateOf(sandbox.UserHive()) == before))
            std::printf("    (importing the same file again rewrote the hive)\n");
    }
    return figures;
}

void PrintToolFigures(const Options& options) {
    std::printf("\nbrisvane-reg query (median of 3 runs)\n");
    const ChildRun values = TimeToolQuery(options, 1000, 0);
    const ChildRun values2 = TimeToolQuery(options, 2000, 0);
    const ChildRun subkeys = TimeToolQuery(options, 0, 1000);
    const ChildRun subkeys2 = TimeToolQuery(options, 0, 2000);
    std::printf("  key of 1000 values %s, of 2000 %s (growth %.2f)\n", Timed(values).c_str(),
                Timed(values2).c_str(), values2.wall / values.wall);
    std::printf("  key of 1000 subkeys %s, of 2000 %s (growth %.2f)\n", Timed(subkeys).c_str(),
                Timed(subkeys2).c_str(), subkeys2.wall / subkeys.wall);
    std::printf("  one value in a hive of 20000 sibling keys %s\n",
                Timed(TimeToolOneValue(options, 20000)).c_str());
}

// The import's peak beside the size of the file imported.
std::string PeakPerFile(const ImportFigures& figures) {
    char text[96];
    std::snprintf(text, sizeof text, " (peak %.1f MiB, %.2f x the file)",
                  static_cast<double>(figures.import.peakKiB) / 1024,
                  static_cast<double>(figures.import.peakKiB) * 1024 / figures.fileBytes);
    return text;
}

void PrintImportFigures(const Options& options) {
    const std::size_t bytes = static_cast<std::size_t>(options.importMb) << 20;
    // The full and the half size take turns, so that a slow spell of a shared machine falls on
    // both; the growth from one to the other is a ratio of two medians, each of five rounds.
    constexpr int kImportRounds = 5;
    std::printf("\nbrisvane-reg import of a %ld MB file into an empty hive (median of %d), and a "
                "query of one key of the hive it made\n",
                options.importMb, kImportRounds);
    const auto median = [](const std::vector<ImportFigures>& runs, bool cpu) {
        std::vector<double> times;
        for (const ImportFigures& run : runs)
            times.push_back(cpu ? run.import.cpu : run.import.wall);
        return Median(times);
    };
    for (Shape shape : {Shape::Siblings, Shape::ShuffledSiblings, Shape::Values}) {
        double again = 0;
        std::vector<ImportFigures> full, half;
        for (int round = 0; round < kImportRounds; ++round) {
            full.push_back(TimeImport(options, shape, bytes, round == 0 ? &again : nullptr));
            half.push_back(TimeImport(options, shape, bytes / 2, nullptr));
        }
        const auto peakOf = [](const std::vector<ImportFigures>& runs) {
            return *std::max_element(runs.begin(), runs.end(), [](const auto& a, const auto& b) {
                return a.import.peakKiB < b.import.peakKiB;
            });
        };
        std::printf("  %-24s %7.3f s, CPU %.3f s%s; half the size %.3f s, CPU %.3f s%s; growth "
                    "%.2f, CPU %.2f; the same file again %.3f s\n",
                    ShapeName(shape), median(full, false), median(full, true),
                    PeakPerFile(peakOf(full)).c_str(), median(half, false), median(half, true),
                    PeakPerFile(peakOf(half)).c_str(), median(full, false) / median(half, false),
                    median(full, true) / median(half, true), again);
        std::printf("    one-key query of that hive (median of 5 after each import)");
        for (const ImportFigures& run : full)
            std::printf(" %s", Ms(run.query.wall).c_str());
        std::vector<ChildRun> queries;
        for (const ImportFigures& run : full)
            queries.push_back(run.query);
        const ChildRun query = MedianRun(queries);
        std::printf("; middle %s, CPU %.3f s\n", Timed(query).c_str(), query.cpu);
    }
}

Options ParseArguments(int argc, char** argv) {
    Options options;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        auto next = [&]() -> std::string {
            if (i + 1 >= argc)
                Fail(arg + " needs a value");
            return argv[++i];
        };
        if (arg == "--dir") {
            options.dir = next();
        } else if (arg == "--reg") {
            options.reg = next();
        } else if (arg == "--sizes") {
            options.sizes.clear();
            std::stringstream list(next());
            std::string size;
            while (std::getline(list, size, ','))
                options.sizes.push_back(std::stol(size));
        } else if (arg == "--import-mb") {
            options.importMb = std::stol(next());
        } else if (arg == "--reps") {
            options.reps = std::stoi(next());
        } else if (arg == "--only") {
            options.only = next();
        } else if (arg == "--startup-child") {
            options.startupChild = true;
        } else {
            Fail("unknown argument " + arg);
        }
    }
    return options;
}

bool Wanted(const Options& options, const char* part) {
    return options.only.find(part) != std::string::npos;
}

} // namespace

int main(int argc, char** argv) {
    // Each figure shows as soon as it is known, also when the output goes to a file.
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    const Options options = ParseArguments(argc, argv);
    if (options.startupChild) {
        StartUpSequence();
        return 0;
    }
    std::printf("registry benchmark in %s, brisvane-reg %s\n", options.dir.c_str(),
                options.reg.c_str());

    if (Wanted(options, "write")) {
        std::printf("\nOne write and one query in a key of N values (median of %d)\n",
                    options.reps);
        for (long size : options.sizes)
            PrintWriteFigures(size, TimeWriteAndQuery(options, size));
        // The half and the full size take turns, so that a slow spell of a shared machine falls
        // on both; each figure is the median over the rounds.
        constexpr int kGrowthRounds = 5;
        const long largest = *std::max_element(options.sizes.begin(), options.sizes.end());
        std::vector<double> write[2], rest[2], firstQuery[2];
        for (int round = 0; round < kGrowthRounds; ++round) {
            for (int turn = 0; turn < 2; ++turn) {
                const int which = (round + turn) % 2;
                const WriteFigures figures =
                    TimeWriteAndQuery(options, which ? largest : largest / 2);
                write[which].push_back(figures.write);
                rest[which].push_back(std::max(1e-9, figures.write - figures.flush));
                firstQuery[which].push_back(figures.firstQuery);
            }
        }
        const auto growth = [](const std::vector<double>(&of)[2]) {
            return Median(of[1]) / Median(of[0]);
        };
        std::printf("  %ld values: write %s, write less flush %s, first query %s (medians of %d "
                    "rounds)\n",
                    largest, Ms(Median(write[1])).c_str(), Ms(Median(rest[1])).c_str(),
                    Ms(Median(firstQuery[1])).c_str(), kGrowthRounds);
        std::printf("  growth from %ld to %ld values: write %.2f, write less flush %.2f, "
                    "first query %.2f\n",
                    largest / 2, largest, growth(write), growth(rest), growth(firstQuery));
    }

    if (Wanted(options, "tool"))
        PrintToolFigures(options);
    if (Wanted(options, "import"))
        PrintImportFigures(options);
    if (Wanted(options, "startup")) {
        std::printf("\nStart-up with every option ticked and stored\n");
        StartUpFigures(options.dir, argv[0]);
    }
    return 0;
}
