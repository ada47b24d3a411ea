#include "identification_sequence.h"

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
using testing::ScriptedUi;
using testing::TempWorkDir;

// A receiver on COM1 at 4800 baud, the first probe of the connect dialog.
class IdentificationSequenceTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(pty.ok());
        pty.holdSlave();
        ASSERT_TRUE(pty.linkAs(dir.path(), 1));
        ui.setClock(&clock);
        link.loadSettings();
        receiver.setReply("CMD,MEMORY", "MEM,1,5,3");
    }

    // Plays the receiver through both dialogs; the header query starts when the
    // tick count starts again at 1, with the connect dialog's last two queries
    // still to answer. A tick number cancels the header query there.
    void playReceiver(int cancelHeaderQueryAtTick = 0) {
        ui.setTickHook([this, cancelHeaderQueryAtTick](int tick) {
            if (tick == 1) ++dialogsRun;
            if (dialogsRun == 1) {
                if (tick > 1 && link.portOpen) answer(2);
                return true;
            }
            if (tick == cancelHeaderQueryAtTick) return false;
            const int headers = (link.hasPoiHeader ? 1 : 0) + (link.hasMapHeader ? 1 : 0);
            answer(tick == 1 ? 2 + headers : 2 * headers);
            return true;
        });
    }

    void answer(int sentences) {
        const std::size_t replied = receiver.answer(sentences);
        if (replied > 0) testing::waitReceived(link, replied);
    }

    TempWorkDir dir;
    PtyPair pty;
    ReceiverResponder receiver{pty, 4800};
    ManualClock clock;
    ScriptedUi ui;
    ReceiverLink link{ui, clock};
    int dialogsRun = 0;
};

TEST_F(IdentificationSequenceTest, MapHeaderDecidesBetweenTalvaneAndThePlainModel) {
    const struct {
        const char* mapHeader;
        IdentificationSteps steps;
        ReceiverClass receiverClass;
        std::vector<std::string> status;
    } cases[] = {
        {"MPH,1,2,ALPS,4,2499999",
         IdentificationSteps::All,
         ReceiverClass::FlashPlain,
         {"Talvane", "Talvane GPS"}},
        {"MPH,1,2,ALPS,4,2500000",
         IdentificationSteps::All,
         ReceiverClass::FlashMapping,
         {"Talvane"}},
        {"MPH,1,2,ALPS,4,2499999",
         IdentificationSteps::DialogsOnly,
         ReceiverClass::FlashMapping,
         {"Talvane"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.mapHeader);
        // A receiver of its own for each case: the queries an earlier case's last
        // tick sent must not be taken for this one's.
        TempWorkDir caseDir;
        PtyPair casePty;
        casePty.holdSlave();
        ASSERT_TRUE(casePty.linkAs(caseDir.path(), 1));
        ScriptedUi caseUi;
        caseUi.setClock(&clock);
        ReceiverLink caseLink(caseUi, clock);
        caseLink.loadSettings();
        ReceiverResponder caseReceiver(casePty, 4800);
        caseReceiver.setReply("CMD,VERSION", "VER,033,V3.08");
        caseReceiver.setReply("CMD,MPH", c.mapHeader);
        int dialogs = 0;
        caseUi.setTickHook([&](int tick) {
            if (tick == 1) ++dialogs;
            const int sentences = dialogs == 1 ? (tick > 1 ? 2 : 0) : (tick == 1 ? 3 : 2);
            const std::size_t replied = sentences > 0 ? caseReceiver.answer(sentences) : 0;
            if (replied > 0) testing::waitReceived(caseLink, replied);
            return true;
        });

        EXPECT_TRUE(identifyReceiver(caseLink, caseUi, clock, c.steps));
        EXPECT_EQ(caseLink.receiverClass, c.receiverClass);
        EXPECT_EQ(caseUi.statusTexts(), c.status);
        EXPECT_EQ(dialogs, 2);
    }
}

TEST_F(IdentificationSequenceTest, UnsupportedReceiverIsReportedAndNotQueried) {
    receiver.setReply("CMD,VERSION", "VER,099,V1.00");
    ui.expectMessage("UNSUPPORTED RECEIVER", "ERROR", MessageIcon::Information);
    playReceiver();

    EXPECT_FALSE(identifyReceiver(link, ui, clock));

    EXPECT_EQ(ui.pendingQuestions(), 0u);
    EXPECT_EQ(ui.statusTexts(), std::vector<std::string>{"Connected receiver not supported"});
    EXPECT_EQ(dialogsRun, 1);
    EXPECT_EQ(link.receiverClass, ReceiverClass::Unsupported);
}

TEST_F(IdentificationSequenceTest, CancelledHeaderQueryFailsButAnEarlierMapHeaderStillCounts) {
    receiver.setReply("CMD,VERSION", "VER,033,V3.08");
    std::strcpy(link.mapHeader, "1,2,ALPS,4,1000");
    link.autoMode = true;
    playReceiver(1);

    EXPECT_FALSE(identifyReceiver(link, ui, clock));

    EXPECT_EQ(dialogsRun, 2);
    EXPECT_FALSE(link.autoMode);
    EXPECT_EQ(link.receiverClass, ReceiverClass::FlashPlain);
}

TEST_F(IdentificationSequenceTest, CancelledConnectFailsWithoutMessages) {
    link.autoMode = true;
    ui.setTickHook([](int tick) { return tick < 3; });

    EXPECT_FALSE(identifyReceiver(link, ui, clock));

    EXPECT_TRUE(ui.statusTexts().empty());
    EXPECT_FALSE(link.autoMode);
    EXPECT_EQ(link.receiverClass, ReceiverClass::NotIdentified);
}

}  // namespace
}  // namespace zamel
