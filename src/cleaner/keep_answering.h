// Keeps the desktop answered while a cleaning run walks large folders. The run installs a
// handler for as long as it works; the walks call KeepAnswering for every entry they read, and
// the handler runs on the first call and then at most once per interval, so that a folder of
// tens of thousands of files neither freezes the progress window nor looks hung to the desktop.
#pragma once

#include <chrono>
#include <functional>

class KeepAnsweringScope {
public:
    explicit KeepAnsweringScope(std::function<void()> handler);
    ~KeepAnsweringScope();
    KeepAnsweringScope(const KeepAnsweringScope&) = delete;
    KeepAnsweringScope& operator=(const KeepAnsweringScope&) = delete;

private:
    std::function<void()> m_previous;
};

inline constexpr std::chrono::milliseconds kKeepAnsweringInterval{100};

// Runs the installed handler when the interval has passed; without one, does nothing.
void KeepAnswering();
