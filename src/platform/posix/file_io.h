// Reading a whole file, and the one atomic replace of a file that every writer of ours uses:
// a fresh temporary file beside it, written whole, flushed, renamed over it, folder flushed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <ctime>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <sys/stat.h>
#include <sys/types.h>

namespace brisvane::platform::posix {

// Closes a descriptor however the call that opened it ends.
class Descriptor {
public:
    explicit Descriptor(int fd = -1) : m_fd(fd) {}
    ~Descriptor();
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int Get() const { return m_fd; }
    // Closes the one held and holds fd.
    void Reset(int fd);

private:
    int m_fd;
};

// Reads fd to its end, however the reads come, or until content holds more than limit bytes;
// false on a read error.
bool ReadAll(int fd, std::string& content, std::size_t limit = SIZE_MAX);
// Writes all of data, however the writes come, through the test seam of whole_file_seam.h;
// false when a write fails.
bool WriteAll(int fd, std::string_view data);

enum class FileRead { Read, Missing, NotRegular, TooLarge, Failed };

// Reads the regular file at path. Anything else (a named pipe, a device, a folder) is never
// read, and the open never waits: a named pipe would hold the program for ever. A file over
// maxSize bytes is refused unread, or as soon as it turns out larger while read. info, when
// given, tells what was read, or for NotRegular what lies there. content is empty unless Read.
// After Failed, errno tells why.
FileRead ReadRegularFile(const std::string& path, std::string& content, struct stat* info = nullptr,
                         std::size_t maxSize = SIZE_MAX);

// Opens the regular file at path for reading in parts, with the same rules as ReadRegularFile;
// file holds it when Read.
FileRead OpenRegularFile(const std::string& path, Descriptor& file, struct stat* info = nullptr);

// Reads up to size bytes, however the reads come; 0 at the end and on a read error, which
// failed then tells.
std::size_t ReadSome(int fd, char* buffer, std::size_t size, bool& failed);
// The same from offset on, leaving the file's position as it is: for reading parts of one
// file at once.
std::size_t ReadSomeAt(int fd, char* buffer, std::size_t size, std::uint64_t offset, bool& failed);

// Reads whatever path names to its end, a named pipe or /dev/stdin included: for a command
// that is handed a file to read. false when it cannot be opened or read.
bool ReadFileOrPipe(const std::string& path, std::string& content);

enum class TemporaryName {
    Unique, // a fresh random name, for writers that nothing keeps apart
    Fixed,  // "<name>.tmp", whatever lies there removed first, for writers that hold a lock:
            // a crash leaves at most one behind, and the next write clears it
};

struct ReplaceRules {
    TemporaryName temporary = TemporaryName::Unique;
    mode_t newFileMode = 0600; // for a file not there yet; an existing one keeps its mode
    struct FileId {
        dev_t device = 0;
        ino_t inode = 0;
    };
    // When given, only this very file is replaced: when something else lies at the name (a
    // file put there since, a link), or nothing does, nothing is written.
    std::optional<FileId> only;
};

enum class ReplaceOutcome {
    Done,
    CannotCreate, // read-only by its mode bits, folder not writable, not a regular file, not
                  // the file expected, temporary file refused, rename refused
    WriteFailed,  // the new content could not be written whole; the old file is untouched
};

// What a replace left in place.
struct ReplacedFile {
    struct stat status {}; // the new file's, once in place (the rename moves its change time)
    timespec before{};     // a time before it took the old one's place
};

// Puts content in the place of the file at path in one step: made fresh beside it relative to
// the folder held open (never through a link), written whole, given the old file's mode and
// stored DOS attributes, flushed, renamed over it, and the folder flushed so that the rename
// lasts. path is the file itself: a link at its last part is never followed (the caller
// resolves the name as it means it). Whatever fails, the old file stays exactly as it was.
ReplaceOutcome ReplaceFile(const std::string& path, std::string_view content,
                           const ReplaceRules& rules, ReplacedFile* replaced = nullptr);
// Writes the new content to fd as it is made (WriteAll); false when that failed.
using ContentWriter = std::function<bool(int fd)>;
// The same, the content written by write: a large file needs not be held whole first.
ReplaceOutcome ReplaceFile(const std::string& path, const ContentWriter& write,
                           const ReplaceRules& rules, ReplacedFile* replaced = nullptr);

} // namespace brisvane::platform::posix
