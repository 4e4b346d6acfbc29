#include "ui/application.h"

#include "ui/form.h"
#include "ui/guard.h"
#include "ui/post_quit_message.h"
#include "ui/win32/native.h"
#include "ui/win32/picture.h"

#include <commctrl.h>

namespace ui {

struct NativeApplication {
    HWND window = nullptr;
};

namespace {

const char kApplicationClass[] = "BrisvaneApplication";
// Posted to the application window when it receives the focus, so that the form is activated
// once the activation that brought the focus there is over.
const UINT kActivateForm = WM_APP + 1;

// The form last active, to return to from the taskbar or Alt+Tab.
HWND lastActiveForm = nullptr;

// The form to give the activation to: the one last active while still visible, else the main
// form.
HWND FormToActivate() {
    if (lastActiveForm && IsWindow(lastActiveForm) && IsWindowVisible(lastActiveForm))
        return lastActiveForm;
    TForm* main = Application.MainForm();
    return main && IsWindowVisible(main->Handle()) ? main->Handle() : nullptr;
}

void RestoreApplication(HWND window) {
    ShowWindow(window, SW_RESTORE);
    ShowOwnedPopups(window, TRUE);
    if (HWND form = FormToActivate())
        SetActiveWindow(form);
}

LRESULT OnSystemCommand(HWND window, WPARAM wParam, LPARAM lParam) {
    switch (wParam & 0xFFF0) {
    case SC_MINIMIZE:
        ui::win32::MinimizeApplication(FormToActivate());
        return 0;
    case SC_RESTORE:
        RestoreApplication(window);
        return 0;
    case SC_CLOSE:
        // The taskbar button's Close closes the main form, as its title bar's would.
        if (TForm* main = Application.MainForm())
            PostMessageA(main->Handle(), WM_CLOSE, 0, 0);
        return 0;
    default:
        return DefWindowProcA(window, WM_SYSCOMMAND, wParam, lParam);
    }
}

// The application window is what the taskbar button and Alt+Tab activate; the activation
// passes on to the program's form.
LRESULT CALLBACK ApplicationWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_SYSCOMMAND:
        return OnSystemCommand(window, wParam, lParam);
    case WM_CLOSE:
        return OnSystemCommand(window, SC_CLOSE, 0);
    case WM_SETFOCUS:
        PostMessageA(window, kActivateForm, 0, 0);
        return 0;
    case kActivateForm:
        if (!IsIconic(window) && GetFocus() == window) {
            if (HWND form = FormToActivate())
                SetActiveWindow(form);
        }
        return 0;
    default:
        return DefWindowProcA(window, message, wParam, lParam);
    }
}

void SetWindowIcons(HWND window, const TIcon& icon) {
    if (HICON big = win32::LoadIconPicture(icon.At(32), 32))
        SendMessageA(window, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(big));
    if (HICON small = win32::LoadIconPicture(icon.At(16), 16))
        SendMessageA(window, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(small));
}

// The program's forms are dialogs marked with this property; only their messages go to the
// dialog manager.
bool IsForm(HWND window) {
    return window && GetPropA(window, "BrisvaneForm") != nullptr;
}

} // namespace

namespace win32 {

HINSTANCE Instance() {
    return GetModuleHandleA(nullptr);
}

void ShowApplicationWindow() {
    HWND window = Application.Handle();
    if (!window || IsWindowVisible(window))
        return;
    SetWindowTextA(window, Application.Title().c_str());
    ShowWindow(window, SW_SHOWNA);
}

void MinimizeApplication(HWND activeForm) {
    HWND window = Application.Handle();
    if (!window)
        return;
    if (activeForm)
        lastActiveForm = activeForm;
    ShowOwnedPopups(window, FALSE);
    ShowWindow(window, SW_MINIMIZE);
}

void NoteActiveForm(HWND form) {
    lastActiveForm = form;
}

void Dispatch(MSG& message) {
    HWND top = message.hwnd ? GetAncestor(message.hwnd, GA_ROOT) : nullptr;
    if (IsForm(top) && IsDialogMessageA(top, &message))
        return;
    TranslateMessage(&message);
    DispatchMessageA(&message);
}

} // namespace win32

} // namespace ui

void TApplication::Initialize(int&, char**) {
    if (m_native)
        return;
    // Only the progress bar comes from comctl32: the classic (version 5) comctl32 the program
    // runs with fails the whole call on a flag it does not know, as ICC_STANDARD_CLASSES is.
    INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&controls);
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = ui::ApplicationWindowProc;
    windowClass.hInstance = ui::win32::Instance();
    windowClass.lpszClassName = ui::kApplicationClass;
    RegisterClassA(&windowClass); // fails harmlessly when a second application registers again
    m_native = new ui::NativeApplication;
    // Zero-sized in the middle of the screen: only its taskbar button is ever seen.
    m_native->window =
        CreateWindowExA(0, ui::kApplicationClass, m_title.c_str(),
                        WS_POPUP | WS_CAPTION | WS_CLIPSIBLINGS | WS_SYSMENU | WS_MINIMIZEBOX,
                        GetSystemMetrics(SM_CXSCREEN) / 2, GetSystemMetrics(SM_CYSCREEN) / 2, 0, 0,
                        nullptr, nullptr, ui::win32::Instance(), nullptr);
    if (!m_icon.Empty())
        ui::SetWindowIcons(m_native->window, m_icon);
}

void TApplication::SetIcon(const TIcon& icon) {
    m_icon = icon;
    if (m_native)
        ui::SetWindowIcons(m_native->window, icon);
}

void TApplication::SetLauncherName(const std::string&) {
    // Windows matches windows with their program by the program file itself.
}

int TApplication::Run() {
    if (m_mainForm)
        ui::Guard([this] { m_mainForm->Show(); });
    // A quit message posted before the loop is waiting in the queue and ends it at once.
    m_loopRunning = true;
    MSG message;
    for (;;) {
        const BOOL got = GetMessageA(&message, nullptr, 0, 0);
        if (got == 0) {
            m_exitCode = static_cast<int>(message.wParam);
            break;
        }
        if (got == -1)
            break;
        ui::win32::Dispatch(message);
    }
    m_loopRunning = false;
    m_terminated = false;
    return m_exitCode;
}

void TApplication::QuitMessagePosted(int exitCode) {
    m_terminated = true;
    m_exitCode = exitCode;
}

namespace {

// Dispatches the waiting messages that `which` lets through (PM_QS_* flags; 0 for all). A quit
// message is left for the loop that it is meant to end.
void DispatchWaiting(UINT which) {
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE | which)) {
        if (message.message == WM_QUIT) {
            (PostQuitMessage)(static_cast<int>(message.wParam));
            return;
        }
        ui::win32::Dispatch(message);
    }
}

} // namespace

void TApplication::ProcessMessages() {
    DispatchWaiting(0);
}

void TApplication::ProcessMessagesExceptInput() {
    DispatchWaiting(PM_QS_PAINT | PM_QS_SENDMESSAGE);
}

HWND TApplication::Handle() const {
    return m_native ? m_native->window : nullptr;
}

void TApplication::Finalize() {
    DestroyForms();
    if (!m_native)
        return;
    DestroyWindow(m_native->window);
    delete m_native;
    m_native = nullptr;
}
