#include "receiver_link.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstring>
#include <string>
#include <vector>

#include "pty_pair.h"
#include "receiver_responder.h"
#include "scripted_ui.h"
#include "test_clocks.h"

namespace zamel {
namespace {

using testing::ManualClock;
using testing::PtyPair;
using testing::replySentence;
using testing::ScriptedUi;
using testing::TempWorkDir;

// The link on COM1, whose far end the test plays.
class ReceiverLinkTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(pty.ok());
        pty.holdSlave();
        ASSERT_TRUE(pty.linkAs(dir.path(), 1));
        link.loadSettings();
        link.open(0, 4800, true);
        ASSERT_TRUE(link.portOpen);
    }

    // The receiver sends bytes; the link polls once they have arrived.
    std::int32_t receive(const std::string& bytes) {
        EXPECT_TRUE(pty.write(bytes));
        testing::waitReceived(link, bytes.size());
        return link.pollReplies();
    }

    std::string sent(std::size_t n) {
        const auto bytes = pty.readExactly(n, 2000);
        return std::string(bytes.begin(), bytes.end());
    }

    TempWorkDir dir;
    PtyPair pty;
    ManualClock clock;
    ScriptedUi ui;
    ReceiverLink link{ui, clock};
};

TEST_F(ReceiverLinkTest, CommandsCarryTheXorOfPrefixAndBody) {
    const struct {
        const char* body;
        const char* digits;
    } cases[] = {{"CMD,VERSION", "33"}, {"CMD,MEMORY", "68"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.body);
        link.sendCommand(c.body);
        const std::string expected = std::string("$PQVX") + c.body + "*" + c.digits + "\r\n";
        EXPECT_EQ(sent(expected.size()), expected);
    }
}

