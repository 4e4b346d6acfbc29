#include "app/about_message.h"

#include "ui/message_box.h"

std::string AboutText() {
    return "Brisvane v1.02\n"
           "Copyright (c) 1999 Tessmark Software.\n"
           "All rights reserved.\n"
           "\n"
           "Address: 12 Harbour Lane, Port Example, EX1 2AB\n"
           "Web: www.tessmark.example\n"
           "E-mail: support@tessmark.example\n"
           "Fax: +1 555 0100 199";
}

void ShowAboutMessage() {
    MessageBoxA(nullptr, AboutText().c_str(), "Brisvane", MB_OK | MB_ICONINFORMATION);
}
