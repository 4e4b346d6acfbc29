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

LRESULT CALLBACK ApplicationWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcA(window, message, wParam, lParam);
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
    m_native->window = CreateWindowExA(0, ui::kApplicationClass, m_title.c_str(), WS_POPUP, 0, 0, 0,
                                       0, nullptr, nullptr, ui::win32::Instance(), nullptr);
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
