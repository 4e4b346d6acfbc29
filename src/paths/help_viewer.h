// Opens the program's help at a topic, for the Help buttons of the pages and the settings
// dialog.
#pragma once

#include "paths/help_file.h"

// Reads the install folder afresh (raising for a non-string "Path" before any call), asks the
// WinHelp viewer first and, where WinHelpA reports failure, opens the same topic of the HTML
// help in the user's browser.
void ShowHelpTopic(HelpTopic topic);
