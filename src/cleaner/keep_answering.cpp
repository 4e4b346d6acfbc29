#include "cleaner/keep_answering.h"

#include <utility>

namespace {

struct Pulse {
    std::function<void()> handler;
    std::chrono::steady_clock::time_point last{};
    bool running = false;
};

Pulse& CurrentPulse() {
    static Pulse pulse;
    return pulse;
}

} // namespace

KeepAnsweringScope::KeepAnsweringScope(std::function<void()> handler) {
    Pulse& pulse = CurrentPulse();
    m_previous = std::exchange(pulse.handler, std::move(handler));
    pulse.last = {};
}

KeepAnsweringScope::~KeepAnsweringScope() {
    CurrentPulse().handler = std::move(m_previous);
}

void KeepAnswering() {
    Pulse& pulse = CurrentPulse();
    // A handler that walks a folder itself must not re-enter.
    if (!pulse.handler || pulse.running)
        return;
    const auto now = std::chrono::steady_clock::now();
    if (pulse.last != std::chrono::steady_clock::time_point{} &&
        now - pulse.last < kKeepAnsweringInterval)
        return;
    pulse.running = true;
    struct Done {
        Pulse& pulse;
        ~Done() {
            pulse.running = false;
            pulse.last = std::chrono::steady_clock::now();
        }
    } done{pulse};
    pulse.handler();
}
