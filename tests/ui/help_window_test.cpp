#include "support/temp_folder.h"
#include "ui/application.h"
#include "ui/qt/help_window.h"
#include "ui/qt/window_font.h"
#include "ui/win_help.h"

#include <QFontInfo>
#include <QLineEdit>
#include <QScrollBar>
#include <QTest>
#include <QTextBlock>
#include <QTextBrowser>
#include <gtest/gtest.h>
#include <string>

namespace {

// A help file long enough that its second topic starts below the first screen.
std::string HelpText() {
    std::string text = "<html><body><h1>Contents</h1>";
    for (int i = 0; i < 200; ++i)
        text += "<p>Filler line " + std::to_string(i) + "</p>";
    text += "<h2><a name=\"context-1\"></a>The settings dialog</h2><p>Six folders.</p>";
    for (int i = 0; i < 200; ++i)
        text += "<p>More filler " + std::to_string(i) + "</p>";
    return text + "</body></html>";
}

// What a font draws like: its family and height.
std::string Look(const QFont& font) {
    const QFontInfo info(font);
    return info.family().toStdString() + " " + std::to_string(info.pixelSize()) + "px";
}

// The text of the first block shown at the top of the window.
std::string TopLine(QTextBrowser* browser) {
    return browser->cursorForPosition(QPoint(4, 4)).block().text().toStdString();
}

class HelpWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        Application.Initialize();
        testing_support::WriteFile(m_folder / "brisvan.hlp", HelpText());
        // The install folder as the App Paths entry gives it, joined with "\" by the program.
        m_helpFile = m_folder.Path() + "\\BRISVAN.HLP";
    }
    void TearDown() override { ui::HelpWindow::Quit(); }

    testing_support::TempFolder m_folder;
    std::string m_helpFile;
};

TEST_F(HelpWindowTest, ShowsTheContentsOrTheNumberedTopicOfTheFileNamedWindowsStyle) {
    ASSERT_EQ(ui::HelpWindow::Current(), nullptr);
    EXPECT_TRUE(WinHelpA(Application.Handle(), m_helpFile.c_str(), HELP_CONTEXT, 1));
    ui::HelpWindow* window = ui::HelpWindow::Current();
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(TopLine(window->Browser()), "The settings dialog");

    EXPECT_TRUE(WinHelpA(Application.Handle(), m_helpFile.c_str(), HELP_FINDER, 0));
    EXPECT_EQ(ui::HelpWindow::Current(), window) << "one help window, reused";
    EXPECT_EQ(window->Browser()->verticalScrollBar()->value(), 0);
    EXPECT_EQ(TopLine(window->Browser()), "Contents");

    // A number the file does not carry leaves the contents in view.
    EXPECT_TRUE(WinHelpA(Application.Handle(), m_helpFile.c_str(), HELP_CONTEXT, 7));
    EXPECT_EQ(TopLine(window->Browser()), "Contents");
}

TEST_F(HelpWindowTest, TheShippedHelpFileOpensTheSettingsTopicForTheSettingsDialog) {
    WinHelpA(Application.Handle(), BRISVANE_HELP_FILE, HELP_CONTEXT, 1);
    ASSERT_NE(ui::HelpWindow::Current(), nullptr);
    EXPECT_EQ(TopLine(ui::HelpWindow::Current()->Browser()),
              "The first run and the Settings dialog");
}

TEST_F(HelpWindowTest, IsWrittenInTheSystemsFontWhileControlsStartInTheWindowFont) {
    // A line edit lays out its text before any window's font reaches it.
    const QLineEdit edit;
    EXPECT_EQ(Look(edit.font()), Look(ui::WindowFont()));
    EXPECT_TRUE(WinHelpA(Application.Handle(), m_helpFile.c_str(), HELP_FINDER, 0));
    ASSERT_NE(ui::HelpWindow::Current(), nullptr);
    EXPECT_EQ(Look(ui::HelpWindow::Current()->Browser()->font()), Look(ui::SystemFont()));
    EXPECT_NE(Look(ui::SystemFont()), Look(ui::WindowFont()));
}

TEST_F(HelpWindowTest, AMissingFileIsSaidInTheWindow) {
    const std::string missing = m_folder.Path() + "\\gone\\brisvan.hlp";
    EXPECT_TRUE(WinHelpA(Application.Handle(), missing.c_str(), HELP_FINDER, 0));
    ui::HelpWindow* window = ui::HelpWindow::Current();
    ASSERT_NE(window, nullptr);
    const std::string shown = window->Browser()->toPlainText().toStdString();
    EXPECT_NE(shown.find("cannot be opened"), std::string::npos) << shown;
    EXPECT_NE(shown.find(missing), std::string::npos) << shown;
}

TEST_F(HelpWindowTest, QuitClosesTheWindowAndIsHarmlessWithoutOne) {
    EXPECT_TRUE(WinHelpA(Application.Handle(), "\\brisvan.hlp", HELP_QUIT, 0));
    EXPECT_EQ(ui::HelpWindow::Current(), nullptr);
    WinHelpA(Application.Handle(), m_helpFile.c_str(), HELP_FINDER, 0);
    ASSERT_NE(ui::HelpWindow::Current(), nullptr);
    EXPECT_TRUE(WinHelpA(Application.Handle(), m_helpFile.c_str(), HELP_QUIT, 0));
    EXPECT_EQ(ui::HelpWindow::Current(), nullptr);

    // Closed by the user from its title bar: gone too, and the next Help opens a new one.
    WinHelpA(Application.Handle(), m_helpFile.c_str(), HELP_FINDER, 0);
    ui::HelpWindow::Current()->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(ui::HelpWindow::Current(), nullptr);
}

} // namespace