TEST_F(ReceiverLinkTest, ChecksumIsCheckedInEitherCaseAndWithOrWithoutTheDollar) {
    // Its checksum is 3E, over the dollar 1A: letters both ways, so case matters.
    const std::string body = "VER,030,V3.08";
    std::string wrong = replySentence(body);
    wrong[wrong.size() - 3] = wrong[wrong.size() - 3] == '0' ? '1' : '0';
    std::string noMark = replySentence(body);
    noMark[noMark.size() - 5] = '#';
    const struct {
        const char* name;
        std::string wire;
        std::int32_t result;
    } cases[] = {
        {"upper case", replySentence(body), 1},
        {"lower case", replySentence(body, false, true), 1},
        {"over the dollar", replySentence(body, true), 1},
        {"over the dollar, lower case", replySentence(body, true, true), 1},
        {"wrong digit", wrong, 0},
        {"no checksum mark", noMark, 0},
        {"no checksum", "$PQVX" + body + "\r\n", 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        link.receiverClass = ReceiverClass::NotIdentified;
        EXPECT_EQ(receive(c.wire), c.result);
        EXPECT_EQ(link.receiverClass,
                  c.result == 1 ? ReceiverClass::FlashMapping : ReceiverClass::NotIdentified);
        EXPECT_EQ(link.sentenceLength, 0);
    }
}

TEST_F(ReceiverLinkTest, MemoryReplyIsStoredButNotCountedAsRecognised) {
    EXPECT_EQ(receive(replySentence("MEM,12,-34,56")), 0);
    EXPECT_EQ(link.memory, (std::array<std::int32_t, 3>{12, -34, 56}));
    // Values after the first that does not parse keep what they were.
    EXPECT_EQ(receive(replySentence("MEM,7,x,9")), 0);
    EXPECT_EQ(link.memory, (std::array<std::int32_t, 3>{7, -34, 56}));
    EXPECT_EQ(receive(replySentence("MEM,1,99999999999,3")), 0);
    EXPECT_EQ(link.memory, (std::array<std::int32_t, 3>{1, -34, 56}));
}

TEST_F(ReceiverLinkTest, EveryReplyOfOneReadIsParsed) {
    EXPECT_EQ(receive("\n" + replySentence("VER,035,V2.10") + replySentence("MEM,1,2,3")), 1);
    EXPECT_EQ(link.receiverClass, ReceiverClass::FlashMapping);
    EXPECT_EQ(link.unitType, 8);
    EXPECT_EQ(link.memory, (std::array<std::int32_t, 3>{1, 2, 3}));
}

TEST_F(ReceiverLinkTest, ReplySplitAtAnyOffsetIsAssembledAcrossPolls) {
    const std::string wire = replySentence("VER,036,V4.02");
    for (std::size_t cut = 0; cut < wire.size(); ++cut) {
        SCOPED_TRACE(cut);
        link.receiverClass = ReceiverClass::NotIdentified;
        const std::int32_t first = receive(wire.substr(0, cut));
        const std::int32_t second = receive(wire.substr(cut));
        // The sentence ends at CR, the second-to-last byte.
        EXPECT_EQ(first, cut == wire.size() - 1 ? 1 : 0);
        EXPECT_EQ(first + second, 1);
        EXPECT_EQ(link.unitType, 9);
    }
}

TEST_F(ReceiverLinkTest, OverlongSentenceIsDroppedAndTheNextDollarStartsAfresh) {
    // 256 bytes fill the buffer and are dropped; the rest, a reply without its
    // "$", must not be taken for a sentence.
    const std::string fake = replySentence("VER,038,V1.00").substr(1);
    const std::string overlong = "$" + std::string(255, 'A') + std::string(44 - fake.size(), 'B');
    EXPECT_EQ(receive(overlong + fake), 0);
    EXPECT_EQ(link.receiverClass, ReceiverClass::NotIdentified);
    EXPECT_EQ(receive(replySentence("VER,030,V1.00")), 1);
    EXPECT_EQ(link.unitType, 5);
}

TEST_F(ReceiverLinkTest, LongestSentenceFitsAndOneMoreByteDoesNot) {
    // The CR may follow at most 255 bytes.
    const std::string head = "VER,030,V1.00 ";
    const std::string fits = replySentence(head + std::string(255 - 8 - head.size(), 'x'));
    ASSERT_EQ(fits.size(), 257u);
    EXPECT_EQ(receive(fits), 1);
    link.receiverClass = ReceiverClass::NotIdentified;
    const std::string tooLong = replySentence(head + std::string(256 - 8 - head.size(), 'x'));
    EXPECT_EQ(receive(tooLong), 0);
    EXPECT_EQ(link.receiverClass, ReceiverClass::NotIdentified);
}

TEST_F(ReceiverLinkTest, PoiHeaderTakesExactly128BytesOfPayload) {
    std::string payload;
    for (int i = 0; i < ReceiverLink::kHeaderSize; ++i)
        payload.push_back(static_cast<char>(i == 0 ? 'N' : 0x20 + (i * 7) % 0xD0));
    EXPECT_EQ(receive(replySentence("POI," + payload)), 1);
    EXPECT_EQ(std::memcmp(link.poiHeader, payload.data(), payload.size()), 0);
}

TEST_F(ReceiverLinkTest, PoiPayloadHoldingCarriageReturnIsDropped) {
    std::string payload(ReceiverLink::kHeaderSize, 'P');
    payload[20] = '\r';
    EXPECT_EQ(receive(replySentence("POI," + payload)), 0);
    EXPECT_EQ(link.poiHeader[0], 0);
    // Reading goes on cleanly with the next reply.
    const std::string mapReply = replySentence("MPH,a,b,MAP,d,5");
    EXPECT_EQ(receive(mapReply), 1);
    // The payload up to the checksum digits, then the zero byte that replaced the CR.
    const std::string stored = mapReply.substr(9, mapReply.size() - 11) + '\0';
    EXPECT_EQ(std::string(link.mapHeader, stored.size()), stored);
}

TEST_F(ReceiverLinkTest, EveryModelRowIsIdentified) {
    const struct {
        const char* body;
        ReceiverClass receiverClass;
        UnitType unitType;
        const char* modelName;
        const char* productCode;
        bool map;
        bool poi;
    } cases[] = {
        {"VER,024,V3.08", ReceiverClass::Legacy, 2, "NAV415/420", "024", false, true},
        {"VER,023,V3.08    NAV 415/420", ReceiverClass::Legacy, 2, "NAV415/420", "023", false,
         true},
        {"VER,023,V3.08    NAV 415/42X", ReceiverClass::Unsupported, 0, "", "", false, false},
        {"VER,023,V3.08   NAV 415/420", ReceiverClass::Unsupported, 0, "", "", false, false},
        {"VER,030,V1.00", ReceiverClass::FlashMapping, 5, "PLT430", "030", true, false},
        {"VER,035,V1.00", ReceiverClass::FlashMapping, 8, "Geodra2", "035", true, false},
        {"VER,033,V1.00", ReceiverClass::FlashMapping, 7, "Talvane", "033", true, false},
        {"VER,037,V1.00", ReceiverClass::PoiOnly, 10, "Trailix", "037", false, true},
        {"VER,036,V1.00", ReceiverClass::FlashMapping, 9, "Trailix Map/Pro", "036", true, false},
        {"VER,038,V1.00", ReceiverClass::FlashMapping, 11, "KX 524", "038", true, false},
        {"VER,099,V1.00", ReceiverClass::Unsupported, 0, "", "", false, false},
        {"VER,033;V1.00", ReceiverClass::Unsupported, 0, "", "", false, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.body);
        link.loadSettings();
        link.open(0, 4800, true);
        EXPECT_EQ(receive(replySentence(c.body)), 1);
        EXPECT_EQ(link.receiverClass, c.receiverClass);
        EXPECT_EQ(link.unitType, c.unitType);
        EXPECT_STREQ(link.modelName, c.modelName);
        EXPECT_STREQ(link.productCode, c.productCode);
        EXPECT_EQ(link.hasMapHeader, c.map);
        EXPECT_EQ(link.hasPoiHeader, c.poi);
    }
}

TEST_F(ReceiverLinkTest, FirmwareVersionIsReadFromTheVersionText) {
    const struct {
        const char* text;
        std::int32_t major;
        std::int32_t minor;
    } cases[] = {
        {"3.08", 3, 8},
        {"V2.1", 2, 1},
        {"Ver 12 . 5", 12, 5},
        {"7", 7, 0},
        {"1.x2", 1, 0},
        {"SW 4..03 beta", 4, 3},
        {"NONE", 9, 9},  // no digit: both keep their
                         // values
        {"ABC", 9, 9},   // the checksum digits "3E" are not version text
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        link.firmwareMajor = 9;
        link.firmwareMinor = 9;
        EXPECT_EQ(receive(replySentence(std::string("VER,033,") + c.text)), 1);
        EXPECT_EQ(link.firmwareMajor, c.major);
        EXPECT_EQ(link.firmwareMinor, c.minor);
    }
}

TEST_F(ReceiverLinkTest, MemoryReplyWithSecondValueZeroMakesTalvaneThePlainModel) {
    const struct {
        const char* memory;
        UnitType before;
        UnitType after;
    } cases[] = {
        {"MEM,1,0,5", 7, 6}, {"MEM,1,3,5", 7, 7},
        {"MEM,1", 7, 7},    // no second value in this reply: the stored 0 is not evidence
        {"MEM,1,x", 7, 7},  // same
        {"MEM,1,0,5", 5, 5},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.memory);
        link.loadSettings();
        link.open(0, 4800, true);
        EXPECT_EQ(receive(replySentence(c.before == 7 ? "VER,033,V1.00" : "VER,030,V1.00")), 1);
        const std::size_t statusBefore = ui.statusTexts().size();
        EXPECT_EQ(receive(replySentence(c.memory)), 0);
        EXPECT_EQ(link.unitType, c.after);
        if (c.after == 6) {
            EXPECT_EQ(link.receiverClass, ReceiverClass::FlashPlain);
            EXPECT_STREQ(link.modelName, "Talvane GPS");
            EXPECT_STREQ(link.productCode, "033");
            EXPECT_TRUE(link.hasMapHeader);
            EXPECT_FALSE(link.hasPoiHeader);
            ASSERT_EQ(ui.statusTexts().size(), statusBefore + 1);
            EXPECT_EQ(ui.statusTexts().back(), "Talvane GPS");
        } else {
            EXPECT_EQ(ui.statusTexts().size(), statusBefore);
        }
    }
}

