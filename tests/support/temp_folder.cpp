#include "support/temp_folder.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <system_error>
#include <vector>

namespace fs = std::filesystem;

namespace testing_support {

TempFolder::TempFolder(const std::string& prefix) {
    std::string pattern = (fs::temp_directory_path() / (prefix + "-XXXXXX")).string();
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    if (!mkdtemp(buffer.data()))
        throw std::runtime_error("cannot make a temporary folder from " + pattern);
    m_path = buffer.data();
}

TempFolder::~TempFolder() {
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

std::string TempFolder::operator/(const std::string& name) const { return m_path + "/" + name; }

RegistrySandbox::RegistrySandbox() : m_home("brisvane-registry") {
    if (const char* old = std::getenv("XDG_CONFIG_HOME")) {
        m_hadValue = true;
        m_oldValue = old;
    }
    setenv("XDG_CONFIG_HOME", m_home.Path().c_str(), 1);
    std::error_code ignored;
    m_oldCwd = fs::current_path(ignored).string();
}

RegistrySandbox::~RegistrySandbox() {
    std::error_code ignored;
    if (!m_oldCwd.empty())
        fs::current_path(m_oldCwd, ignored);
    if (m_hadValue)
        setenv("XDG_CONFIG_HOME", m_oldValue.c_str(), 1);
    else
        unsetenv("XDG_CONFIG_HOME");
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

void MakeFolder(const std::string& path) { fs::create_directories(path); }

} // namespace testing_support
