// The program's own help viewer, behind WinHelpA where no system help viewer exists: one
// window that shows the help file as HTML. A topic carries its context number as an anchor
// named "context-N" inside its heading: <h2><a name="context-1"></a>Title</h2>.
#pragma once

#include "platform/win32.h"

#include <QWidget>
#include <string>

class QTextBrowser;

namespace ui {

class HelpWindow : public QWidget {
    Q_OBJECT

public:
    // The open help window, or null.
    static HelpWindow* Current();

    // HELP_FINDER: the contents, from the top of the file.
    static void ShowContents(HWND owner, const std::string& helpFile);
    // HELP_CONTEXT: the topic with that number; the contents when the file has no such topic.
    static void ShowContext(HWND owner, const std::string& helpFile, ULONG_PTR context);
    // HELP_QUIT: closes the window this program opened, if any.
    static void Quit();

    QTextBrowser* Browser() const { return m_browser; }

private:
    explicit HelpWindow(QWidget* owner);
    static HelpWindow* Open(HWND owner, const std::string& helpFile);
    // False when the file could not be read; the window then says so instead.
    bool Load(const std::string& helpFile);

    QTextBrowser* m_browser;
    std::string m_loadedFile;
};

// What WinHelpA does when no test stands in: the three commands the program uses.
BOOL ShowHelp(HWND owner, const std::string& helpFile, UINT command, ULONG_PTR data);

} // namespace ui