TEST_F(ReceiverLinkTest, MapHeaderFifthFieldBelowTwoAndAHalfMillionMeansThePlainModel) {
    const struct {
        const char* header;
        const char* version;
        UnitType after;
    } cases[] = {
        {"MPH,1,2,EUROPE,4,2499999,6", "VER,033,V1.00", 6},
        {"MPH,1,2,EUROPE,4,2500000,6", "VER,033,V1.00", 7},
        {"MPH,1,2,EUROPE,4,0", "VER,033,V1.00", 6},
        {"MPH,1,2,EUROPE,4, 17", "VER,033,V1.00", 6},
        {"MPH,1,2,EUROPE", "VER,033,V1.00", 7},
        {"MPH,1,2,EUROPE,4,", "VER,033,V1.00", 7},
        {"MPH,1,2,EUROPE,4,abc", "VER,033,V1.00", 7},
        {"MPH,1,2,EUROPE,4,99999999999999999999", "VER,033,V1.00", 7},
        {"MPH,1,2,EUROPE,4,100", "VER,030,V1.00", 5},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.header);
        link.loadSettings();
        link.open(0, 4800, true);
        EXPECT_EQ(receive(replySentence(c.version)), 1);
        link.applyMapHeaderRule();
        EXPECT_NE(link.unitType, 6) << "no map header yet";
        EXPECT_EQ(receive(replySentence(c.header)), 1);
        link.applyMapHeaderRule();
        EXPECT_EQ(link.unitType, c.after);
    }
}

