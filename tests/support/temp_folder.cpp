#include "support/temp_folder.h"

#include "support/environment.h"
#include "support/file_setup.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>
#include <system_error>

namespace fs = std::filesystem;

namespace testing_support {

TempFolder::TempFolder(const std::string& prefix) {
    // A random name that create_directory refuses when taken, so that parallel tests never
    // share a folder (mkdtemp does the same but is not on every system).
    std::random_device seed;
    std::mt19937_64 random(seed());
    const fs::path base = fs::temp_directory_path();
    for (int attempt = 0; attempt < 100; ++attempt) {
        char suffix[17];
        std::snprintf(suffix, sizeof suffix, "%016llx", static_cast<unsigned long long>(random()));
        const fs::path candidate = base / (prefix + "-" + suffix);
        std::error_code error;
        if (fs::create_directory(candidate, error)) {
            m_path = candidate.string();
            return;
        }
    }
    throw std::runtime_error("cannot make a temporary folder in " + base.string());
}

TempFolder::~TempFolder() {
    if (RemoveFolderAsUnix(m_path))
        return;
    std::error_code ignored;
    // Give back the owner's write bit everywhere, so that tests of read-only entries clean up
    // also when not run as root.
    for (auto it = fs::recursive_directory_iterator(m_path, ignored);
         it != fs::recursive_directory_iterator(); it.increment(ignored)) {
        if (!it->is_symlink(ignored))
            fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ignored);
    }
    fs::permissions(m_path, fs::perms::owner_all, fs::perm_options::add, ignored);
    fs::remove_all(m_path, ignored);
}

std::string TempFolder::operator/(const std::string& name) const {
    return m_path + "/" + name;
}

RegistrySandbox::RegistrySandbox() : m_home("brisvane-registry") {
    m_hadValue = PointConfigHome(m_home.Path(), m_oldValue);
    std::error_code ignored;
    m_oldCwd = fs::current_path(ignored).string();
}

RegistrySandbox::~RegistrySandbox() {
    std::error_code ignored;
    if (!m_oldCwd.empty())
        fs::current_path(m_oldCwd, ignored);
    RestoreConfigHome(m_hadValue, m_oldValue);
}

std::string RegistrySandbox::HivePath(const std::string& rootName) const {
    return m_home.Path() + "/brisvane/" + rootName + ".reg";
}

void WriteFile(const std::string& path, const std::string& content) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (!out)
        throw std::runtime_error("cannot write " + path);
    out << content;
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw std::runtime_error("cannot read " + path);
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

bool Exists(const std::string& path) {
    std::error_code ignored;
    return fs::exists(fs::symlink_status(path, ignored));
}

void MakeFolder(const std::string& path) {
    fs::create_directories(path);
}

} // namespace testing_support
