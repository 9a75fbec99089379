// The fake machine's screen and record: scripted boxes, the modal dialog driven
// synchronously, the progress bar as the control keeps it, and the call record.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/fake/fake_machine.h"
#include "platform/platform.h"

namespace {

using Strings = std::vector<std::string>;

class FakeScreen : public ::testing::Test {
protected:
    void SetUp() override { fake::Reset(); }
};

TEST_F(FakeScreen, BoxesTakeTheScriptedAnswersInOrderThenTheDefaults) {
    fake::ScriptBoxAnswer(platform::BoxAnswer::No);
    EXPECT_EQ(platform::ShowBox("Sure?", "Caption", platform::BoxButtons::YesNoQuestion), platform::BoxAnswer::No);
    EXPECT_EQ(platform::ShowBox("Sure?", "Caption", platform::BoxButtons::YesNoQuestion), platform::BoxAnswer::Yes);
    EXPECT_EQ(platform::ShowBox("Done", nullptr, platform::BoxButtons::Ok), platform::BoxAnswer::Ok);

    ASSERT_EQ(fake::Boxes().size(), 3u);
    EXPECT_TRUE(fake::Boxes()[0].hasCaption);
    EXPECT_FALSE(fake::Boxes()[2].hasCaption);
    EXPECT_EQ(fake::Boxes()[2].buttons, platform::BoxButtons::Ok);
    EXPECT_EQ(fake::CallsOf("MessageBox"), (Strings{"Caption|Sure?", "Caption|Sure?", "(null)|Done"}));
}

// A dialog procedure like the program's: on WM_INITDIALOG it finds the bar,
// shows itself and sends the command that does the work and ends the dialog.
int g_commandsSeen = 0;
uintptr_t g_lastWParam = 0;

intptr_t WorkingDialog(platform::Window dialog, unsigned message, uintptr_t wParam, intptr_t) {
    if (message == platform::kMsgInitDialog) {
        platform::Window bar = platform::GetDialogControl(dialog, 1000);
        EXPECT_NE(bar, nullptr);
        EXPECT_EQ(platform::GetDialogControl(dialog, 1001), nullptr);
        platform::ShowWindowNormal(dialog);
        platform::ProgressSetStep(bar, 3);
        platform::ProgressSetRange16(bar, 7);
        platform::SendDialogCommand(dialog, 0x11000);  // only the low word reaches the procedure
        for (int i = 0; i < 3; ++i) platform::ProgressStepIt(bar);
        return 0;
    }
    if (message == platform::kMsgCommand) {
        ++g_commandsSeen;
        g_lastWParam = wParam;
        platform::EndModalDialog(dialog, 42);
        return 1;
    }
    return 0;
}

intptr_t SilentDialog(platform::Window, unsigned, uintptr_t, intptr_t) {
    return 0;
}

TEST_F(FakeScreen, TheDialogRunsItsProcedureAndReturnsTheEndedResult) {
    g_commandsSeen = 0;
    EXPECT_EQ(platform::RunModalDialog(nullptr, 102, WorkingDialog), 42);
    EXPECT_EQ(g_commandsSeen, 1);
    EXPECT_EQ(g_lastWParam, 0x1000u);
    EXPECT_TRUE(fake::DialogShown());
    EXPECT_EQ(fake::Calls(), (Strings{"DialogBox 102", "ShowWindow", "SetStep 3", "SetRange 7", "DialogCommand 69632",
                                      "EndDialog 42", "StepIt", "StepIt", "StepIt"}));

    // 0 -> 3 -> 6 -> 9 is past 7: the control starts over.
    const fake::ProgressBar& bar = fake::Bar();
    EXPECT_EQ(bar.stepsTaken, 3);
    EXPECT_EQ(bar.position, 9);
    EXPECT_EQ(bar.visiblePosition, 0);
    EXPECT_EQ(bar.rangeUpper, 7u);
    EXPECT_EQ(bar.rangeMessages, 1);
    EXPECT_FALSE(bar.range32);
}

TEST_F(FakeScreen, ADialogNoOneEndsGivesMinusOne) {
    EXPECT_EQ(platform::RunModalDialog(nullptr, 102, SilentDialog), -1);
    EXPECT_FALSE(fake::DialogShown());

    // A new bar starts as Windows makes one.
    EXPECT_TRUE(fake::Bar().exists);
    EXPECT_EQ(fake::Bar().rangeUpper, 100u);
    EXPECT_EQ(fake::Bar().step, 10);
}

platform::Window g_barAfterward = nullptr;

intptr_t KeepingDialog(platform::Window dialog, unsigned message, uintptr_t, intptr_t) {
    if (message == platform::kMsgInitDialog) {
        g_barAfterward = platform::GetDialogControl(dialog, 1000);
        platform::ProgressSetRange32(g_barAfterward, 100000);
        platform::ProgressSetPos(g_barAfterward, 200000);
    }
    return 0;
}

TEST_F(FakeScreen, PositionIsClampedByTheControlAndMessagesAfterTheDialogChangeNothing) {
    platform::RunModalDialog(nullptr, 102, KeepingDialog);
    EXPECT_TRUE(fake::Bar().range32);
    EXPECT_EQ(fake::Bar().position, 200000);
    EXPECT_EQ(fake::Bar().visiblePosition, 100000);

    platform::ProgressStepIt(g_barAfterward);
    EXPECT_EQ(fake::Bar().stepsTaken, 0);
    EXPECT_EQ(fake::CallsOf("StepIt").size(), 1u);
}

TEST_F(FakeScreen, ProcessExitAndTheClockAreRecorded) {
    EXPECT_FALSE(platform::InitProgressControls("comctl32.dll"));
    EXPECT_FALSE(fake::CommonControlsInitialised());
    EXPECT_TRUE(platform::InitProgressControls("C:\\Windows\\System32\\COMCTL32.DLL"));
    EXPECT_TRUE(fake::CommonControlsInitialised());
    platform::Pause(500);
    platform::Pause(250);
    EXPECT_EQ(fake::PausedMilliseconds(), 750u);
    try {
        platform::ExitProcessWith(1602);
        FAIL() << "ExitProcessWith returned";
    } catch (const fake::ProcessExit& exit) {
        EXPECT_EQ(exit.code, 1602);
    }
    EXPECT_EQ(fake::Calls(), (Strings{"LoadLibrary comctl32.dll", "LoadLibrary C:\\Windows\\System32\\COMCTL32.DLL",
                                      "InitCommonControls", "Sleep 500", "Sleep 250", "ExitProcess 1602"}));
}

TEST_F(FakeScreen, CallsOfMatchesWholeWords) {
    platform::ProgressSetRange16(nullptr, 5);
    platform::ProgressSetRange32(nullptr, 70000);
    platform::ProgressStepIt(nullptr);
    EXPECT_EQ(fake::CallsOf("SetRange"), (Strings{"5"}));
    EXPECT_EQ(fake::CallsOf("SetRange32"), (Strings{"70000"}));
    EXPECT_EQ(fake::CallsOf("StepIt"), (Strings{""}));
    fake::ClearCalls();
    EXPECT_TRUE(fake::Calls().empty());
}

}  // namespace
