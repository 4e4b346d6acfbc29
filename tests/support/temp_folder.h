// Temporary folders for tests, and a private registry home so that every test works on hive
// files of its own.
#pragma once

#include <string>

namespace testing_support {

// A fresh folder under the system's temporary folder, removed with everything in it (read-only
// entries included) when the object goes.
class TempFolder {
public:
    explicit TempFolder(const std::string& prefix = "brisvane-test");
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::string& Path() const { return m_path; }
    // Path() joined with a relative name by "/".
    std::string operator/(const std::string& name) const;

private:
    std::string m_path;
};

// Points XDG_CONFIG_HOME at a temporary folder for the life of the object, so the registry
// hives live in <folder>/brisvane/. The previous value is restored afterwards, and the current
// folder too (the engine changes it).
class RegistrySandbox {
public:
    RegistrySandbox();
    ~RegistrySandbox();
    RegistrySandbox(const RegistrySandbox&) = delete;
    RegistrySandbox& operator=(const RegistrySandbox&) = delete;

    const std::string& ConfigHome() const { return m_home.Path(); }
    std::string HivePath(const std::string& rootName) const; // "HKEY_CURRENT_USER", ...

private:
    TempFolder m_home;
    std::string m_oldValue;
    bool m_hadValue = false;
    std::string m_oldCwd;
};

// Small file helpers for building fixtures.
void WriteFile(const std::string& path, const std::string& content);
std::string ReadFile(const std::string& path);
bool Exists(const std::string& path);
void MakeFolder(const std::string& path);

} // namespace testing_support
