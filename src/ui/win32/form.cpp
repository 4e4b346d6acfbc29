#include "ui/form.h"

#include "ui/application.h"
#include "ui/controls.h"
#include "ui/guard.h"
#include "ui/win32/native.h"
#include "ui/win32/picture.h"

#include <cstdint>
#include <stdexcept>
#include <vector>

namespace {

const char kFormProperty[] = "BrisvaneForm";
const char kNextIdProperty[] = "BrisvaneNextId";

// An empty dialog template in the window font: the dialog manager gives the window its font and
// its keyboard handling, and the controls are made afterwards at their pixel positions.
std::vector<WORD> EmptyDialogTemplate(DWORD style, DWORD extendedStyle) {
    std::vector<WORD> words;
    auto add = [&words](DWORD value) {
        words.push_back(LOWORD(value));
        words.push_back(HIWORD(value));
    };
    add(style);
    add(extendedStyle);
    // No controls, position and size set later, no menu, the standard class, no title.
    for (WORD word : {0, 0, 0, 0, 0, 0, 0, 0})
        words.push_back(word);
    words.push_back(8);
    for (const char* c = "MS Sans Serif"; *c; ++c)
        words.push_back(static_cast<WORD>(*c));
    words.push_back(0);
    return words;
}

DWORD StyleFor(unsigned borderIcons) {
    DWORD style = WS_POPUP | WS_CAPTION | WS_THICKFRAME | WS_CLIPSIBLINGS | DS_SETFONT | DS_3DLOOK;
    if (borderIcons & biSystemMenu)
        style |= WS_SYSMENU;
    if (borderIcons & biMinimize)
        style |= WS_MINIMIZEBOX;
    if (borderIcons & biMaximize)
        style |= WS_MAXIMIZEBOX;
    return style;
}

TForm* FormOf(HWND dialog) {
    return static_cast<TForm*>(GetPropA(dialog, kFormProperty));
}

INT_PTR OnControlColour(WPARAM deviceContext, LPARAM child) {
    const TControl* control = ui::win32::ControlOf(reinterpret_cast<HWND>(child));
    if (!control || !control->NativeObject().hasTextColor)
        return FALSE;
    HDC dc = reinterpret_cast<HDC>(deviceContext);
    SetTextColor(dc, control->NativeObject().textColor);
    SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
    return reinterpret_cast<INT_PTR>(GetSysColorBrush(COLOR_BTNFACE));
}

bool OnSetCursor(HWND dialog, WPARAM over) {
    const TControl* control = ui::win32::ControlOf(reinterpret_cast<HWND>(over));
    if (!control || control->NativeObject().cursor != TCursor::HourGlass)
        return false;
    SetCursor(LoadCursor(nullptr, IDC_WAIT));
    SetWindowLongPtrA(dialog, DWLP_MSGRESULT, TRUE);
    return true;
}

// A click of a button or check box, whoever made it: the mouse, the keyboard through the dialog
// manager, or a mnemonic. Enter and Esc without a control to press (IDOK, IDCANCEL) do nothing.
void OnCommand(WPARAM wParam, LPARAM child) {
    if (HIWORD(wParam) != BN_CLICKED || child == 0)
        return;
    TControl* control = ui::win32::ControlOf(reinterpret_cast<HWND>(child));
    if (auto* button = dynamic_cast<TButton*>(control))
        button->Clicked();
    else if (auto* box = dynamic_cast<TCheckBox*>(control))
        box->Clicked();
}

INT_PTR CALLBACK FormProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        SetPropA(dialog, kFormProperty, reinterpret_cast<HANDLE>(lParam));
        SetPropA(dialog, kNextIdProperty, reinterpret_cast<HANDLE>(std::uintptr_t{100}));
        return FALSE;
    }
    TForm* form = FormOf(dialog);
    if (!form)
        return FALSE;
    switch (message) {
    case WM_COMMAND:
        OnCommand(wParam, lParam);
        return TRUE;
    case WM_CLOSE:
        ui::Guard([form] { form->TitleBarClose(); });
        return TRUE;
    case WM_ACTIVATE:
        if (LOWORD(wParam) != WA_INACTIVE)
            ui::win32::NoteActiveForm(dialog);
        return FALSE;
    case WM_SYSCOMMAND:
        // A form's minimize box minimizes the whole program to its one taskbar button.
        if ((wParam & 0xFFF0) != SC_MINIMIZE)
            return FALSE;
        ui::win32::MinimizeApplication(dialog);
        SetWindowLongPtrA(dialog, DWLP_MSGRESULT, 0);
        return TRUE;
    case WM_SETCURSOR:
        return OnSetCursor(dialog, wParam) ? TRUE : FALSE;
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
        return OnControlColour(wParam, lParam);
    default:
        return FALSE;
    }
}

