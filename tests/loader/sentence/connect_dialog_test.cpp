#include "connect_dialog.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "pty_pair.h"
#include "receiver_link.h"
#include "receiver_responder.h"
#include "scripted_ui.h"
#include "test_clocks.h"

namespace zamel {
namespace {

using testing::ManualClock;
using testing::PtyPair;
using testing::ReceiverResponder;
using testing::ScriptedUi;
using testing::TempWorkDir;

constexpr long kSilent = 0;  // a rate no probe uses: the responder never answers

std::string probeText(int com, long rate) {
    char text[64];
    std::snprintf(text, sizeof text, "Using COM%d at %ld baud", com, rate);
    return text;
}

// What the upper field shows on each tick while nobody answers: ports that open
// keep each rate for two ticks, the missing COM2 for one.
std::vector<std::string> silentProbeTexts() {
    std::vector<std::string> texts;
    for (int com = 1; com <= 4; ++com)
        for (long rate : {4800L, 9600L, 19200L, 1200L})
            for (int tick = 0; tick < (com == 2 ? 1 : 2); ++tick)
                texts.push_back(probeText(com, rate));
    return texts;
}

// COM1 and COM4 silent ptys, COM2 a link to nothing, COM3 a receiver that
// answers only at 19200 baud.
class ConnectDialogTest : public ::testing::Test {
  protected:
    void SetUp() override {
        for (auto* pty : {&com1, &com3, &com4}) {
            ASSERT_TRUE(pty->ok());
            pty->holdSlave();
        }
        ASSERT_TRUE(com1.linkAs(dir.path(), 1));
        ASSERT_TRUE(com3.linkAs(dir.path(), 3));
        ASSERT_TRUE(com4.linkAs(dir.path(), 4));
        ASSERT_EQ(::symlink((dir.path() + "/absent-tty").c_str(), "COM2"), 0);
        ui.setClock(&clock);
        link.loadSettings();
    }

    // Plays every port's far end before a tick: reads the two queries the
    // previous tick sent (none before the first) and lets the reply arrive.
    void playReceivers(int tick, ConnectDialog& dialog) {
        shown.push_back(dialog.portText());
        if (tick == 1 || !link.portOpen) return;
        ReceiverResponder* responders[] = {&silent1, nullptr, &receiver3, &silent4};
        ReceiverResponder* responder = responders[link.comIndex];
        ASSERT_NE(responder, nullptr);
        const std::size_t replied = responder->answer(2);
        if (replied > 0) testing::waitReceived(link, replied);
    }

    TempWorkDir dir;
    PtyPair com1;
    PtyPair com3;
    PtyPair com4;
    ReceiverResponder silent1{com1, kSilent};
    ReceiverResponder receiver3{com3, 19200};
    ReceiverResponder silent4{com4, kSilent};
    ManualClock clock;
    ScriptedUi ui;
    ReceiverLink link{ui, clock};
    std::vector<std::string> shown;
};

TEST_F(ConnectDialogTest, FindsTheReceiverOnCom3At19200) {
    receiver3.setReply("CMD,VERSION", "VER,033,V3.08");
    receiver3.setReply("CMD,MEMORY", "MEM,1,5,3");
    ConnectDialog dialog(link);
    EXPECT_EQ(dialog.caption(), "Establishing Communication with Receiver");
    EXPECT_EQ(dialog.promptText(), "Power on GPS unit");
    std::map<int, int> timers;
    ui.setTickHook([&](int tick) {
        if (tick == 1) timers = dialog.timers();
        playReceivers(tick, dialog);
        return true;
    });

    EXPECT_EQ(ui.runModal(dialog), DialogResult::Ok);

    EXPECT_EQ(timers, (std::map<int, int>{{10, 1000}}));

    std::vector<std::string> expected = silentProbeTexts();
    expected.resize(16);  // COM1 8 ticks, COM2 4, COM3 at 4800 and 9600 4
    expected.push_back(probeText(3, 19200));
    EXPECT_EQ(shown, expected);
    EXPECT_EQ(link.comIndex, 2);
    EXPECT_EQ(link.baud, 19200);
    EXPECT_EQ(link.receiverClass, ReceiverClass::FlashMapping);
    EXPECT_STREQ(link.modelName, "Talvane");
    EXPECT_EQ(link.firmwareMajor, 3);
    EXPECT_EQ(link.firmwareMinor, 8);
    EXPECT_TRUE(dialog.timers().empty());
    // COM3 heard both queries at each rate it was probed at, and once more on
    // the tick that ended the dialog.
    const std::vector<std::string> pair = {"CMD,VERSION", "CMD,MEMORY"};
    std::vector<std::string> heard;
    for (int i = 0; i < 5; ++i) heard.insert(heard.end(), pair.begin(), pair.end());
    EXPECT_EQ(receiver3.commandsSeen(), heard);
    receiver3.answer(2);
    heard.insert(heard.end(), pair.begin(), pair.end());
    EXPECT_EQ(receiver3.commandsSeen(), heard);
}

TEST_F(ConnectDialogTest, WithNobodyAnsweringItCyclesAllPortsUntilCancelled) {
    const std::vector<std::string> cycle = silentProbeTexts();
    const int cancelTick = static_cast<int>(cycle.size()) + 3;
    ConnectDialog dialog(link);
    link.autoMode = true;
    std::vector<std::string> reports;
    ui.setTickHook([&](int tick) {
        playReceivers(tick, dialog);
        reports.push_back(dialog.report());
        return tick < cancelTick;
    });

    EXPECT_EQ(ui.runModal(dialog), DialogResult::Cancel);

    std::vector<std::string> expected = cycle;
    expected.insert(expected.end(), cycle.begin(), cycle.begin() + 3);  // back at COM1
    EXPECT_EQ(shown, expected);
    // Said once the round is over, and kept while the next one runs.
    const auto through = [](int com, const std::string& device) {
        return "COM" + std::to_string(com) + " " + device + " (through COM" + std::to_string(com) +
               " in the working directory): ";
    };
    const std::string report = "No answer in round 1; still searching:\n" +
                               through(1, com1.slavePath()) + "opened, no answer at any rate\n" +
                               through(2, dir.path() + "/absent-tty") + "no device\n" +
                               through(3, com3.slavePath()) + "opened, no answer at any rate\n" +
                               through(4, com4.slavePath()) + "opened, no answer at any rate";
    std::vector<std::string> expectedReports(cycle.size(), "");
    expectedReports.resize(cycle.size() + 3, report);
    EXPECT_EQ(reports, expectedReports);
    EXPECT_EQ(dialog.roundsWithoutAnswer(), 1);
    EXPECT_EQ(dialog.deviceText(), through(1, com1.slavePath()) + "opened");
    EXPECT_FALSE(link.autoMode);
    EXPECT_TRUE(dialog.timers().empty());
    EXPECT_EQ(link.receiverClass, ReceiverClass::NotIdentified);
}

}  // namespace
}  // namespace zamel
