// Files set up the way a user or another program leaves them, without the file calls under
// test: on Linux through mode bits and extended attributes, on Windows through the system's own
// calls. Also what only one system can set up; tests that need it skip on the other.
#pragma once

#include <cstdint>
#include <string>

namespace testing_support {

// Gives the file or folder at `path` exactly the read-only (0x01), hidden (0x02) and system
// (0x04) bits of `attributes`, as FILE_ATTRIBUTE_* bits. On Linux read-only is the missing
// write bits (files only), hidden and system the "user.DOSATTRIB" extended attribute.
void SetDosAttributes(const std::string& path, std::uint32_t attributes);

// A fresh folder on a different file system from the temporary folder (Linux: under
// /dev/shm), so that a rename into it fails; removed with its contents. Path() is empty where
// there is none: always on Windows, which has no second volume it can count on, and on a
// Linux machine whose /dev/shm is missing, not writable or no file system of its own; then
// WhyNone() says which, for the test to skip with.
class OtherFileSystemFolder {
public:
    OtherFileSystemFolder();
    ~OtherFileSystemFolder();
    OtherFileSystemFolder(const OtherFileSystemFolder&) = delete;
    OtherFileSystemFolder& operator=(const OtherFileSystemFolder&) = delete;

    const std::string& Path() const { return m_path; }
    const std::string& WhyNone() const { return m_whyNone; }

private:
    std::string m_path;
    std::string m_whyNone;
};

// For its lifetime, makes every whole-file replacement write a few bytes and then fail as on
// a full disk. Only our Linux layer can be made to do that: on Windows Installed() is false.
class FullDiskForWholeFiles {
public:
    FullDiskForWholeFiles();
    ~FullDiskForWholeFiles();
    FullDiskForWholeFiles(const FullDiskForWholeFiles&) = delete;
    FullDiskForWholeFiles& operator=(const FullDiskForWholeFiles&) = delete;

    bool Installed() const { return m_installed; }

private:
    bool m_installed = false;
};

} // namespace testing_support
