// Reading one key of a large hive in two halves at once (hive_halves.h).
#include "platform/posix/hive_halves.h"

#include "platform/posix/file_io.h"
#include "platform/posix/reg_import.h"
#include "platform/posix/reg_text_parts.h"

#include <algorithm>
#include <atomic>
#include <exception>
#include <future>
#include <string.h>
#include <system_error>
#include <thread>

namespace brisvane::platform::hive {

namespace {

// Below this a second thread costs about what it saves.
constexpr std::uint64_t kWorthHalving = std::uint64_t{4} << 20;
// How far past the middle a place to cut is looked for, and the size of the reads that look
// back from it for its key section.
constexpr std::size_t kWindow = 256 * 1024;
// How far before a '[' its line and the line before are looked at.
constexpr std::size_t kLookBehind = 4096;

// Bytes [at, end) of fd, in turn.
ByteSource RangeOf(int fd, std::uint64_t at, std::uint64_t end, bool& failed) {
    return [fd, at, end, &failed](char* buffer, std::size_t size) mutable {
        const auto wanted = static_cast<std::size_t>(std::min<std::uint64_t>(size, end - at));
        const std::size_t got = posix::ReadSomeAt(fd, buffer, wanted, at, failed);
        at += got;
        return got;
    };
}

std::string ReadAt(int fd, std::uint64_t at, std::size_t size, bool& failed) {
    std::string bytes(size, '\0');
    bytes.resize(posix::ReadSomeAt(fd, bytes.data(), bytes.size(), at, failed));
    return bytes;
}

// The form an 8-bit text's first line names; nothing for the UTF-16 form or a first line that
// names neither, which reading in turn deals with.
std::optional<bool> EightBitForm(int fd, bool& failed) {
    const std::string start = ReadAt(fd, 0, 64 * 1024, failed);
    std::string_view text = start;
    if (text.starts_with("\xFF\xFE"))
        return std::nullopt;
    if (text.starts_with("\xEF\xBB\xBF"))
        text.remove_prefix(3);
    const std::size_t end = text.find('\n');
    if (end == std::string_view::npos)
        return std::nullopt;
    return HeaderForm(text.substr(0, end));
}

// The line from `at` to its end, which lies before `end`.
std::string LineFrom(int fd, std::uint64_t at, std::uint64_t end, bool& failed) {
    std::string line;
    while (at < end && !failed) {
        const auto size = static_cast<std::size_t>(std::min<std::uint64_t>(end - at, kLookBehind));
        const std::string piece = ReadAt(fd, at, size, failed);
        const std::size_t stop = piece.find('\n');
        line.append(piece, 0, stop);
        if (stop != std::string::npos || piece.empty())
            break;
        at += piece.size();
    }
    return line;
}

// The key section line that the lines from `at` on belong to: the last line before it that
// starts a section. Nothing when there is none, or when one cannot be told for certain.
std::optional<std::string> SectionLineBefore(int fd, std::uint64_t at, bool& failed) {
    for (std::uint64_t end = at; end > 0 && !failed;) {
        const std::uint64_t start = end - std::min<std::uint64_t>(end, kWindow);
        // Each read takes the bytes just before it too, for the line a '[' near its start is on.
        const std::size_t behind =
            static_cast<std::size_t>(std::min<std::uint64_t>(start, kLookBehind));
        const std::string chunk =
            ReadAt(fd, start - behind, static_cast<std::size_t>(end - start) + behind, failed);
        std::size_t upto = chunk.size();
        while (upto > behind) {
            const void* hit = ::memrchr(chunk.data() + behind, '[', upto - behind);
            if (!hit)
                break;
            upto = static_cast<std::size_t>(static_cast<const char*>(hit) - chunk.data());
            const std::size_t looked = std::min(upto, kLookBehind);
            const std::optional<bool> starts =
                StartsSectionLine(std::string_view(chunk).substr(upto - looked, looked),
                                  start - behind + upto == looked);
            if (!starts || failed)
                return std::nullopt;
            if (*starts)
                return LineFrom(fd, start - behind + upto, at, failed);
        }
        end = start;
    }
    return std::nullopt;
}

// What one half found, as reading in turn would have in the same lines.
struct HalfFaults {
    std::optional<ParseError> syntax;
    EditFaults edits;
    bool failed = false;
};

// The sink of a half: edits of the root pass to applier until the first of another root.
EditSink HalfSink(std::string_view rootName, OneKeyApplier& applier, HalfFaults& faults,
                  const std::atomic<bool>* stop) {
    return [rootName, &applier, &faults, stop](const RegEdit& edit) -> std::optional<ParseError> {
        if (stop && stop->load(std::memory_order_relaxed))
            return ParseError{edit.line, "no longer needed"};
        faults.edits.Take(edit, rootName, applier);
        return std::nullopt;
    };
}

ParseError Shifted(ParseError error, std::size_t lines) {
    error.line += static_cast<int>(lines);
    return error;
}

// The fault reading the whole text in turn names first: faults of the text before those of its
// keys, each in the order of the lines; then the second half's edits for the key, applied.
std::optional<ParseError> FirstFault(const HalfFaults& first, const HalfFaults& second,
                                     std::size_t firstLines, std::vector<RegEdit>& kept,
                                     OneKeyApplier& applier) {
    if (first.syntax)
        return first.syntax;
    if (second.syntax)
        return Shifted(*second.syntax, firstLines);
    if (first.edits.outside)
        return first.edits.outside;
    if (second.edits.outside)
        return Shifted(*second.edits.outside, firstLines);
    if (first.edits.refused)
        return first.edits.refused;
    for (RegEdit& edit : kept) {
        edit.line += static_cast<int>(firstLines);
        if (std::optional<ParseError> refused = applier.ApplyToRoot(edit))
            return refused;
    }
    return std::nullopt;
}

} // namespace

std::optional<bool> StartsSectionLine(std::string_view before, bool wholeFileBefore) {
    std::string_view text = before;
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t'))
        text.remove_suffix(1);
    if (text.empty())
        return wholeFileBefore ? std::optional<bool>(false) : std::nullopt;
    if (text.back() != '\n')
        return false;
    text = TrimRight(text.substr(0, text.size() - 1));
    if (text.empty())
        return wholeFileBefore ? std::optional<bool>(true) : std::nullopt;
    // A line end here: the line before is blank, which goes on to nothing.
    return text.back() != '\\';
}

std::optional<std::size_t> CutPlace(std::string_view window) {
    // The text before the first line end may be the tail of a line: it is not looked at.
    std::size_t end = window.find('\n');
    while (end != std::string_view::npos) {
        const std::size_t next = window.find('\n', end + 1);
        if (next == std::string_view::npos || next + 1 >= window.size())
            break;
        const std::string_view before = TrimRight(window.substr(end + 1, next - end - 1));
        if (before.empty() || before.back() != '\\')
            return next + 1;
        end = next;
    }
    return std::nullopt;
}

std::optional<HalvesRead> ReadKeyInHalves(int fd, std::uint64_t size, std::string_view rootName,
                                          const std::vector<std::string>& path,
                                          const std::optional<std::string>& onlyValue,
                                          OneKeyApplier& applier) {
    if (size < kWorthHalving)
        return std::nullopt;
    bool failed = false;
    const std::optional<bool> unicode = EightBitForm(fd, failed);
    const std::optional<std::size_t> place = CutPlace(ReadAt(fd, size / 2, kWindow, failed));
    if (failed)
        return HalvesRead{{}, true};
    if (!unicode || !place)
        return std::nullopt;
    const std::uint64_t cut = size / 2 + *place;

    std::vector<RegEdit> kept;
    HalfFaults first;
    HalfFaults second;
    std::size_t firstLines = 0;
    std::atomic<bool> stop{false};
    std::promise<bool> taking;
    std::future<bool> taken = taking.get_future();
    std::exception_ptr thrown;
    // The second half needs the key section its first lines belong to; when it cannot be found
    // for certain, the first half's reader goes on to the end instead.
    const auto readSecondHalf = [&] {
        bool told = false;
        try {
            const std::optional<std::string> section = SectionLineBefore(fd, cut, second.failed);
            taking.set_value(section.has_value());
            told = true;
            if (!section)
                return;
            OneKeyApplier keeper(path, onlyValue, kept);
            const SectionValuesWanted wanted = [&keeper] { return keeper.SectionValuesWanted(); };
            second.syntax = ParseRegPart(RangeOf(fd, cut, size, second.failed), *unicode, *section,
                                         HalfSink(rootName, keeper, second, &stop), &wanted);
        } catch (...) {
            thrown = std::current_exception();
            if (!told)
                taking.set_value(false);
        }
    };
    std::optional<std::jthread> reader;
    try {
        reader.emplace(readSecondHalf);
    } catch (const std::system_error&) {
        // No thread to be had: the hive is read in turn.
        return std::nullopt;
    }
    {
        std::uint64_t firstEnd = cut;
        bool asked = false;
        const ByteSource firstHalf = [&, at = std::uint64_t{0}](char* buffer,
                                                                std::size_t wanted) mutable {
            if (at == cut && !asked) {
                asked = true;
                if (!taken.get())
                    firstEnd = size;
            }
            const auto most =
                static_cast<std::size_t>(std::min<std::uint64_t>(wanted, firstEnd - at));
            const std::size_t got = posix::ReadSomeAt(fd, buffer, most, at, first.failed);
            at += got;
            return got;
        };
        const SectionValuesWanted wanted = [&applier] { return applier.SectionValuesWanted(); };
        first.syntax = ParseRegStream(firstHalf, HalfSink(rootName, applier, first, nullptr),
                                      &firstLines, &wanted);
        // The second half's work no longer counts after a fault in the first.
        if (first.syntax || first.failed)
            stop = true;
        reader.reset();
    }
    if (thrown)
        std::rethrow_exception(thrown);
    if (first.failed || second.failed)
        return HalvesRead{{}, true};
    return HalvesRead{FirstFault(first, second, firstLines, kept, applier)};
}

} // namespace brisvane::platform::hive
