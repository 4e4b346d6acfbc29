#include "support/window_driver.h"

#include "ui/application.h"
#include "ui/win32/native.h"

#include <cctype>
#include <map>

namespace window_driver {

using ui::win32::Handle;

namespace {

// Puts the focus on a control the way the dialog manager does, default button included.
void Focus(const TControl& control) {
    SendMessageA(ui::win32::DialogOf(&control), WM_NEXTDLGCTL,
                 reinterpret_cast<WPARAM>(Handle(&control)), TRUE);
}

UINT VirtualKey(Key key) {
    switch (key) {
    case Key::Enter:
        return VK_RETURN;
    case Key::Escape:
        return VK_ESCAPE;
    case Key::Space:
        return VK_SPACE;
    case Key::Tab:
        return VK_TAB;
    }
    return 0;
}

// A key as the keyboard delivers it, through the program's own loop and so through the dialog
// manager, which acts on the key going down (Enter, Esc, Tab) or lets the control have it.
void PostKey(HWND window, UINT key) {
    const LPARAM scan = static_cast<LPARAM>(MapVirtualKeyA(key, MAPVK_VK_TO_VSC)) << 16;
    PostMessageA(window, WM_KEYDOWN, key, scan | 1);
    PostMessageA(window, WM_KEYUP, key, scan | 1 | (LPARAM{1} << 30) | (LPARAM{1} << 31));
}

// A mouse click goes to an enabled, visible control only.
void ClickControl(const TControl& control) {
    HWND window = Handle(&control);
    if (!IsWindowEnabled(window) || !IsWindowVisible(window))
        return;
    SendMessageA(window, BM_CLICK, 0, 0);
    RunUntilIdle();
}

} // namespace

void Click(const TButton& button) {
    ClickControl(button);
}

void Tick(const TCheckBox& box) {
    ClickControl(box);
}

void Type(const TEdit& edit, const std::string& text) {
    Focus(edit);
    for (const char c : text)
        PostMessageA(Handle(&edit), WM_CHAR, static_cast<unsigned char>(c), 1);
    RunUntilIdle();
}

void Press(const TControl& focused, Key key) {
    Focus(focused);
    PostKey(Handle(&focused), VirtualKey(key));
    RunUntilIdle();
}

void PressMnemonic(const TForm& form, char letter) {
    HWND dialog = form.Handle();
    HWND focused = GetFocus();
    HWND target = focused && IsChild(dialog, focused) ? focused : dialog;
    const char lower = static_cast<char>(std::tolower(static_cast<unsigned char>(letter)));
    // Alt held: bit 29 of the key data.
    PostMessageA(target, WM_SYSCHAR, static_cast<unsigned char>(lower), (1 << 29) | 1);
    RunUntilIdle();
}

void CloseFromTitleBar(const TForm& form) {
    SendMessageA(form.Handle(), WM_SYSCOMMAND, SC_CLOSE, 0);
    RunUntilIdle();
}

void MoveBy(const TForm& form, int right, int down) {
    RECT place;
    GetWindowRect(form.Handle(), &place);
    SetWindowPos(form.Handle(), nullptr, place.left + right, place.top + down, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

std::string Caption(const TControl& control) {
    HWND window = Handle(&control);
    std::string text(GetWindowTextLengthA(window) + 1, '\0');
    text.resize(GetWindowTextA(window, text.data(), static_cast<int>(text.size())));
    return text;
}

bool HasFocus(const TControl& control) {
    return GetFocus() == Handle(&control);
}

bool IsBold(const TControl& control) {
    auto font = reinterpret_cast<HFONT>(SendMessageA(Handle(&control), WM_GETFONT, 0, 0));
    LOGFONTA description{};
    return font && GetObjectA(font, sizeof(description), &description) &&
           description.lfWeight >= FW_BOLD;
}

std::pair<int, int> PictureSize(const TImage& image) {
    HWND window = Handle(&image);
    if (auto bitmap =
            reinterpret_cast<HBITMAP>(SendMessageA(window, STM_GETIMAGE, IMAGE_BITMAP, 0))) {
        BITMAP description{};
        GetObjectA(bitmap, sizeof(description), &description);
        return {description.bmWidth, description.bmHeight};
    }
    if (auto icon = reinterpret_cast<HICON>(SendMessageA(window, STM_GETIMAGE, IMAGE_ICON, 0))) {
        ICONINFO info{};
        if (!GetIconInfo(icon, &info))
            return {0, 0};
        BITMAP mask{};
        GetObjectA(info.hbmMask, sizeof(mask), &mask);
        const bool colour = info.hbmColor != nullptr;
        DeleteObject(info.hbmMask);
        if (info.hbmColor)
            DeleteObject(info.hbmColor);
        // A monochrome icon's mask holds the picture and its mask one above the other.
        return {mask.bmWidth, colour ? mask.bmHeight : mask.bmHeight / 2};
    }
    return {0, 0};
}

bool ShowsHourGlass(const TControl& control) {
    return control.NativeObject().cursor == TCursor::HourGlass;
}

std::pair<int, int> OuterSize(const TForm& form) {
    RECT place;
    GetWindowRect(form.Handle(), &place);
    return {place.right - place.left, place.bottom - place.top};
}

unsigned TitleBarBoxes(const TForm& form) {
    const LONG_PTR style = GetWindowLongPtrA(form.Handle(), GWL_STYLE);
    unsigned boxes = 0;
    if (style & WS_SYSMENU)
        boxes |= biSystemMenu;
    if (style & WS_MINIMIZEBOX)
        boxes |= biMinimize;
    if (style & WS_MAXIMIZEBOX)
        boxes |= biMaximize;
    return boxes;
}

int FontPixelHeight(const TControl& control) {
    auto font = reinterpret_cast<HFONT>(SendMessageA(Handle(&control), WM_GETFONT, 0, 0));
    LOGFONTA description{};
    if (!font || !GetObjectA(font, sizeof(description), &description))
        return 0;
    return description.lfHeight < 0 ? -description.lfHeight : description.lfHeight;
}

bool HasIcon(const TForm& form) {
    return SendMessageA(form.Handle(), WM_GETICON, ICON_BIG, 0) != 0 &&
           SendMessageA(form.Handle(), WM_GETICON, ICON_SMALL, 0) != 0;
}

bool ModalWindowOpen() {
    // A modal window of the program keeps the program's other windows disabled.
    for (const TForm* form : Application.Forms())
        if (IsWindowVisible(form->Handle()) && !IsWindowEnabled(form->Handle()))
            return true;
    return false;
}

void RunUntilIdle() {
    MSG waiting;
    for (int round = 0; round < 100; ++round) {
        Application.ProcessMessages();
        if (!PeekMessageA(&waiting, nullptr, 0, 0, PM_NOREMOVE) || waiting.message == WM_QUIT)
            return;
    }
}

namespace {

std::map<UINT_PTR, std::function<void()>>& Pending() {
    static std::map<UINT_PTR, std::function<void()>> pending;
    return pending;
}

void CALLBACK RunPending(HWND, UINT, UINT_PTR timer, DWORD) {
    KillTimer(nullptr, timer);
    auto found = Pending().find(timer);
    if (found == Pending().end())
        return;
    std::function<void()> step = std::move(found->second);
    Pending().erase(found);
    step();
}

} // namespace

void After(int delayMs, std::function<void()> step) {
    const UINT_PTR timer = SetTimer(
        nullptr, 0, static_cast<UINT>(delayMs > 0 ? delayMs : USER_TIMER_MINIMUM), RunPending);
    Pending()[timer] = std::move(step);
}

struct ShowCounter::Watch {
    HWND window;
    int count = 0;
    HHOOK hook = nullptr;
    static Watch*& Current() {
        static Watch* current = nullptr;
        return current;
    }
    static LRESULT CALLBACK Seen(int code, WPARAM wParam, LPARAM lParam) {
        const auto* message = reinterpret_cast<const CWPSTRUCT*>(lParam);
        Watch* watch = Current();
        if (code >= 0 && watch && message->hwnd == watch->window &&
            message->message == WM_SHOWWINDOW && message->wParam)
            ++watch->count;
        return CallNextHookEx(nullptr, code, wParam, lParam);
    }
};

ShowCounter::ShowCounter(const TForm& form) : m_watch(std::make_unique<Watch>()) {
    m_watch->window = form.Handle();
    Watch::Current() = m_watch.get();
    m_watch->hook = SetWindowsHookExA(WH_CALLWNDPROC, Watch::Seen, nullptr, GetCurrentThreadId());
}

ShowCounter::~ShowCounter() {
    UnhookWindowsHookEx(m_watch->hook);
    Watch::Current() = nullptr;
}

int ShowCounter::Count() const {
    return m_watch->count;
}

} // namespace window_driver
