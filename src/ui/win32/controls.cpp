#include "ui/controls.h"

#include "ui/form.h"
#include "ui/win32/native.h"
#include "ui/win32/picture.h"

#include <commctrl.h>

namespace {

using ui::win32::Handle;

// Where a control placed in `parent` starts, in the dialog's client area: a group box is no
// window parent of its controls, so its own place is added.
POINT OriginIn(const TControl* parent) {
    if (!parent || !parent->Parent())
        return {0, 0};
    const ui::Native& native = parent->NativeObject();
    return {native.originLeft + parent->Left(), native.originTop + parent->Top()};
}

// Makes a standard control as a child window of the form's dialog, in the window font.
ui::Native* MakeControl(TControl* self, TControl* parent, const char* windowClass,
                        const std::string& text, DWORD style, DWORD extendedStyle, int left,
                        int top, int width, int height) {
    HWND dialog = ui::win32::DialogOf(parent);
    const POINT origin = OriginIn(parent);
    HWND window = CreateWindowExA(
        extendedStyle, windowClass, text.c_str(), WS_CHILD | WS_VISIBLE | style, origin.x + left,
        origin.y + top, width, height, dialog,
        reinterpret_cast<HMENU>(static_cast<std::intptr_t>(ui::win32::NextControlId(dialog))),
        ui::win32::Instance(), nullptr);
    SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    SendMessageA(window, WM_SETFONT, reinterpret_cast<WPARAM>(ui::win32::WindowFont(false)), FALSE);
    auto* native = new ui::Native;
    native->window = window;
    native->originLeft = origin.x;
    native->originTop = origin.y;
    return native;
}

std::string WindowText(HWND window) {
    std::string text(GetWindowTextLengthA(window) + 1, '\0');
    text.resize(GetWindowTextA(window, text.data(), static_cast<int>(text.size())));
    return text;
}

RECT PlaceInParent(const TControl* control) {
    RECT place;
    HWND window = Handle(control);
    GetWindowRect(window, &place);
    if (control->Parent()) {
        MapWindowPoints(nullptr, ui::win32::DialogOf(control), reinterpret_cast<POINT*>(&place), 2);
        OffsetRect(&place, -control->NativeObject().originLeft, -control->NativeObject().originTop);
    }
    return place;
}

// A control's outer size; a window's client size, which is what its controls see.
SIZE SizeOf(const TControl* control) {
    RECT place;
    if (!control->Parent()) {
        GetClientRect(Handle(control), &place);
        return {place.right, place.bottom};
    }
    GetWindowRect(Handle(control), &place);
    return {place.right - place.left, place.bottom - place.top};
}

// The size of the text in the control's font; wrapped at `wrapWidth` when it is above 0.
SIZE TextSize(HWND window, const std::string& text, int wrapWidth) {
    HDC dc = GetDC(window);
    HGDIOBJ old =
        SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageA(window, WM_GETFONT, 0, 0)));
    RECT bounds{0, 0, wrapWidth > 0 ? wrapWidth : 0, 0};
    DrawTextA(dc, text.c_str(), static_cast<int>(text.size()), &bounds,
              DT_CALCRECT | DT_NOPREFIX | (wrapWidth > 0 ? DT_WORDBREAK : DT_SINGLELINE));
    SelectObject(dc, old);
    ReleaseDC(window, dc);
    return {bounds.right - bounds.left, bounds.bottom - bounds.top};
}

} // namespace

namespace ui {

void NativeDeleter::operator()(Native* native) const {
    if (IsWindow(native->window)) {
        SetWindowLongPtrA(native->window, GWLP_USERDATA, 0);
        win32::ForgetForm(native->window);
        DestroyWindow(native->window);
    }
    if (native->font)
        DeleteObject(native->font);
    if (native->bitmap)
        DeleteObject(native->bitmap);
    delete native;
}

namespace win32 {

HWND Handle(const TControl* control) {
    return control->NativeObject().window;
}

TControl* ControlOf(HWND window) {
    return window ? reinterpret_cast<TControl*>(GetWindowLongPtrA(window, GWLP_USERDATA)) : nullptr;
}

HWND DialogOf(const TControl* control) {
    while (control->Parent())
        control = control->Parent();
    return Handle(control);
}

HFONT WindowFont(bool bold) {
    // 8 points at 96 dpi.
    static HFONT normal = CreateFontA(-11, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                                      OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                                      DEFAULT_PITCH | FF_SWISS, "MS Sans Serif");
    static HFONT heavy = CreateFontA(-11, 0, 0, 0, FW_BOLD, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                                     OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                                     DEFAULT_PITCH | FF_SWISS, "MS Sans Serif");
    return bold ? heavy : normal;
}

} // namespace win32

} // namespace ui

