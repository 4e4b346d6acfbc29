#include "platform/registry_files.h"

#include "platform/posix/hive_file.h"

#include <sys/stat.h>

namespace brisvane::platform {

namespace {

bool FileDeniesOwnerWrite(const std::string& path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0 && (info.st_mode & S_IWUSR) == 0;
}

} // namespace

std::vector<UnusableRegistryFile> UnusableRegistryFiles() {
    std::vector<UnusableRegistryFile> unusable;
    for (const hive::Root root : {hive::Root::CurrentUser, hive::Root::LocalMachine}) {
        const std::string name = std::string(hive::RootName(root)) + ".reg";
        const std::string folder = hive::HiveFolder();
        if (const auto damage = hive::HiveDamage(root)) {
            unusable.push_back({name, folder, UnusableRegistryFile::Problem::Damaged, *damage});
        } else if (const std::string problem = hive::HiveFileProblem(root); !problem.empty()) {
            unusable.push_back({name, folder, UnusableRegistryFile::Problem::Unreadable, problem});
        } else if (hive::HiveIsReadOnly(root)) {
            const auto problem = FileDeniesOwnerWrite(hive::HivePath(root))
                                     ? UnusableRegistryFile::Problem::ReadOnlyFile
                                     : UnusableRegistryFile::Problem::ReadOnlyFolder;
            unusable.push_back({name, folder, problem, ""});
        }
    }
    return unusable;
}

} // namespace brisvane::platform
