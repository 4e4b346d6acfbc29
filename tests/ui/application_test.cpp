#include "ui/application.h"
#include "ui/form.h"
#include "ui/guard.h"
#include "ui/message_box.h"
#include "ui/post_quit_message.h"

#include <QTimer>
#include <gtest/gtest.h>
#include <stdexcept>
#include <vector>

namespace {

class PlainForm : public TForm {
public:
    PlainForm() : TForm("Plain", 200, 150, biSystemMenu) {}
    void FormCreate() override {
        createdAsMain = Application.MainForm() == this;
        if (failOnCreate)
            throw std::runtime_error("Could not create");
    }
    static inline bool failOnCreate = false;
    bool createdAsMain = false;
};

class ApplicationTest : public ::testing::Test {
protected:
    void SetUp() override {
        Application.Initialize();
        Application.SetTitle("Brisvane");
    }
    void TearDown() override { Application.DestroyForms(); }

    // The references outlive the windows, as the program's globals do.
    PlainForm* first = nullptr;
    PlainForm* second = nullptr;
};

TEST_F(ApplicationTest, ErrorReportAppendsAFullStopAlwaysAndIsOwnedByTheApplication) {
    ui::MessageBoxRecorder boxes;
    Application.ShowException(std::runtime_error("Failed to set data for 'Cookies'"));
    Application.ShowException(std::runtime_error("Already ends in one."));

    ASSERT_EQ(boxes.Count(), 2u);
    EXPECT_EQ(boxes.Calls()[0].text, "Failed to set data for 'Cookies'.");
    EXPECT_EQ(boxes.Calls()[1].text, "Already ends in one..");
    EXPECT_EQ(boxes.Calls()[0].caption, "Brisvane");
    EXPECT_EQ(boxes.Calls()[0].type, MB_OK | MB_ICONERROR);
    EXPECT_EQ(boxes.Calls()[0].owner, Application.Handle());
    EXPECT_NE(Application.Handle(), nullptr);
}

TEST_F(ApplicationTest, GuardReportsAnEscapingErrorOnceAndLetsTheCallerGoOn) {
    ui::MessageBoxRecorder boxes;
    std::vector<int> steps;
    ui::Guard([&] {
        steps.push_back(1);
        throw std::runtime_error("Invalid data type for 'Path'");
        steps.push_back(2);
    });
    steps.push_back(3);
    ui::Guard([] { throw 42; });

    EXPECT_EQ(steps, (std::vector<int>{1, 3}));
    ASSERT_EQ(boxes.Count(), 2u);
    EXPECT_EQ(boxes.Calls()[0].text, "Invalid data type for 'Path'.");
    EXPECT_EQ(boxes.Calls()[1].text, "Unknown error.");
}

TEST_F(ApplicationTest, CreateFormSetsTheReferenceAndMakesTheFirstFormTheMainWindow) {
    Application.CreateForm(first);
    Application.CreateForm(second);

    ASSERT_NE(first, nullptr);
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(Application.MainForm(), first);
    EXPECT_TRUE(first->createdAsMain);
    EXPECT_FALSE(second->createdAsMain);
    EXPECT_FALSE(first->Visible());

    Application.DestroyForms();
    EXPECT_EQ(first, nullptr);
    EXPECT_EQ(second, nullptr);
    EXPECT_EQ(Application.MainForm(), nullptr);
}

TEST_F(ApplicationTest, AnErrorInACreationHandlerIsReportedAndTheFormStillExists) {
    ui::MessageBoxRecorder boxes;
    PlainForm::failOnCreate = true;
    Application.CreateForm(first);
    PlainForm::failOnCreate = false;

    ASSERT_EQ(boxes.Count(), 1u);
    EXPECT_EQ(boxes.Last().text, "Could not create.");
    EXPECT_EQ(Application.MainForm(), first);
}

TEST_F(ApplicationTest, RunShowsTheMainWindowAndEndsWhenTerminateIsHandled) {
    Application.CreateForm(first);
    bool visibleInLoop = false;
    bool handlerWentOn = false;
    QTimer::singleShot(0, [&] {
        visibleInLoop = first->Visible();
        Application.Terminate();
        handlerWentOn = true;
        EXPECT_TRUE(Application.Terminated());
    });

    EXPECT_EQ(Application.Run(), 0);
    EXPECT_TRUE(visibleInLoop);
    EXPECT_TRUE(handlerWentOn);
}

TEST_F(ApplicationTest, AQuitPostedBeforeTheLoopEndsItAtOnceWithItsCode) {
    Application.CreateForm(first);
    PostQuitMessage(3);
    EXPECT_EQ(Application.Run(), 3);
    // The quit message was used up; a later loop runs until asked again.
    QTimer::singleShot(0, [] { PostQuitMessage(0); });
    EXPECT_EQ(Application.Run(), 0);
}

TEST_F(ApplicationTest, TerminateGoesThroughPostQuitMessageWithExitCodeZero) {
    ui::PostQuitMessageRecorder quits;
    Application.Terminate();
    ASSERT_EQ(quits.Count(), 1u);
    EXPECT_EQ(quits.Last().exitCode, 0);
    EXPECT_FALSE(Application.Terminated());
}

} // namespace
