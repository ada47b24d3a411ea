#include "protocol_probe_dialog.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <map>
#include <memory>

#include "posix_serial_device.h"
#include "pty_pair.h"
#include "receiver_link.h"
#include "scripted_ui.h"
#include "serial_stream.h"
#include "test_clocks.h"

namespace zamel::testing {
namespace {

class ProtocolProbeDialogTest : public ::testing::Test {
  protected:
    ProtocolProbeDialogTest() {
        EXPECT_TRUE(pty.linkAs(dir.path(), 1));
        ui.setClock(&clock);
        link.comIndex = 0;
        link.baud = 4800;
        std::strcpy(link.modelName, "Talvane");
    }

    // The unit writes; returns once the loader's open port holds the bytes.
    void unitSends(const std::vector<std::uint8_t>& bytes) {
        ASSERT_TRUE(link.portOpen);
        ASSERT_TRUE(pty.write(bytes));
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
        while (link.port->receiveCount() < static_cast<int>(bytes.size())) {
            ASSERT_LT(std::chrono::steady_clock::now(), deadline) << "the port never got the bytes";
            link.portDevice->waitReadable(10);
        }
    }

    TempWorkDir dir;
    PtyPair pty;
    ManualClock clock;
    ScriptedUi ui;
    ReceiverLink link{ui, clock};
};

TEST_F(ProtocolProbeDialogTest, ShowsModelPortAndElapsedTime) {
    link.comIndex = 0;
    ProtocolProbeDialog dialog(link, clock);
    EXPECT_EQ(dialog.caption(), "Determing Upload Protocol");
    EXPECT_EQ(dialog.connectionText(), "Talvane on COM1");
    EXPECT_EQ(dialog.elapsedText(), "00:00:00");
    EXPECT_STREQ(ProtocolProbeDialog::kInstruction,
                 "If unit comes out of software upload mode \"cancel\" and restart");
    dialog.onInit();
    EXPECT_EQ(dialog.timers().at(10), 1000);
    struct Case {
        std::int64_t seconds;
        const char* text;
    };
    std::int64_t elapsed = 0;
    for (const Case c : {Case{59, "00:00:59"}, Case{3725, "01:02:05"}, Case{36000, "10:00:00"}}) {
        clock.advanceMs((c.seconds - elapsed) * 1000);
        elapsed = c.seconds;
        dialog.onTimer(10);
        EXPECT_EQ(dialog.elapsedText(), c.text);
    }
}

TEST_F(ProtocolProbeDialogTest, OpensAtFastRateAndAlternatesEverySecondTick) {
    ProtocolProbeDialog dialog(link, clock);
    ASSERT_TRUE(link.portOpen);
    EXPECT_EQ(pty.baud(), 115200);
    std::map<int, long> rateBeforeTick;
    ui.setTickHook([&](int tick) {
        rateBeforeTick[tick] = pty.baud();
        // A stray byte, then the greeting, in the second after the third switch.
        if (tick == 7) unitSends({0x10, 0xAA});
        return true;
    });
    EXPECT_EQ(ui.runModal(dialog), DialogResult::Ok);
    EXPECT_EQ(ui.ticksRun(), 7);
    const std::map<int, long> expected{{1, 115200}, {2, 115200}, {3, 19200}, {4, 19200},
                                       {5, 115200}, {6, 115200}, {7, 19200}};
    EXPECT_EQ(rateBeforeTick, expected);
    EXPECT_EQ(pty.baud(), 19200) << "the port stays at the rate the greeting came at";
    EXPECT_EQ(link.baud, 19200);
    EXPECT_EQ(link.port->receiveCount(), 0) << "the greeting is consumed";
    EXPECT_TRUE(dialog.timers().empty());
    EXPECT_EQ(dialog.elapsedText(), "00:00:07");
}

TEST_F(ProtocolProbeDialogTest, RecordWaitByteAlsoEndsIt) {
    ProtocolProbeDialog dialog(link, clock);
    ui.setTickHook([&](int tick) {
        if (tick == 1) unitSends({0x77, 0x55});
        return true;
    });
    EXPECT_EQ(ui.runModal(dialog), DialogResult::Ok);
    EXPECT_EQ(ui.ticksRun(), 1);
    EXPECT_EQ(link.baud, 115200);
    EXPECT_EQ(link.port->receiveCount(), 1) << "bytes after the greeting are left for the engine";
}

TEST_F(ProtocolProbeDialogTest, CancelClearsAutoMode) {
    link.autoMode = true;
    ProtocolProbeDialog dialog(link, clock);
    ui.setTickHook([](int tick) { return tick < 3; });
    EXPECT_EQ(ui.runModal(dialog), DialogResult::Cancel);
    EXPECT_FALSE(link.autoMode);
    EXPECT_TRUE(dialog.timers().empty());
}

TEST_F(ProtocolProbeDialogTest, PortThatCannotBeOpenedIsTriedAgainEveryTick) {
    // Another owner holds COM1, so every open fails until it lets go.
    auto holder = std::make_unique<PosixSerialDevice>(0, 4096, 2048);
    ASSERT_TRUE(holder->isOpen());
    ProtocolProbeDialog dialog(link, clock);
    EXPECT_FALSE(link.portOpen);
    EXPECT_TRUE(link.openFailed);
    ui.setTickHook([&](int tick) {
        EXPECT_EQ(link.portOpen, tick > 3) << "tick " << tick;
        if (tick == 3) holder.reset();
        if (tick == 4) unitSends({0xAA});
        return true;
    });
    EXPECT_EQ(ui.runModal(dialog), DialogResult::Ok);
    EXPECT_EQ(ui.ticksRun(), 4);
    EXPECT_EQ(link.baud, 19200) << "the retry uses the rate due at that tick";
    EXPECT_TRUE(ui.askedTexts().empty()) << "no message box while probing";
}

}  // namespace
}  // namespace zamel::testing
