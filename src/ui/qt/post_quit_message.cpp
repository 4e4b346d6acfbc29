#include "ui/post_quit_message.h"

#include "ui/application.h"

namespace ui {

Seam<QuitCall, int>& PostQuitMessageSeam() {
    static Seam<QuitCall, int> seam([](const QuitCall& call) {
        Application.QuitMessagePosted(call.exitCode);
        return 0;
    });
    return seam;
}

} // namespace ui