int TControl::Left() const {
    return PlaceInParent(this).left;
}
int TControl::Top() const {
    return PlaceInParent(this).top;
}
int TControl::Width() const {
    return SizeOf(this).cx;
}
int TControl::Height() const {
    return SizeOf(this).cy;
}
void TControl::SetBounds(int left, int top, int width, int height) {
    MoveWindow(Handle(this), NativeObject().originLeft + left, NativeObject().originTop + top,
               width, height, TRUE);
}

bool TControl::Enabled() const {
    return IsWindowEnabled(Handle(this));
}
void TControl::SetEnabled(bool enabled) {
    EnableWindow(Handle(this), enabled);
}
bool TControl::Visible() const {
    return IsWindowVisible(Handle(this));
}

void TControl::SetFont(const TFont& font) {
    HFONT made = CreateFontA(-font.pixelHeight, 0, 0, 0, font.bold ? FW_BOLD : FW_NORMAL, FALSE,
                             FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                             DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, font.name.c_str());
    SendMessageA(Handle(this), WM_SETFONT, reinterpret_cast<WPARAM>(made), TRUE);
    if (NativeObject().font)
        DeleteObject(NativeObject().font);
    NativeObject().font = made;
}

void TControl::SetTextColor(TColor color) {
    NativeObject().hasTextColor = true;
    NativeObject().textColor = RGB(color.red, color.green, color.blue);
    InvalidateRect(Handle(this), nullptr, TRUE);
}

void TControl::SetCursor(TCursor cursor) {
    NativeObject().cursor = cursor;
    // Shown at once when the pointer is over the control already.
    POINT pointer;
    if (GetCursorPos(&pointer) && WindowFromPoint(pointer) == Handle(this))
        ::SetCursor(LoadCursor(nullptr, cursor == TCursor::HourGlass ? IDC_WAIT : IDC_ARROW));
}

TButton::TButton(TControl* parent, const std::string& caption, int left, int top, int width,
                 int height)
    : TControl(parent) {
    Attach(MakeControl(this, parent, "BUTTON", caption, BS_PUSHBUTTON | WS_TABSTOP, 0, left, top,
                       width, height));
}

std::string TButton::Caption() const {
    return WindowText(Handle(this));
}

void TButton::Click() {
    if (Enabled())
        Clicked();
}

TCheckBox::TCheckBox(TControl* parent, const std::string& caption, int left, int top, int width,
                     int height)
    : TControl(parent) {
    Attach(MakeControl(this, parent, "BUTTON", caption, BS_AUTOCHECKBOX | WS_TABSTOP, 0, left, top,
                       width, height));
}

std::string TCheckBox::Caption() const {
    return WindowText(Handle(this));
}

