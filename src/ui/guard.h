// The guard between the window backend and the program's handlers: every user event reaches
// its handler through Guard, so that an error ends the handler, is shown by the error report,
// and never unwinds through the backend's frames.
#pragma once

#include "ui/application.h"

#include <exception>
#include <stdexcept>
#include <utility>

namespace ui {

template <class Handler> void Guard(Handler&& handler) noexcept {
    try {
        std::forward<Handler>(handler)();
    } catch (const std::exception& error) {
        Application.ShowException(error);
    } catch (...) {
        Application.ShowException(std::runtime_error("Unknown error"));
    }
}

} // namespace ui
