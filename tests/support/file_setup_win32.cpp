#include "platform/win32.h"
#include "support/file_setup.h"

#include <stdexcept>

namespace testing_support {

void SetDosAttributes(const std::string& path, std::uint32_t attributes) {
    const DWORD wanted =
        attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
    if (!SetFileAttributesA(path.c_str(), wanted ? wanted : FILE_ATTRIBUTE_NORMAL))
        throw std::runtime_error("cannot set the attributes of " + path + ", error " +
                                 std::to_string(GetLastError()));
}

OtherFileSystemFolder::OtherFileSystemFolder()
    : m_whyNone("a Windows test machine has no second volume that it can count on") {}
OtherFileSystemFolder::~OtherFileSystemFolder() = default;

FullDiskForWholeFiles::FullDiskForWholeFiles() = default;
FullDiskForWholeFiles::~FullDiskForWholeFiles() = default;

} // namespace testing_support
