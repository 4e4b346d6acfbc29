// The environment settings that tests point elsewhere. Their names differ by system, so each
// system has its own implementation of these few functions.
#pragma once

#include <optional>
#include <string>

namespace testing_support {

// Whether the tests run on Windows (or under Wine), for the few cases that only one system
// can set up; those skip on the other and say why.
bool OnWindows();

// Points the registry at `folder`; returns whether there was a previous setting, in `oldValue`.
// On Linux the hives live under XDG_CONFIG_HOME; Windows has one system registry, so there
// HKEY_CURRENT_USER and HKEY_LOCAL_MACHINE are pointed into a fresh scratch key instead.
bool PointConfigHome(const std::string& folder, std::string& oldValue);

// Puts back what PointConfigHome found.
void RestoreConfigHome(bool hadValue, const std::string& oldValue);

// Makes `folder` the user's home folder for the life of the object: HOME on Linux, USERPROFILE
// on Windows.
class ScopedHome {
public:
    explicit ScopedHome(const std::string& folder);
    ~ScopedHome();
    ScopedHome(const ScopedHome&) = delete;
    ScopedHome& operator=(const ScopedHome&) = delete;

private:
    std::optional<std::string> m_old;
};

} // namespace testing_support
