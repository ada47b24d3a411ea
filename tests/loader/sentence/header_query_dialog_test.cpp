#include "header_query_dialog.h"

#include <gtest/gtest.h>

#include <cstring>
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
using testing::replySentence;
using testing::ScriptedUi;
using testing::TempWorkDir;

// A receiver identified on COM2 at 9600 baud.
class HeaderQueryDialogTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(pty.ok());
        pty.holdSlave();
        ASSERT_TRUE(pty.linkAs(dir.path(), 2));
        ui.setClock(&clock);
        link.loadSettings();
        link.open(1, 9600, true);
        ASSERT_TRUE(link.portOpen);
    }

    void identifyAs(const std::string& versionBody) {
        const std::string reply = replySentence(versionBody);
        ASSERT_TRUE(pty.write(reply));
        testing::waitReceived(link, reply.size());
        ASSERT_EQ(link.pollReplies(), 1);
    }

    // Reads the queries sent since the last tick (one per header on opening,
    // two per header on every tick) and lets the answers arrive.
    void playReceiver(int tick) {
        const int headers = (link.hasPoiHeader ? 1 : 0) + (link.hasMapHeader ? 1 : 0);
        const std::size_t replied = receiver.answer(tick == 1 ? headers : 2 * headers);
        if (replied > 0) testing::waitReceived(link, replied);
    }

    TempWorkDir dir;
    PtyPair pty;
    ReceiverResponder receiver{pty, 9600};
    ManualClock clock;
    ScriptedUi ui;
    ReceiverLink link{ui, clock};
};

TEST_F(HeaderQueryDialogTest, EndsWhenTheMapHeaderArrives) {
    identifyAs("VER,033,V3.08");
    HeaderQueryDialog dialog(link, clock);
    EXPECT_EQ(dialog.caption(), "Determining Database Type");
    EXPECT_EQ(dialog.connectionText(), "Talvane on COM2");
    EXPECT_EQ(dialog.elapsedLabel(), "Elapsed Time");
    EXPECT_EQ(dialog.elapsedText(), "00:00:00");
    std::vector<std::string> elapsed;
    ui.setTickHook([&](int tick) {
        elapsed.push_back(dialog.elapsedText());
        if (tick == 3) receiver.setReply("CMD,MPH", "MPH,1,2,ALPS,4,2600000");
        playReceiver(tick);
        return true;
    });

    EXPECT_EQ(ui.runModal(dialog), DialogResult::Ok);

    EXPECT_EQ(ui.ticksRun(), 3);
    EXPECT_EQ(elapsed, (std::vector<std::string>{"00:00:00", "00:00:01", "00:00:02"}));
    EXPECT_EQ(std::string(link.mapHeader, 21), "1,2,ALPS,4,2600000*7B");
    EXPECT_TRUE(dialog.timers().empty());
    // The ending tick still shows the time and asks twice, as every tick does.
    EXPECT_EQ(dialog.elapsedText(), "00:00:03");
    receiver.answer(2);
    EXPECT_EQ(receiver.commandsSeen(), std::vector<std::string>(7, "CMD,MPH"));
}

TEST_F(HeaderQueryDialogTest, PoiReceiverWaitsForThePoiHeaderOnly) {
    identifyAs("VER,024,V2.00");
    std::string payload(ReceiverLink::kHeaderSize, 'D');
    receiver.setReply("CMD,PIH", "POI," + payload);
    HeaderQueryDialog dialog(link, clock);
    EXPECT_EQ(dialog.connectionText(), "NAV415/420 on COM2");
    ui.setTickHook([&](int tick) {
        playReceiver(tick);
        return true;
    });

    EXPECT_EQ(ui.runModal(dialog), DialogResult::Ok);

    EXPECT_EQ(ui.ticksRun(), 1);
    EXPECT_EQ(std::memcmp(link.poiHeader, payload.data(), payload.size()), 0);
    receiver.answer(2);
    EXPECT_EQ(receiver.commandsSeen(), std::vector<std::string>(3, "CMD,PIH"));
}

TEST_F(HeaderQueryDialogTest, ElapsedTimeShowsHoursOfTheDay) {
    identifyAs("VER,033,V3.08");
    HeaderQueryDialog dialog(link, clock);
    std::string shownOnThirdTick;
    ui.setTickHook([&](int tick) {
        if (tick == 1) clock.advanceMs((25 * 3600 + 61) * 1000);
        if (tick == 3) {
            shownOnThirdTick = dialog.elapsedText();
            return false;
        }
        playReceiver(tick);
        return true;
    });

    EXPECT_EQ(ui.runModal(dialog), DialogResult::Cancel);
    EXPECT_EQ(shownOnThirdTick, "01:01:03");
}

}  // namespace
}  // namespace zamel
