// Reading one key of a large hive in two halves at once (hive_halves.h).
#include "platform/posix/hive_halves.h"

#include "platform/posix/file_io.h"
#include "platform/posix/reg_import.h"
#include "platform/posix/reg_text_parts.h"

#include <algorithm>
#include <atomic>
#include <exception>
#include <thread>

namespace brisvane::platform::hive {

namespace {

// Below this a second thread costs about what it saves.
constexpr std::uint64_t kWorthHalving = std::uint64_t{4} << 20;
// How far past the middle a place to cut is looked for.
constexpr std::size_t kLookAhead = 256 * 1024;

// Bytes [at, end) of fd, in turn.
ByteSource RangeOf(int fd, std::uint64_t at, std::uint64_t end, bool& failed) {
    return [fd, at, end, &failed](char* buffer, std::size_t size) mutable {
        const auto wanted = static_cast<std::size_t>(std::min<std::uint64_t>(size, end - at));
        const std::size_t got = posix::ReadSomeAt(fd, buffer, wanted, at, failed);
        at += got;
        return got;
    };
}

// The form an 8-bit text's first line names; nothing for the UTF-16 form or a first line that
// names neither, which reading in turn deals with.
std::optional<bool> EightBitForm(int fd, bool& failed) {
    std::string start(64 * 1024, '\0');
    start.resize(posix::ReadSomeAt(fd, start.data(), start.size(), 0, failed));
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

// What one half found, as reading in turn would have in the same lines.
struct HalfFaults {
    std::optional<ParseError> syntax;
    std::optional<ParseError> outside;
    std::optional<ParseError> refused;
    bool failed = false;
};

// The sink of a half: edits of the root pass to applier until the first of another root.
EditSink HalfSink(std::string_view rootName, OneKeyApplier& applier, HalfFaults& faults,
                  const std::atomic<bool>* stop) {
    return [rootName, &applier, &faults, stop](const RegEdit& edit) -> std::optional<ParseError> {
        if (stop && stop->load(std::memory_order_relaxed))
            return ParseError{edit.line, "no longer needed"};
        if (!faults.outside)
            faults.outside = OtherRootFault(edit, rootName);
        if (!faults.outside && !faults.refused)
            faults.refused = applier.ApplyToRoot(edit);
        return std::nullopt;
    };
}

ParseError Shifted(ParseError error, std::size_t lines) {
    error.line += static_cast<int>(lines);
    return error;
}

} // namespace

std::optional<std::size_t> CutPlace(std::string_view window) {
    // The text before the first line end may be the tail of a line: it is not looked at.
    std::size_t end = window.find('\n');
    while (end != std::string_view::npos) {
        const std::size_t next = window.find('\n', end + 1);
        if (next == std::string_view::npos || next + 1 >= window.size())
            break;
        const std::string_view before = TrimRight(window.substr(end + 1, next - end - 1));
        if (window[next + 1] == '[' && (before.empty() || before.back() != '\\'))
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
    std::string window(kLookAhead, '\0');
    window.resize(posix::ReadSomeAt(fd, window.data(), window.size(), size / 2, failed));
    const std::optional<std::size_t> place = CutPlace(window);
    if (failed)
        return HalvesRead{{}, true};
    if (!unicode || !place)
        return std::nullopt;
    const std::uint64_t cut = size / 2 + *place;

    std::vector<RegEdit> kept;
    HalfFaults second;
    std::atomic<bool> stop{false};
    std::exception_ptr thrown;
    {
        std::jthread reader([&] {
            try {
                OneKeyApplier keeper(path, onlyValue, kept);
                second.syntax = ParseRegPart(RangeOf(fd, cut, size, second.failed), *unicode,
                                             HalfSink(rootName, keeper, second, &stop));
            } catch (...) {
                thrown = std::current_exception();
            }
        });
        HalfFaults first;
        std::size_t firstLines = 0;
        first.syntax = ParseRegStream(RangeOf(fd, 0, cut, first.failed),
                                      HalfSink(rootName, applier, first, nullptr), &firstLines);
        // The second half's work no longer counts after a fault in the first.
        if (first.syntax || first.failed)
            stop = true;
        reader.join();
        if (thrown)
            std::rethrow_exception(thrown);
        if (first.failed || second.failed)
            return HalvesRead{{}, true};
        // Faults of the text before those of its keys, in the order of the lines.
        if (first.syntax)
            return HalvesRead{first.syntax};
        if (second.syntax)
            return HalvesRead{Shifted(*second.syntax, firstLines)};
        if (first.outside)
            return HalvesRead{first.outside};
        if (second.outside)
            return HalvesRead{Shifted(*second.outside, firstLines)};
        if (first.refused)
            return HalvesRead{first.refused};
        for (RegEdit& edit : kept) {
            edit.line += static_cast<int>(firstLines);
            if (std::optional<ParseError> refused = applier.ApplyToRoot(edit))
                return HalvesRead{refused};
        }
    }
    return HalvesRead{};
}

} // namespace brisvane::platform::hive
