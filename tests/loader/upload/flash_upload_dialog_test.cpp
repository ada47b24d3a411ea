#include "flash_upload_dialog.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <vector>

#include "flash_map_dialog.h"
#include "package_state.h"
#include "pty_pair.h"
#include "receiver_link.h"
#include "scripted_ui.h"
#include "scripted_unit.h"
#include "test_clocks.h"

namespace zamel::testing {
namespace {

// A base-map upload in expert mode on a pseudo-terminal whose master plays the
// receiver's boot loader, the dialog driven tick by tick on a manual clock.
class FlashUploadDialogTest : public ::testing::Test {
  protected:
    FlashUploadDialogTest() {
        EXPECT_TRUE(pty.linkAs(dir.path(), 1));
        pty.holdSlave();
        ui.setClock(&clock);
        link.expertUpload = true;
        link.receiverClass = ReceiverClass::FlashMapping;
        link.dataSelected = true;
    }

    std::unique_ptr<FlashMapDialog> prepare(std::size_t mapBytes) {
        map = std::vector<std::uint8_t>(mapBytes, 0x3C);
        writeWholeFile("map.img", map);
        std::snprintf(link.dataPath, sizeof link.dataPath, "map.img");
        ui.expectChoice("UPLOAD FILE", "Upload File");
        // The boot loader greets while the probe waits.
        ui.setTickHook([this](int tick) {
            if (tick == 1) pty.write(std::vector<std::uint8_t>{0xAA});
            return true;
        });
        auto dialog = std::make_unique<FlashMapDialog>(link, ui, clock, package);
        EXPECT_TRUE(dialog->ready);
        return dialog;
    }

    // Ticks until the dialog ends, the unit answering what it was sent; from the end
    // frame on, its answers reach the loader only when `answerEnd` is set.
    void run(FlashUploadDialog& dialog, ScriptedUnit& unit, bool answerEnd = true) {
        dialog.onInit();
        // A boot loader greets until it is answered.
        pty.write(std::vector<std::uint8_t>{0xAA});
        for (int tick = 0; tick < 200 && !dialog.ended(); ++tick) {
            const auto replies = unit.take(pty.readFor(20));
            ASSERT_EQ(unit.fault(), "");
            if (!replies.empty() && (answerEnd || !unit.endSeen()))
                pty.write(replies);
            clock.advanceMs(FlashUploadDialog::kTimerPeriodMs);
            dialog.onTimer(FlashUploadDialog::kTimerId);
            maxProgress = std::max(maxProgress, dialog.progress);
        }
    }

    TempWorkDir dir;
    PtyPair pty;
    ManualClock clock;
    ScriptedUi ui;
    ReceiverLink link{ui, clock};
    PackageState package;
    std::vector<std::uint8_t> map;
    int maxProgress = 0;
};

TEST_F(FlashUploadDialogTest, GoodEndReportCompletesAtExactlyOneHundredPercent) {
    auto dialog = prepare(3961);  // two records, the second padded
    ScriptedUnit unit(true, 0);
    unit.setEndReport(0, 3962);
    run(*dialog, unit);
    EXPECT_TRUE(dialog->ended());
    EXPECT_EQ(dialog->result(), DialogResult::Ok);
    EXPECT_EQ(dialog->progress, 100);
    EXPECT_EQ(maxProgress, 100);
    EXPECT_EQ(dialog->percentText, "100%");
    EXPECT_EQ(unit.recordData().size(), 3962u);
}

TEST_F(FlashUploadDialogTest, EndReportThatDisagreesIsNotACompletedUpload) {
    struct Case {
        std::uint16_t checksum;
        std::uint32_t size;
        const char* text;
        const char* title;
    };
    for (const Case c : {Case{0, 3960, "Sent 4000 bytes\nUnit received 3960", "SIZE ERROR"},
                         Case{0x1a2b, 4000, "Non-zero checksum 1a2b", "CHECKSUM ERROR"}}) {
        auto dialog = prepare(4000);
        ScriptedUnit unit(true, 0);
        unit.setEndReport(c.checksum, c.size);
        ui.expectMessage(c.text, c.title, MessageIcon::Stop);
        run(*dialog, unit);
        EXPECT_EQ(dialog->result(), DialogResult::Cancel) << c.title;
        EXPECT_EQ(ui.pendingQuestions(), 0u);
    }
}

TEST_F(FlashUploadDialogTest, EndFrameNeverAcknowledgedIsNotACompletedUpload) {
    auto dialog = prepare(2000);
    ScriptedUnit unit(true, 0);
    unit.setEndReport(0, 2000);
    ui.expectMessage("The receiver did not confirm the end of the upload.\nThe upload may be "
                     "incomplete: upload the file again.",
                     "ERROR", MessageIcon::Stop);
    run(*dialog, unit, false);
    EXPECT_TRUE(dialog->ended());
    EXPECT_EQ(dialog->result(), DialogResult::Cancel);
    EXPECT_EQ(ui.pendingQuestions(), 0u);
}

}  // namespace
}  // namespace zamel::testing