void CentreOnScreen(HWND window, int outerWidth, int outerHeight) {
    RECT area;
    if (!SystemParametersInfoA(SPI_GETWORKAREA, 0, &area, 0))
        area = {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    SetWindowPos(window, nullptr, area.left + (area.right - area.left - outerWidth) / 2,
                 area.top + (area.bottom - area.top - outerHeight) / 2, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void FocusFirstControl(HWND dialog, const std::vector<TControl*>& tabOrder) {
    HWND focused = GetFocus();
    if (focused && IsChild(dialog, focused))
        return;
    for (const TControl* control : tabOrder) {
        HWND window = ui::win32::Handle(control);
        if (IsWindowEnabled(window) && IsWindowVisible(window)) {
            SendMessageA(dialog, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(window), TRUE);
            return;
        }
    }
}

} // namespace

namespace ui::win32 {

int NextControlId(HWND dialog) {
    const auto id = reinterpret_cast<std::uintptr_t>(GetPropA(dialog, kNextIdProperty));
    SetPropA(dialog, kNextIdProperty, reinterpret_cast<HANDLE>(id + 1));
    return static_cast<int>(id);
}

void ForgetForm(HWND dialog) {
    RemovePropA(dialog, kFormProperty);
    RemovePropA(dialog, kNextIdProperty);
}

} // namespace ui::win32

TForm::TForm(const std::string& caption, int outerWidth, int outerHeight, unsigned borderIcons)
    : TControl(nullptr), m_outerWidth(outerWidth), m_outerHeight(outerHeight),
      m_borderIcons(borderIcons) {
    // Owned by the application window, as every window of the program, whose taskbar button
    // stands for them all.
    const std::vector<WORD> dialogTemplate = EmptyDialogTemplate(StyleFor(borderIcons), 0);
    HWND dialog = CreateDialogIndirectParamA(
        ui::win32::Instance(), reinterpret_cast<LPCDLGTEMPLATEA>(dialogTemplate.data()),
        Application.Handle(), FormProc, reinterpret_cast<LPARAM>(this));
    if (!dialog)
        throw std::runtime_error("Cannot create the window \"" + caption + "\"");
    Attach(new ui::Native{dialog});
    SetWindowTextA(dialog, caption.c_str());
    // The size the program gives is the outer size, frame and title bar included.
    SetWindowPos(dialog, nullptr, 0, 0, outerWidth, outerHeight,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    const TIcon& icon = Application.Icon();
    if (HICON big = ui::win32::LoadIconPicture(icon.At(32), 32))
        SendMessageA(dialog, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(big));
    if (HICON small = ui::win32::LoadIconPicture(icon.At(16), 16))
        SendMessageA(dialog, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(small));
}

TForm::~TForm() = default;

HWND TForm::Handle() const {
    return ui::win32::Handle(this);
}

std::string TForm::Caption() const {
    HWND window = Handle();
    std::string text(GetWindowTextLengthA(window) + 1, '\0');
    text.resize(GetWindowTextA(window, text.data(), static_cast<int>(text.size())));
    return text;
}

void TForm::SetCaption(const std::string& caption) {
    SetWindowTextA(Handle(), caption.c_str());
}

void TForm::Show() {
    HWND window = Handle();
    const bool becomesVisible = !IsWindowVisible(window);
    ui::win32::ShowApplicationWindow();
    // A form shown while the program is minimized brings the program back.
    if (IsIconic(Application.Handle()))
        SendMessageA(Application.Handle(), WM_SYSCOMMAND, SC_RESTORE, 0);
    if (becomesVisible) {
        if (!m_placed) {
            CentreOnScreen(window, m_outerWidth, m_outerHeight);
            m_placed = true;
        }
        ShowWindow(window, SW_SHOW);
    } else if (IsIconic(window)) {
        ShowWindow(window, SW_RESTORE);
    }
    SetForegroundWindow(window);
    BringWindowToTop(window);
    if (becomesVisible) {
        FocusFirstControl(window, m_tabOrder);
        // Called directly: an error here ends the code that showed the window.
        FormShow();
    }
}

void TForm::DrawNow() {
    HWND window = Handle();
    if (!IsWindowVisible(window))
        return;
    RedrawWindow(window, nullptr, nullptr,
                 RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    Application.ProcessMessagesExceptInput();
}

void TForm::Hide() {
    ShowWindow(Handle(), SW_HIDE);
}

void TForm::SetDefaultButton(TButton* button) {
    m_defaultButton = button;
    if (!button)
        return;
    HWND window = ui::win32::Handle(button);
    SendMessageA(Handle(), DM_SETDEFID, GetDlgCtrlID(window), 0);
    SendMessageA(window, WM_SETFONT, reinterpret_cast<WPARAM>(ui::win32::WindowFont(true)), TRUE);
}

void TForm::SetTabOrder(std::initializer_list<TControl*> controls) {
    m_tabOrder.assign(controls.begin(), controls.end());
    // The dialog manager tabs in the order of the child windows, first to last.
    HWND previous = HWND_TOP;
    for (TControl* control : m_tabOrder) {
        HWND window = ui::win32::Handle(control);
        SetWindowLongPtrA(window, GWL_STYLE, GetWindowLongPtrA(window, GWL_STYLE) | WS_TABSTOP);
        SetWindowPos(window, previous, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        previous = window;
    }
}
