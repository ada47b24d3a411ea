#include "soak_ui.h"

#include <gtest/gtest.h>

#include "dialog_controller.h"
#include "test_clocks.h"

namespace zamel::soak {
namespace {

// A dialog on a one-second timer that ends after `ticks` ticks, or never (-1).
class TickingDialog final : public DialogController {
  public:
    TickingDialog(std::string caption, int ticks) : caption_(std::move(caption)), left_(ticks) {}
    std::string caption() const override { return caption_; }
    void onInit() override { startTimer(1, 1000); }
    void onTimer(int) override {
        if (left_ > 0 && --left_ == 0) endDialog(DialogResult::Ok);
    }
    void onCancel() override { endDialog(DialogResult::Cancel); }

  private:
    std::string caption_;
    int left_;
};

SoakUi::Answers answers(bool trusts) { return {"Base Map Only", trusts, "code.srec", "map.img"}; }

TEST(SoakUi, AnswersLikeACarefulUserAndKeepsEveryMessage) {
    testing::ManualClock clock;
    struct Case {
        bool trusts;
        const char* title;
        MessageButtons buttons;
        MessageAnswer expected;
    };
    const Case cases[] = {
        {false, "WARNING - FIRMWARE PROBLEM", MessageButtons::OkCancelDefaultCancel,
         MessageAnswer::Cancel},
        {true, "WARNING - FIRMWARE PROBLEM", MessageButtons::OkCancelDefaultCancel,
         MessageAnswer::Ok},
        {false, "Confirm", MessageButtons::OkCancel, MessageAnswer::Ok},
        {false, "Database", MessageButtons::OkCancelDefaultCancel, MessageAnswer::Ok},
        {false, "Upload", MessageButtons::YesNo, MessageAnswer::Yes},
        {false, "STATUS", MessageButtons::Ok, MessageAnswer::Ok},
    };
    for (const Case& c : cases) {
        SoakUi ui(clock, answers(c.trusts), nullptr);
        EXPECT_EQ(ui.messageBox("text", c.title, c.buttons, MessageIcon::None), c.expected)
            << c.title;
        ASSERT_EQ(ui.messages.size(), 1u);
        EXPECT_EQ(ui.messages[0].answer, c.expected);
    }
    SoakUi ui(clock, answers(false), nullptr);
    EXPECT_EQ(ui.openFile("Select code file", "hex", "", ""), "code.srec");
    EXPECT_EQ(ui.openFile("Select detail map file", "img", "", ""), "map.img");
    EXPECT_EQ(ui.openFile("Select data file", "bin", "", "nav415wo.bin"), "map.img");
    EXPECT_EQ(ui.openFile("Open", "bin", "", ""), std::nullopt);
}

TEST(SoakUi, GivesUpOnAWaitForTheReceiverButNeverOnAnUpload) {
    testing::ManualClock clock;
    SoakUi ui(clock, answers(false), nullptr);
    TickingDialog probe("Determing Upload Protocol", -1);
    EXPECT_EQ(ui.runModal(probe), DialogResult::Cancel);
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].title, SoakUi::kGaveUpTitle);

    // Two minutes of upload, watched all along: the user waits it out.
    std::int64_t lastSeenMs = -1;
    ui.setTransferWatch([&](int transfer, std::int64_t elapsedMs) {
        EXPECT_EQ(transfer, 1);
        lastSeenMs = elapsedMs;
    });
    TickingDialog upload("Upload status", 120);
    EXPECT_EQ(ui.runModal(upload), DialogResult::Ok);
    EXPECT_EQ(ui.messages.size(), 1u);
    EXPECT_GE(lastSeenMs, 119'000);
}

}  // namespace
}  // namespace zamel::soak
