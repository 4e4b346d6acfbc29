#include "app/help_buttons.h"

#include "paths/help_viewer.h"

void ShowHelpContents() {
    ShowHelpTopic(HelpTopic::Contents);
}
