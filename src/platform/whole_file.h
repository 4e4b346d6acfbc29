// Whole-file text reading and replacing, for files the engine rewrites (PREFS.JS). The name is
// resolved as the file calls resolve it (relative to the current folder, case-insensitive on
// Linux).
#pragma once

#include <cstdint>
#include <string>

namespace brisvane::platform {

// Which file a read found, so that the replace that follows puts the new content in the place
// of that very file: not one put at its name since, nor one that a link put there leads to.
struct FileIdentity {
    std::uint64_t volume = 0;
    std::uint64_t index = 0;
};

enum class ReplaceResult {
    Replaced,
    CannotCreate, // read-only by its mode bits, folder not writable, temporary file refused
    WriteFailed,  // the new content could not be written whole; the old file is untouched
};

// Reads the whole file into `content`, and tells which file it was when asked; false when it
// cannot be opened or read.
bool ReadWholeFile(const std::string& name, std::string& content, FileIdentity* identity = nullptr);

// Writes `content` beside the file and puts it in the file's place in one step, keeping the
// old file's permissions. With `expected`, only the file a read found is replaced: when `name`
// no longer leads to it, nothing is written (CannotCreate). Whatever fails, the old file stays
// exactly as it was.
ReplaceResult ReplaceWholeFile(const std::string& name, const std::string& content,
                               const FileIdentity* expected = nullptr);

} // namespace brisvane::platform
