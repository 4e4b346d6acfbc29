// The application object: the title, the windows it owns, the message loop, terminate, and
// the error report that the guard hands every escaping error to.
#pragma once

#include "platform/win32.h"
#include "ui/picture.h"

#include <exception>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class TForm;

namespace ui {
// The backend's application: its event loop and the hidden application window.
struct NativeApplication;
} // namespace ui

class TApplication {
public:
    TApplication() = default;
    // The backend may already be gone when the global goes; Finalize is the orderly end.
    ~TApplication() = default;
    TApplication(const TApplication&) = delete;
    TApplication& operator=(const TApplication&) = delete;

    // Creates the backend's application (unless one exists already) and the hidden
    // application window. Calling it again does nothing.
    void Initialize(int& argc, char** argv);
    void Initialize();
    bool Initialized() const { return m_native != nullptr; }

    const std::string& Title() const { return m_title; }
    void SetTitle(const std::string& title) { m_title = title; }
    // The icon every window of the program carries.
    const TIcon& Icon() const { return m_icon; }
    void SetIcon(const TIcon& icon);
    // The name of the installed launcher, by which the desktop matches the windows with it and
    // its icon; where the desktop has no such thing, nothing.
    void SetLauncherName(const std::string& name);

    // Creates a window, sets its program-wide reference, then runs its creation handler
    // through the guard. The first window created becomes the main window. The reference must
    // outlive the window (a global or a member): DestroyForms clears it.
    template <class T> void CreateForm(T*& reference) {
        T* form = new T();
        reference = form;
        Adopt(form, [&reference] { reference = nullptr; });
        RunCreateHandler(form);
    }
    TForm* MainForm() const { return m_mainForm; }
    // Every window created so far, in the order of creation.
    std::vector<TForm*> Forms() const;

    // Shows the main window and runs the message loop until terminate is requested. Returns
    // the exit code that PostQuitMessage gave.
    int Run();
    // Posts the quit message with exit code 0.
    void Terminate();
    bool Terminated() const { return m_terminated; }
    // Dispatches the messages that are waiting, then returns.
    void ProcessMessages();
    // Dispatches what is waiting except user input (and timers, which may stand for it): the
    // windows paint and the desktop gets its answers, but no handler of the program runs.
    void ProcessMessagesExceptInput();

    // The hidden window that owns the application: the owner of the error report and of the
    // help viewer calls.
    HWND Handle() const;

    // The error report: the message with a full stop, owned by the application window.
    void ShowException(const std::exception& error);

    // Destroys every window, last created first, and clears their references.
    void DestroyForms();
    // Destroys the windows, the application window and a backend application made by
    // Initialize.
    void Finalize();

    // Called by the real PostQuitMessage.
    void QuitMessagePosted(int exitCode);

private:
    void Adopt(TForm* form, std::function<void()> forget);
    void RunCreateHandler(TForm* form);

    struct OwnedForm {
        TForm* form;
        std::function<void()> forget;
    };

    std::string m_title;
    TIcon m_icon;
    ui::NativeApplication* m_native = nullptr;
    std::vector<OwnedForm> m_forms;
    TForm* m_mainForm = nullptr;
    bool m_terminated = false;
    bool m_loopRunning = false;
    int m_exitCode = 0;
};

extern TApplication Application;
