// MessageBoxA, answered by the backend. Without an owner the box leaves the program's windows
// usable while the caller waits for it; owned by the application window it disables them all.
#pragma once

#include "platform/win32.h"
#include "ui/seam.h"

#include <string>

int MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type);

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
