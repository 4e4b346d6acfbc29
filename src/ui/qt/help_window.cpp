#include "ui/qt/help_window.h"

#include "platform/local_path.h"
#include "ui/qt/window_font.h"

#include <QFile>
#include <QGuiApplication>
#include <QPointer>
#include <QScreen>
#include <QTextBlock>
#include <QTextBrowser>
#include <QTextDocument>
#include <QUrl>
#include <QVBoxLayout>
#include <algorithm>

namespace ui {

namespace {

QPointer<HelpWindow>& OpenWindow() {
    static QPointer<HelpWindow> window;
    return window;
}

QString Escaped(const std::string& text) {
    return QString::fromStdString(text).toHtmlEscaped();
}

constexpr int kWidth = 560;
constexpr int kHeight = 480;
// Room for the title bar and frame that the desktop adds, which is unknown until the window is
// first shown.
constexpr int kFrameAllowance = 40;

// Centred on the screen, made smaller where the screen is too small, so that the whole window
// and its title bar are on the screen.
void PlaceOnScreen(QWidget* window) {
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen)
        return;
    const QRect area = screen->availableGeometry();
    const int width = std::min(kWidth, area.width() - kFrameAllowance);
    const int height = std::min(kHeight, area.height() - kFrameAllowance);
    window->resize(width, height);
    // For a window, the position is that of its frame's top left corner.
    window->move(area.x() + (area.width() - width - kFrameAllowance) / 2,
                 area.y() + (area.height() - height - kFrameAllowance) / 2);
}

bool HasAnchor(const QTextDocument& document, const QString& name) {
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next())
        for (auto fragment = block.begin(); !fragment.atEnd(); ++fragment)
            if (fragment.fragment().charFormat().anchorNames().contains(name))
                return true;
    return false;
}

} // namespace

HelpWindow::HelpWindow(QWidget* owner) : QWidget(owner, Qt::Window) {
    // The owner only ties the window's life to the program; it is not modal to anything.
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle("Brisvane Help");
    setFont(SystemFont());
    PlaceOnScreen(this);
    m_browser = new QTextBrowser(this);
    m_browser->setOpenExternalLinks(true);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_browser);
}

HelpWindow* HelpWindow::Current() {
    return OpenWindow().data();
}

HelpWindow* HelpWindow::Open(HWND owner, const std::string& helpFile) {
    QPointer<HelpWindow>& window = OpenWindow();
    if (!window)
        window = new HelpWindow(reinterpret_cast<QWidget*>(owner));
    window->Load(helpFile);
    window->show();
    window->raise();
    window->activateWindow();
    return window;
}

bool HelpWindow::Load(const std::string& helpFile) {
    const QString path = QString::fromStdString(brisvane::platform::LocalPath(helpFile));
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        m_loadedFile.clear();
        m_browser->setHtml("<h2>Help is not available</h2><p>The help file <b>" +
                           Escaped(helpFile) +
                           "</b> cannot be opened: " + file.errorString().toHtmlEscaped() +
                           ".</p><p>Re-installing Brisvane puts it back.</p>");
        return false;
    }
    // Links between topics and to pictures resolve next to the file.
    m_browser->document()->setBaseUrl(QUrl::fromLocalFile(path));
    m_browser->setHtml(QString::fromUtf8(file.readAll()));
    m_loadedFile = helpFile;
    return true;
}

void HelpWindow::ShowContents(HWND owner, const std::string& helpFile) {
    HelpWindow* window = Open(owner, helpFile);
    window->m_browser->moveCursor(QTextCursor::Start);
    window->m_browser->ensureCursorVisible();
}

void HelpWindow::ShowContext(HWND owner, const std::string& helpFile, ULONG_PTR context) {
    HelpWindow* window = Open(owner, helpFile);
    const QString anchor = QString("context-%1").arg(context);
    window->m_browser->moveCursor(QTextCursor::Start);
    if (!HasAnchor(*window->m_browser->document(), anchor))
        return;
    window->m_browser->scrollToAnchor(anchor);
}

void HelpWindow::Quit() {
    // Not deleteLater: the program may be about to end, with no loop left to run it.
    delete OpenWindow().data();
}

BOOL ShowHelp(HWND owner, const std::string& helpFile, UINT command, ULONG_PTR data) {
    switch (command) {
    case HELP_FINDER:
        HelpWindow::ShowContents(owner, helpFile);
        return TRUE;
    case HELP_CONTEXT:
        HelpWindow::ShowContext(owner, helpFile, data);
        return TRUE;
    case HELP_QUIT:
        HelpWindow::Quit();
        return TRUE;
    default:
        return FALSE;
    }
}

} // namespace ui
