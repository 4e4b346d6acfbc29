#include "app/registry_notice.h"

#include "platform/registry_files.h"
#include "ui/message_box.h"

#include <string>

namespace {

using brisvane::platform::UnusableRegistryFile;

std::string Describe(const UnusableRegistryFile& file) {
    const std::string named = "The registry file " + file.name + " in " + file.folder;
    switch (file.problem) {
    case UnusableRegistryFile::Problem::Damaged:
        return named + " is damaged at " + file.detail +
               ". Brisvane has left it as it is, and the settings kept in it can be neither "
               "read nor changed. Fix that line in a text editor, or remove the file to start "
               "afresh.";
    case UnusableRegistryFile::Problem::Unreadable:
        return named + " " + file.detail +
               ". Brisvane has left it as it is, and the settings kept in it can be neither "
               "read nor changed. Put a regular file there, or remove it to start afresh.";
    case UnusableRegistryFile::Problem::ReadOnlyFile:
        return named +
               " is read-only. Brisvane has left it as it is: the settings kept in it are read, "
               "but no change can be stored. Allow its owner to write it (chmod u+w) to store "
               "settings again.";
    case UnusableRegistryFile::Problem::ReadOnlyFolder:
        return named +
               " cannot be written, because that folder is read-only. Brisvane has left it as "
               "it is: the settings kept in it are read, but no change can be stored. Allow "
               "the folder's owner to write it (chmod u+w) to store settings again.";
    }
    return named + ".";
}

} // namespace

void ReportUnusableRegistryFiles() {
    std::string text;
    for (const UnusableRegistryFile& file : brisvane::platform::UnusableRegistryFiles())
        text += (text.empty() ? "" : "\n\n") + Describe(file);
    if (!text.empty())
        MessageBoxA(nullptr, text.c_str(), "Brisvane", MB_OK | MB_ICONERROR);
}
