#include "cleaner/prefs_filter.h"

#include "cleaner/file_errors.h"
#include "platform/whole_file.h"

#include <string_view>

namespace {

constexpr const char* kPrefsFile = "PREFS.JS";

bool IsAddressLine(std::string_view line) {
    return line.find("url") != std::string_view::npos;
}

} // namespace

std::string FilterUrlLines(const std::string& text) {
    std::string result;
    result.reserve(text.size() + text.size() / 16);
    const std::string_view all(text);
    std::size_t start = 0;
    while (start < all.size()) {
        std::size_t end = all.find_first_of("\r\n", start);
        if (end == std::string_view::npos)
            end = all.size();
        const std::string_view line = all.substr(start, end - start);
        if (!IsAddressLine(line)) {
            result.append(line);
            result.append("\r\n");
        }
        start = end;
        if (start < all.size() && all[start] == '\r')
            ++start;
        if (start < all.size() && all[start] == '\n')
            ++start;
    }
    return result;
}

void FilterPrefs() {
    std::string content;
    brisvane::platform::FileIdentity read;
    if (!brisvane::platform::ReadWholeFile(kPrefsFile, content, &read))
        throw EFOpenError(std::string("Cannot open file ") + kPrefsFile);
    // Only the file just read is replaced: a link put at its name since is never followed.
    if (brisvane::platform::ReplaceWholeFile(kPrefsFile, FilterUrlLines(content), &read) !=
        brisvane::platform::ReplaceResult::Replaced)
        throw EFCreateError(std::string("Cannot create file ") + kPrefsFile);
}
