#include "app_fixture.h"

#include "app/project1.h"
#include "ui/application.h"

#include <QTimer>

namespace app_test {

int RunLoopWith(std::vector<std::function<void()>> steps) {
    std::size_t done = 0;
    QTimer stepper;
    QObject::connect(&stepper, &QTimer::timeout, [&] {
        if (done < steps.size())
            steps[done++]();
    });
    stepper.start(0);
    bool timedOut = false;
    QTimer guard;
    guard.setSingleShot(true);
    QObject::connect(&guard, &QTimer::timeout, [&timedOut] {
        timedOut = true;
        Application.Terminate();
    });
    guard.start(10000);
    const int exitCode = Application.Run();
    EXPECT_FALSE(timedOut) << "the message loop did not end";
    return exitCode;
}

void ProgramTest::SetUp() {
    Application.Initialize();
}

void ProgramTest::TearDown() {
    Application.DestroyForms();
}

void ProgramTest::StartUp() {
    CreateWindows();
}

} // namespace app_test
