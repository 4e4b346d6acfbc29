// Lets tests make the writes of every file replaced whole (ReplaceWholeFile, the hive files)
// fail part-way (a full disk, say), which a real file system in a temporary folder won't do
// on request.
#pragma once

#include <sys/types.h>

namespace brisvane::platform::posix {

using WholeFileWriter = ssize_t (*)(int fd, const void* data, size_t size);

// Installs `writer` in place of write(2) for ReplaceFile (file_io.h); nullptr restores
// write(2). Returns the writer that was installed before.
WholeFileWriter SetWholeFileWriter(WholeFileWriter writer);

} // namespace brisvane::platform::posix
