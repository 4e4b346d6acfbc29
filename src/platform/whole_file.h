// Whole-file text reading and replacing, for files the engine rewrites (PREFS.JS). The name is
// resolved as the file calls resolve it (relative to the current folder, case-insensitive on
// Linux).
#pragma once

#include <string>

namespace brisvane::platform {

enum class ReplaceResult {
    Replaced,
    CannotCreate,   // read-only by its mode bits, folder not writable, temporary file refused
    WriteFailed,    // the new content could not be written whole; the old file is untouched
};

// Reads the whole file into `content`; false when it cannot be opened or read.
bool ReadWholeFile(const std::string& name, std::string& content);

// Writes `content` beside the file and puts it in the file's place in one step, keeping the
// old file's permissions. Whatever fails, the old file stays exactly as it was.
ReplaceResult ReplaceWholeFile(const std::string& name, const std::string& content);

} // namespace brisvane::platform
