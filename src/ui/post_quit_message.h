// PostQuitMessage: asks the message loop to end. The caller goes on to its end; the loop ends
// when it next fetches a message, with the exit code given here.
#pragma once

#include "platform/win32.h"
#include "ui/seam.h"

namespace ui {
void CallPostQuitMessage(int exitCode);
} // namespace ui

// Through the seam; see MessageBoxA in ui/message_box.h.
#define PostQuitMessage(exitCode) ::ui::CallPostQuitMessage(exitCode)

namespace ui {

struct QuitCall {
    int exitCode;
};

// The result is not used; a seam needs one.
Seam<QuitCall, int>& PostQuitMessageSeam();

class PostQuitMessageRecorder : public SeamRecorder<QuitCall, int> {
public:
    PostQuitMessageRecorder() : SeamRecorder(PostQuitMessageSeam(), 0) {}
};

} // namespace ui