bool TCheckBox::Checked() const {
    return SendMessageA(Handle(this), BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void TCheckBox::ShowChecked(bool checked) {
    // Sets the state without a BN_CLICKED notification.
    SendMessageA(Handle(this), BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
}

void TCheckBox::Click() {
    if (!Enabled())
        return;
    ShowChecked(!Checked());
    Clicked();
}

namespace {

// The label's own style bits: wrapped or not, left or centred; "&" is shown as it stands.
DWORD LabelStyle(bool wordWrap, TAlignment alignment) {
    if (alignment == TAlignment::Centre)
        return SS_CENTER | SS_NOPREFIX;
    return (wordWrap ? SS_LEFT : SS_LEFTNOWORDWRAP) | SS_NOPREFIX;
}

constexpr DWORD kLabelStyleMask = SS_TYPEMASK | SS_NOPREFIX;

} // namespace

TLabel::TLabel(TControl* parent, const std::string& caption, int left, int top, int width,
               int height, bool wordWrap)
    : TControl(parent) {
    Attach(MakeControl(this, parent, "STATIC", caption, LabelStyle(wordWrap, TAlignment::Left), 0,
                       left, top, width, height));
}

std::string TLabel::Caption() const {
    return WindowText(Handle(this));
}

void TLabel::SetAlignment(TAlignment alignment) {
    HWND window = Handle(this);
    const LONG_PTR style = GetWindowLongPtrA(window, GWL_STYLE);
    const bool wordWrap = (style & SS_TYPEMASK) != SS_LEFTNOWORDWRAP;
    SetWindowLongPtrA(window, GWL_STYLE,
                      (style & ~static_cast<LONG_PTR>(kLabelStyleMask)) |
                          LabelStyle(wordWrap, alignment));
    InvalidateRect(window, nullptr, TRUE);
}

void TLabel::SizeToText() {
    const SIZE size = TextSize(Handle(this), Caption(), 0);
    SetBounds(Left(), Top(), size.cx, size.cy);
}

void TLabel::WidenToText() {
    const SIZE size = TextSize(Handle(this), Caption(), 0);
    SetBounds(Left(), Top(), size.cx, Height());
}

TGroupBox::TGroupBox(TControl* parent, const std::string& caption, int left, int top, int width,
                     int height)
    : TControl(parent) {
    Attach(MakeControl(this, parent, "BUTTON", caption, BS_GROUPBOX, 0, left, top, width, height));
    // Beneath the controls placed in it, which are its siblings.
    SetWindowPos(Handle(this), HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

std::string TGroupBox::Caption() const {
    return WindowText(Handle(this));
}

TImage::TImage(TControl* parent, int left, int top, int width, int height) : TControl(parent) {
    Attach(MakeControl(this, parent, "STATIC", "", SS_BITMAP, 0, left, top, width, height));
}

void TImage::SetPicture(const TPicture& picture) {
    HWND window = Handle(this);
    const RECT place{Left(), Top(), Left() + Width(), Top() + Height()};
    // The program's pictures are bitmaps or, for the icon, an icon drawn at its large size.
    if (HBITMAP bitmap = ui::win32::LoadBitmapPicture(picture)) {
        SetWindowLongPtrA(window, GWL_STYLE,
                          (GetWindowLongPtrA(window, GWL_STYLE) & ~SS_TYPEMASK) | SS_BITMAP);
        SendMessageA(window, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(bitmap));
        if (NativeObject().bitmap)
            DeleteObject(NativeObject().bitmap);
        NativeObject().bitmap = bitmap;
    } else if (HICON icon = ui::win32::LoadIconPicture(picture, 32)) {
        SetWindowLongPtrA(window, GWL_STYLE,
                          (GetWindowLongPtrA(window, GWL_STYLE) & ~SS_TYPEMASK) | SS_ICON);
        SendMessageA(window, STM_SETIMAGE, IMAGE_ICON, reinterpret_cast<LPARAM>(icon));
    }
    // The static control sizes itself to the picture; the place stays the program's.
    SetBounds(place.left, place.top, place.right - place.left, place.bottom - place.top);
}

TProgressBar::TProgressBar(TControl* parent, int left, int top, int width, int height)
    : TControl(parent) {
    Attach(MakeControl(this, parent, PROGRESS_CLASSA, "", 0, 0, left, top, width, height));
    SendMessageA(Handle(this), PBM_SETRANGE32, 0, 100);
    SendMessageA(Handle(this), PBM_SETSTEP, 10, 0);
    SendMessageA(Handle(this), PBM_SETPOS, 0, 0);
}

int TProgressBar::Min() const {
    return static_cast<int>(SendMessageA(Handle(this), PBM_GETRANGE, TRUE, 0));
}
int TProgressBar::Max() const {
    return static_cast<int>(SendMessageA(Handle(this), PBM_GETRANGE, FALSE, 0));
}
int TProgressBar::Position() const {
    return static_cast<int>(SendMessageA(Handle(this), PBM_GETPOS, 0, 0));
}
void TProgressBar::SetNativeRange(int min, int max) {
    SendMessageA(Handle(this), PBM_SETRANGE32, min, max);
}
void TProgressBar::SetPosition(int position) {
    SendMessageA(Handle(this), PBM_SETPOS, position, 0);
}

TEdit::TEdit(TControl* parent, const std::string& text, int left, int top, int width, int height)
    : TControl(parent) {
    Attach(MakeControl(this, parent, "EDIT", text, ES_AUTOHSCROLL | WS_TABSTOP, WS_EX_CLIENTEDGE,
                       left, top, width, height));
    // No limit of its own: as long as the system allows.
    SendMessageA(Handle(this), EM_LIMITTEXT, 0, 0);
}

void TEdit::SetText(const std::string& text) {
    SetWindowTextA(Handle(this), text.c_str());
}

std::string TEdit::Text() const {
    return WindowText(Handle(this));
}

int TEdit::SelStart() const {
    DWORD start = 0;
    SendMessageA(Handle(this), EM_GETSEL, reinterpret_cast<WPARAM>(&start), 0);
    return static_cast<int>(start);
}

void TEdit::SetSelStart(int position) {
    SendMessageA(Handle(this), EM_SETSEL, position, position);
    SendMessageA(Handle(this), EM_SCROLLCARET, 0, 0);
}