TEST_F(ReceiverLinkTest, SettingsFileFieldsAreReadAsFarAsTheyParse) {
    const struct {
        const char* content;  // nullptr: no file
        ReceiverClass receiverClass;
        std::int32_t comIndex;
        std::int32_t baud;
    } cases[] = {
        {nullptr, ReceiverClass::NotIdentified, 0, 4800},
        {" 5  0     4800\n", ReceiverClass::FlashMapping, 0, 4800},
        {" 6  2    19200\n", ReceiverClass::FlashPlain, 2, 19200},
        {"1234 99999999", static_cast<ReceiverClass>(12), 34, 99999999},
        {"xx", ReceiverClass::NotIdentified, 0, 4800},
        {" 5 zz 9600", ReceiverClass::FlashMapping, 0, 4800},
        {" 2  3", ReceiverClass::Legacy, 3, 4800},
        {"", ReceiverClass::NotIdentified, 0, 4800},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.content == nullptr ? "no file" : c.content);
        ::unlink("zamel.cfg");
        if (c.content != nullptr) {
            ASSERT_TRUE(testing::writeWholeFile("zamel.cfg", c.content));
        }
        link.receiverClass = ReceiverClass::PoiOnly;
        link.comIndex = 7;
        link.baud = 1;
        link.unitType = 9;
        link.autoFirstPass = false;
        link.expertUpload = true;
        link.mapHeader[0] = 'M';
        std::strcpy(link.modelName, "old");
        link.loadSettings();
        EXPECT_EQ(link.receiverClass, c.receiverClass);
        EXPECT_EQ(link.comIndex, c.comIndex);
        EXPECT_EQ(link.baud, c.baud);
        EXPECT_EQ(link.unitType, 0);
        EXPECT_TRUE(link.autoFirstPass);
        EXPECT_FALSE(link.expertUpload);
        EXPECT_EQ(link.mapHeader[0], 0);
        EXPECT_STREQ(link.modelName, "");
        EXPECT_FALSE(link.portOpen);
    }
}

