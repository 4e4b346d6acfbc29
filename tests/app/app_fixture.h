// A fresh program for each test: its own registry hives, the application object initialised,
// the four windows created by start-up; they are destroyed again afterwards.
#pragma once

#include "platform/win32.h"
#include "support/registry_values.h"
#include "support/temp_folder.h"
#include "ui/control.h"

#include <functional>
#include <gtest/gtest.h>
#include <ostream>
#include <string>
#include <vector>

namespace app_test {

using testing_support::SetNumber;
using testing_support::SetText;

// A control's place in its parent, or a window's on the screen with its client size.
struct Rect {
    int left;
    int top;
    int width;
    int height;
    bool operator==(const Rect&) const = default;
};
Rect Bounds(const TControl& control);
void PrintTo(const Rect& rect, std::ostream* out);

// Runs the message loop; each step runs as the loop's next message, after the one before.
// Returns the loop's exit code. A test that does not end the loop fails after a time-out.
int RunLoopWith(std::vector<std::function<void()>> steps);

// Registers the program as installed in `folder`, the way its installation does on this
// system, and returns the program's path as registered.
std::string InstallProgram(const std::string& folder);

class ProgramTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
    // Start-up's window creation; SetUp does not call it, so a test can prepare the registry.
    void StartUp();

    testing_support::RegistrySandbox m_sandbox;
};

} // namespace app_test
