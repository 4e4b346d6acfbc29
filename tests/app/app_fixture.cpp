#include "app_fixture.h"

#include "app/project1.h"
#include "ui/application.h"

#include <QTimer>

namespace app_test {

namespace {

HKEY CreateKey(HKEY root, const std::string& key) {
    HKEY handle = nullptr;
    const LONG result = RegCreateKeyExA(root, key.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                        KEY_ALL_ACCESS, nullptr, &handle, nullptr);
    if (result != ERROR_SUCCESS)
        throw std::runtime_error("cannot create " + key);
    return handle;
}

void SetValue(HKEY root, const std::string& key, const std::string& name, DWORD type,
              const BYTE* data, DWORD size) {
    HKEY handle = CreateKey(root, key);
    const LONG result = RegSetValueExA(handle, name.c_str(), 0, type, data, size);
    RegCloseKey(handle);
    if (result != ERROR_SUCCESS)
        throw std::runtime_error("cannot set " + name);
}

} // namespace

void SetText(HKEY root, const std::string& key, const std::string& name, const std::string& value) {
    SetValue(root, key, name, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
             static_cast<DWORD>(value.size() + 1));
}

void SetNumber(HKEY root, const std::string& key, const std::string& name, DWORD value) {
    SetValue(root, key, name, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
}

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