TEST_F(ReceiverLinkTest, OpenSetsTheRateAndEnsureOpenKeepsAMatchingPort) {
    link.open(0, 19200, true);
    ASSERT_TRUE(link.portOpen);
    EXPECT_EQ(pty.baud(), 19200);
    EXPECT_EQ(link.baud, 19200);
    EXPECT_EQ(link.comIndex, 0);
    const auto* device = link.portDevice.get();
    link.ensureOpen(0, 19200, true);
    EXPECT_EQ(link.portDevice.get(), device);
    link.ensureOpen(0, 1200, true);
    ASSERT_TRUE(link.portOpen);
    EXPECT_EQ(pty.baud(), 1200);
    EXPECT_EQ(link.baud, 1200);
}

TEST_F(ReceiverLinkTest, PortThatWillNotOpenIsReportedOnlyWhenAllowed) {
    ASSERT_EQ(::symlink((dir.path() + "/no-such-tty").c_str(), "COM2"), 0);
    link.open(1, 4800, false);
    EXPECT_FALSE(link.portOpen);
    EXPECT_TRUE(link.openFailed);
    EXPECT_EQ(link.port, nullptr);
    EXPECT_EQ(link.portDevice, nullptr);
    EXPECT_EQ(link.lineSettings, nullptr);
    EXPECT_EQ(link.pollReplies(), 0);

    ui.expectMessage("COULD NOT OPEN COM PORT\nCOM2 " + dir.path() +
                         "/no-such-tty (through COM2 in the working directory): no device",
                     "ERROR", MessageIcon::Information);
    link.ensureOpen(1, 4800, true);
    EXPECT_EQ(ui.pendingQuestions(), 0u);
    EXPECT_TRUE(link.openFailed);

    link.open(0, 4800, true);
    EXPECT_TRUE(link.portOpen);
    EXPECT_FALSE(link.openFailed);
    link.close();
    EXPECT_FALSE(link.portOpen);
    EXPECT_EQ(link.port, nullptr);
}

TEST_F(ReceiverLinkTest, LoaderByteIsFoundAmongOthersAndNothingWaitingGivesZero) {
    const struct {
        std::string bytes;
        std::int32_t result;
    } cases[] = {
        {"xy\xAA", 1},
        {"\x77", 1},
        {"abc", 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.bytes);
        ASSERT_TRUE(pty.write(c.bytes));
        testing::waitReceived(link, c.bytes.size());
        EXPECT_EQ(link.waitLoaderByte(), c.result);
        EXPECT_EQ(link.port->receiveCount(), 0);
    }
    EXPECT_EQ(link.waitLoaderByte(), 0);
}

// Wall time frozen: only the monotonic ticks move while sleeping.
class FrozenWallClock final : public Clock {
  public:
    std::int64_t wallMs() const override { return 1'700'000'000'400; }
    std::int64_t tickMs() const override { return tickMs_; }
    void sleepMs(std::int64_t ms) override { tickMs_ += ms; }

  private:
    std::int64_t tickMs_ = 0;
};

TEST_F(ReceiverLinkTest, SettleSendsZeroAndSleepsToTheSecondTwoAfterTheStart) {
    link.close();  // each link below opens COM1 for itself
    const struct {
        std::int64_t startWallMs;
        std::int64_t sleptMs;
    } cases[] = {{1'700'000'000'000, 2000}, {1'700'000'000'001, 1999}, {1'700'000'000'999, 1001}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.startWallMs);
        ManualClock wall(c.startWallMs);
        ReceiverLink settling(ui, wall);
        settling.open(0, 4800, true);
        ASSERT_TRUE(settling.portOpen);
        settling.settle();
        EXPECT_EQ(wall.sleptMs(), c.sleptMs);
        EXPECT_EQ(wall.calendarSeconds(), c.startWallMs / 1000 + 2);
        EXPECT_EQ(sent(1), std::string(1, '\0'));
    }
    FrozenWallClock frozen;
    ReceiverLink stuck(ui, frozen);
    stuck.open(0, 4800, true);
    stuck.settle();
    EXPECT_EQ(frozen.tickMs(), 2000);
}

}  // namespace
}  // namespace zamel
