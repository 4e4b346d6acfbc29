#include "app_fixture.h"

#include "app/project1.h"
#include "platform/wine_browsers.h"
#include "support/window_driver.h"
#include "ui/application.h"

#include <memory>

namespace app_test {

Rect Bounds(const TControl& control) {
    return {control.Left(), control.Top(), control.Width(), control.Height()};
}

void PrintTo(const Rect& rect, std::ostream* out) {
    *out << rect.left << ", " << rect.top << ", " << rect.width << " x " << rect.height;
}

int RunLoopWith(std::vector<std::function<void()>> steps) {
    // Shared with the steps still queued when the loop ends, which then do nothing.
    struct Run {
        std::vector<std::function<void()>> steps;
        std::size_t done = 0;
        bool running = true;
        bool timedOut = false;
    };
    auto run = std::make_shared<Run>();
    run->steps = std::move(steps);
    auto step = std::make_shared<std::function<void()>>();
    *step = [run, weak = std::weak_ptr<std::function<void()>>(step)] {
        if (!run->running || run->done >= run->steps.size())
            return;
        run->steps[run->done++]();
        if (auto again = weak.lock())
            window_driver::After(0, *again);
    };
    window_driver::After(0, *step);
    window_driver::After(10000, [run] {
        if (!run->running)
            return;
        run->timedOut = true;
        Application.Terminate();
    });
    const int exitCode = Application.Run();
    run->running = false;
    EXPECT_FALSE(run->timedOut) << "the message loop did not end";
    return exitCode;
}

void ProgramTest::SetUp() {
    // Each test is a start of its own, with its own choice of Wine prefix.
    brisvane::platform::ForgetChosenWinePrefix();
    Application.Initialize();
}

void ProgramTest::TearDown() {
    Application.DestroyForms();
}

void ProgramTest::StartUp() {
    CreateWindows();
}

} // namespace app_test
