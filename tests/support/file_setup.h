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

// Makes `link` a symbolic link to the existing file or folder `target` (a full path), replacing
// a link already there, as a user or another program would: on Linux symlink(2); under Wine a
// Unix link made by a Unix program, which Wine shows to Windows programs as it shows a user's
// own; on Windows itself a symbolic link where the user may make one. False where none can be
// made; tests that need one skip.
bool MakeSymbolicLink(const std::string& target, const std::string& link);

// Moves the folder `path` aside to "<path>.aside" and puts a symbolic link to the folder `target`
// in its place, as a program can that ignores Windows' sharing rules (a Unix one, also under
// Wine): so also while this program holds the folder. False where that can't be done (on
// Windows itself).
bool SwapFolderForLink(const std::string& path, const std::string& target);

// Under Wine, removes the folder `path` with everything in it by a Unix program, which removes a
// link itself: a Windows program's delete of a Unix link deletes what it leads to, and
// std::filesystem's removal hangs on two links to one file. False elsewhere, where the caller
// removes it itself.
bool RemoveFolderAsUnix(const std::string& path);

// For its lifetime, swaps each folder that EnterSubfolder has checked and is about to enter
// for a link to the folder `target`, as SwapFolderForLink does. Only the Windows walk has such
// a moment to act in: elsewhere Installed() is false.
class SwapFolderBeforeEntering {
public:
    explicit SwapFolderBeforeEntering(const std::string& target);
    ~SwapFolderBeforeEntering();
    SwapFolderBeforeEntering(const SwapFolderBeforeEntering&) = delete;
    SwapFolderBeforeEntering& operator=(const SwapFolderBeforeEntering&) = delete;

    bool Installed() const { return m_installed; }

private:
    bool m_installed = false;
};

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
