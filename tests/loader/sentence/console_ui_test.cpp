#include "console_ui.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "dialog_controller.h"
#include "test_clocks.h"

namespace zamel {
namespace {

using testing::ManualClock;

// Ends with OK after a given number of ticks of its one timer; none means never.
class CountingDialog final : public DialogController {
  public:
    explicit CountingDialog(int ticksToEnd, bool withTimer = true)
        : ticksToEnd_(ticksToEnd), withTimer_(withTimer) {}

    std::string caption() const override { return "Counting"; }
    void onInit() override {
        if (withTimer_) startTimer(7, 250);
    }
    void onTimer(int timerId) override {
        EXPECT_EQ(timerId, 7);
        if (++ticks_ == ticksToEnd_) {
            stopTimer(7);
            endDialog(DialogResult::Ok);
        }
    }
    void onCancel() override {
        cancelled_ = true;
        endDialog(DialogResult::Cancel);
    }

    // When asked to: changes on the second tick and again on the fourth.
    void reportRounds() { reports_ = true; }
    std::string report() const override {
        if (!reports_ || ticks_ < 2) return "";
        return ticks_ < 4 ? "round 1\nCOM1: no device" : "round 2";
    }

    int ticks() const { return ticks_; }
    bool cancelled() const { return cancelled_; }

  private:
    int ticksToEnd_;
    bool withTimer_;
    int ticks_ = 0;
    bool cancelled_ = false;
    bool reports_ = false;
};

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};

std::string contents(std::FILE* file) {
    std::rewind(file);
    std::string text;
    char buffer[256];
    std::size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, file)) > 0) text.append(buffer, n);
    return text;
}

class ConsoleUiTest : public ::testing::Test {
  protected:
    std::unique_ptr<std::FILE, FileCloser> out{std::tmpfile()};
    ManualClock clock;
};

TEST_F(ConsoleUiTest, MessagesArePrintedAndAnsweredFromTheDefault) {
    const struct {
        bool positive;
        MessageButtons buttons;
        MessageAnswer answer;
        const char* line;
    } cases[] = {
        {true, MessageButtons::Ok, MessageAnswer::Ok, "[ERROR] COULD NOT OPEN COM PORT -> OK\n"},
        {true, MessageButtons::YesNo, MessageAnswer::Yes,
         "[ERROR] COULD NOT OPEN COM PORT -> Yes\n"},
        {false, MessageButtons::YesNo, MessageAnswer::No,
         "[ERROR] COULD NOT OPEN COM PORT -> No\n"},
        {false, MessageButtons::OkCancel, MessageAnswer::Cancel,
         "[ERROR] COULD NOT OPEN COM PORT -> Cancel\n"},
        // A question whose default is Cancel is never answered OK unseen.
        {true, MessageButtons::OkCancelDefaultCancel, MessageAnswer::Cancel,
         "[ERROR] COULD NOT OPEN COM PORT -> Cancel\n"},
    };
    for (const auto& c : cases) {
        std::unique_ptr<std::FILE, FileCloser> file(std::tmpfile());
        ConsoleUi ui(file.get(), clock, {.answerPositive = c.positive});
        EXPECT_EQ(
            ui.messageBox("COULD NOT OPEN COM PORT", "ERROR", c.buttons, MessageIcon::Information),
            c.answer);
        EXPECT_EQ(contents(file.get()), c.line);
    }
}

TEST_F(ConsoleUiTest, ModalDialogSleepsItsTimerPeriodBetweenTicks) {
    ConsoleUi ui(out.get(), clock, {});
    CountingDialog dialog(3);
    EXPECT_EQ(ui.runModal(dialog), DialogResult::Ok);
    EXPECT_EQ(dialog.ticks(), 3);
    EXPECT_EQ(clock.sleptMs(), 750);
    ui.setStatusPane("Talvane");
    EXPECT_EQ(contents(out.get()), "[Counting]\nstatus: Talvane\n");
}

TEST_F(ConsoleUiTest, ReportIsPrintedEachTimeItChangesUpToTheEnd) {
    ConsoleUi ui(out.get(), clock, {});
    CountingDialog dialog(4);
    dialog.reportRounds();
    EXPECT_EQ(ui.runModal(dialog), DialogResult::Ok);
    EXPECT_EQ(contents(out.get()), "[Counting]\nround 1\nCOM1: no device\nround 2\n");
}

TEST_F(ConsoleUiTest, DialogThatCannotEndIsCancelled) {
    ConsoleUi limited(out.get(), clock, {.modalLimitMs = 1000});
    CountingDialog endless(-1);
    EXPECT_EQ(limited.runModal(endless), DialogResult::Cancel);
    EXPECT_TRUE(endless.cancelled());
    EXPECT_EQ(endless.ticks(), 4);

    ConsoleUi unlimited(out.get(), clock, {});
    CountingDialog timerless(1, false);
    EXPECT_EQ(unlimited.runModal(timerless), DialogResult::Cancel);
    EXPECT_TRUE(timerless.cancelled());
}

// A transfer as the console sees it: one tick a percentage from a list.
class SendingDialog final : public DialogController {
  public:
    explicit SendingDialog(std::vector<int> percents) : percents_(std::move(percents)) {}

    std::string caption() const override { return "Upload status"; }
    void onInit() override { startTimer(11, 100); }
    void onTimer(int) override {
        if (++ticks_ >= static_cast<int>(percents_.size())) endDialog(DialogResult::Ok);
    }
    void onCancel() override { endDialog(DialogResult::Cancel); }
    std::string progressText() const override { return "Uploading code file -  code.srec"; }
    int progressPercent() const override {
        return percents_[static_cast<std::size_t>(std::min<int>(ticks_, percents_.size() - 1))];
    }

  private:
    std::vector<int> percents_;
    int ticks_ = 0;
};

TEST_F(ConsoleUiTest, ProgressIsPrintedEveryTenPercentOrRewrittenOnATerminal) {
    const std::vector<int> percents = {0, 4, 9, 10, 15, 37, 38, 99, 100};
    const std::string line = "Uploading code file -  code.srec ";
    {
        std::unique_ptr<std::FILE, FileCloser> file(std::tmpfile());
        ConsoleUi ui(file.get(), clock, {});
        SendingDialog dialog(percents);
        EXPECT_EQ(ui.runModal(dialog), DialogResult::Ok);
        EXPECT_EQ(contents(file.get()), "[Upload status]\n" + line + "0%\n" + line + "10%\n" +
                                            line + "30%\n" + line + "90%\n" + line + "100%\n");
    }
    std::unique_ptr<std::FILE, FileCloser> file(std::tmpfile());
    ConsoleUi ui(file.get(), clock, {.terminal = true});
    SendingDialog dialog(percents);
    EXPECT_EQ(ui.runModal(dialog), DialogResult::Ok);
    std::string expected = "[Upload status]\n";
    for (const int percent : {0, 4, 9, 10, 15, 37, 38, 99, 100}) {
        char text[8];
        std::snprintf(text, sizeof text, "%3d%%", percent);
        expected += "\r" + line + text;
    }
    EXPECT_EQ(contents(file.get()), expected + "\n");
}

}  // namespace
}  // namespace zamel
