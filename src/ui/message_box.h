// MessageBoxA, answered by the backend. Without an owner the box leaves the program's windows
// usable while the caller waits for it; owned by the application window it disables them all.
#pragma once

#include "platform/win32.h"
#include "ui/seam.h"

#include <string>

namespace ui {
int CallMessageBox(HWND owner, LPCSTR text, LPCSTR caption, UINT type);
} // namespace ui

// Through the seam, so that a test can answer it; on Windows the seam's real call is the
// system's own (the backend reaches it as (MessageBoxA)(...), which this macro leaves alone).
#define MessageBoxA(owner, text, caption, type) ::ui::CallMessageBox(owner, text, caption, type)

namespace ui {

struct MessageBoxCall {
    HWND owner;
    std::string text;
    std::string caption;
    UINT type;
};

Seam<MessageBoxCall, int>& MessageBoxSeam();

class MessageBoxRecorder : public SeamRecorder<MessageBoxCall, int> {
public:
    MessageBoxRecorder() : SeamRecorder(MessageBoxSeam(), IDOK) {}
};

} // namespace ui
