#include "ui/message_box.h"

#include "ui/application.h"
#include "ui/form.h"

#include <vector>

namespace {

// A box owned by the hidden application window keeps every window of the program from input
// until it is answered; the system disables only the owner itself.
int ShowSystemMessageBox(const ui::MessageBoxCall& call) {
    std::vector<HWND> disabled;
    if (call.owner && call.owner == Application.Handle()) {
        for (const TForm* form : Application.Forms()) {
            HWND window = form->Handle();
            if (IsWindowVisible(window) && IsWindowEnabled(window)) {
                EnableWindow(window, FALSE);
                disabled.push_back(window);
            }
        }
    }
    const int answer =
        (MessageBoxA)(call.owner, call.text.c_str(), call.caption.c_str(), call.type);
    for (HWND window : disabled)
        EnableWindow(window, TRUE);
    return answer;
}

} // namespace

namespace ui {

Seam<MessageBoxCall, int>& MessageBoxSeam() {
    static Seam<MessageBoxCall, int> seam(ShowSystemMessageBox);
    return seam;
}

} // namespace ui
