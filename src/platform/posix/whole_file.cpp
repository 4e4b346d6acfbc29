// Whole-file reading and replacing by a Windows-style name (platform/whole_file.h), over the
// one read and the one atomic replace of file_io.h.
#include "platform/whole_file.h"

#include "platform/posix/file_io.h"
#include "platform/posix/path_lookup.h"

#include <cstdlib>
#include <sys/stat.h>

namespace brisvane::platform {

namespace {

// The file a name means; a symbolic link stands for the file it points at.
bool TargetOf(const std::string& name, std::string& path) {
    const posix::ResolvedPath resolved = posix::ResolvePath(name);
    if (resolved.lookup == posix::Lookup::FolderMissing)
        return false;
    path = resolved.path;
    struct stat st;
    if (resolved.lookup == posix::Lookup::Found && lstat(path.c_str(), &st) == 0 &&
        S_ISLNK(st.st_mode)) {
        char* real = realpath(path.c_str(), nullptr);
        if (!real)
            return false;
        path = real;
        std::free(real);
    }
    return true;
}

mode_t DefaultFileMode() {
    const mode_t mask = umask(0);
    umask(mask);
    return 0666 & ~mask;
}

} // namespace

bool ReadWholeFile(const std::string& name, std::string& content, FileIdentity* identity) {
    content.clear();
    const posix::ResolvedPath resolved = posix::ResolvePath(name);
    if (resolved.lookup != posix::Lookup::Found)
        return false;
    struct stat st;
    if (posix::ReadRegularFile(resolved.path, content, &st) != posix::FileRead::Read)
        return false;
    if (identity)
        *identity = {static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino)};
    return true;
}

ReplaceResult ReplaceWholeFile(const std::string& name, const std::string& content,
                               const FileIdentity* expected) {
    std::string path;
    if (!TargetOf(name, path))
        return ReplaceResult::CannotCreate;
    posix::ReplaceRules rules;
    rules.temporary = posix::TemporaryName::Unique;
    rules.newFileMode = DefaultFileMode();
    if (expected)
        rules.only = posix::ReplaceRules::FileId{static_cast<dev_t>(expected->volume),
                                                 static_cast<ino_t>(expected->index)};
    switch (posix::ReplaceFile(path, content, rules)) {
    case posix::ReplaceOutcome::Done:
        return ReplaceResult::Replaced;
    case posix::ReplaceOutcome::WriteFailed:
        return ReplaceResult::WriteFailed;
    case posix::ReplaceOutcome::CannotCreate:
        break;
    }
    return ReplaceResult::CannotCreate;
}

} // namespace brisvane::platform
