#include "scripted_ui.h"

#include <gtest/gtest.h>

#include "test_clocks.h"

namespace zamel::testing {
namespace {

// Ends with OK on the third tick of its one-second timer.
class CountingDialog : public DialogController {
public:
    std::string caption() const override { return "Counting"; }
    void onInit() override { startTimer(10, 1000); }
    void onTimer(int timerId) override {
        lastTimer = timerId;
        if (++ticks == 3) {
            stopTimer(10);
            endDialog(DialogResult::Ok);
        }
    }
    void onCancel() override {
        stopTimer(10);
        endDialog(DialogResult::Cancel);
    }
    int ticks = 0;
    int lastTimer = 0;
};

TEST(ScriptedUi, RunsControllerTimerUntilItEndsAndAdvancesTheClock) {
    ScriptedUi ui;
    ManualClock clock;
    const auto start = clock.calendarSeconds();
    ui.setClock(&clock);
    CountingDialog dialog;
    EXPECT_EQ(ui.runModal(dialog), DialogResult::Ok);
    EXPECT_EQ(dialog.ticks, 3);
    EXPECT_EQ(dialog.lastTimer, 10);
    EXPECT_EQ(clock.calendarSeconds() - start, 3);
}

TEST(ScriptedUi, TickHookCanPressCancel) {
    ScriptedUi ui;
    ui.setTickHook([](int tick) { return tick < 2; });
    CountingDialog dialog;
    EXPECT_EQ(ui.runModal(dialog), DialogResult::Cancel);
    EXPECT_EQ(dialog.ticks, 1);
}

TEST(ScriptedUi, AnswersScriptedQuestionsInOrder) {
    ScriptedUi ui;
    ui.expectMessage("Continue?", "Confirm", MessageIcon::Question, MessageAnswer::Cancel);
    ui.expectMessage("Done", "STATUS", MessageIcon::Information);
    EXPECT_EQ(ui.messageBox("Continue?", "Confirm", MessageButtons::OkCancel, MessageIcon::Question),
              MessageAnswer::Cancel);
    EXPECT_EQ(ui.messageBox("Done", "STATUS", MessageButtons::Ok, MessageIcon::Information),
              MessageAnswer::Ok);
    EXPECT_EQ(ui.pendingQuestions(), 0u);
}

TEST(ManualClock, CalendarSecondsFollowWallTimeDownToTheSecond) {
    ManualClock clock(12'999);
    EXPECT_EQ(clock.calendarSeconds(), 12);
    clock.advanceMs(1);
    EXPECT_EQ(clock.calendarSeconds(), 13);
}

}  // namespace
}  // namespace zamel::testing
