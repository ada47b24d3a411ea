#include "flash_loader.h"

#include <gtest/gtest.h>

#include <optional>

#include "engine_rig.h"
#include "legacy_phase_source.h"
#include "serial_result.h"

namespace zamel::testing {
namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr std::uint32_t kCodeBase = 0x2D004000;

// An image of n bytes whose every byte tells its offset apart.
Bytes patternImage(std::size_t n) {
    Bytes bytes(n);
    for (std::size_t i = 0; i < n; ++i) bytes[i] = static_cast<std::uint8_t>(i * 7 + i / 256);
    return bytes;
}

std::uint32_t frameAddress(const Bytes& frame) {
    return static_cast<std::uint32_t>(frame.at(3)) << 24 |
           static_cast<std::uint32_t>(frame.at(4)) << 16 |
           static_cast<std::uint32_t>(frame.at(5)) << 8 | frame.at(6);
}

class FlashLoaderTest : public EngineRig {
  protected:
    void startCode(std::size_t imageBytes = 5000, bool verifyEcho = true) {
        openImage(patternImage(imageBytes));
        startEngine(false, kCodeBase, kCodeBase - 0x4000 + static_cast<std::uint32_t>(imageBytes),
                    verifyEcho);
    }
    // Acknowledges the record in flight twice and returns the next frame.
    Bytes acknowledge() {
        unitSends({0x55, 0x55});
        runEngine();
        return unitReads(lastFrame().size());
    }
};

TEST_F(FlashLoaderTest, PendingPortErrorStopsTheEngineInNoPort) {
    openImage(patternImage(10));
    device->setLastError(kSerialWriteCutShort);
    startEngine(false, kCodeBase, 0, true);
    EXPECT_EQ(engine->state, FlashLoaderState::NoPort);
    unitSends({0xAA});
    EXPECT_FALSE(engine->step());
    EXPECT_EQ(engine->state, FlashLoaderState::NoPort);
    EXPECT_TRUE(unitReadsAll().empty());
}

TEST_F(FlashLoaderTest, CreationSendsNothingAndBuildsTheEraseFrame) {
    openImage(patternImage(100));
    startEngine(false, kCodeBase, 0, true);
    EXPECT_EQ(engine->state, FlashLoaderState::Reset);
    EXPECT_EQ(engine->endAddress, kCodeBase + 100 + 0x10000);
    // An erase end of 0 means the image's end address, 0x2D014064.
    const auto erase = engine->currentEraseFrame();
    EXPECT_EQ(Bytes(erase.begin() + 3, erase.begin() + 11),
              (Bytes{0x2D, 0x00, 0x40, 0x00, 0x2D, 0x01, 0x40, 0x64}));
    EXPECT_TRUE(unitReadsAll().empty());
}

TEST_F(FlashLoaderTest, BootBlockReloadEndsAtTheImageSizeAndReadsFromAddressZero) {
    link.reloadBootBlock = true;
    openImage(patternImage(0x70000 + 100));
    startEngine(false, 0x70000, 0x9FFFF, true);
    EXPECT_EQ(engine->endAddress, 0x70000u + 100);
    const Bytes frame = reachFirstRecord();
    EXPECT_EQ(frameAddress(frame), 0x70000u);
    const Bytes image = patternImage(0x70000 + 100);
    EXPECT_EQ(Bytes(frame.begin() + 7, frame.begin() + 107),
              Bytes(image.begin() + 0x70000, image.end()));
}

TEST_F(FlashLoaderTest, GreetingInHandAndEraseCmdIsAnsweredAgain) {
    startCode();
    runEngine();
    unitSends({0xAA});
    runEngine();
    EXPECT_EQ(unitReads(1), Bytes{0x55});
    unitSends({0xAA});
    runEngine();
    EXPECT_EQ(engine->state, FlashLoaderState::Hand);
    EXPECT_EQ(unitReads(1), Bytes{0x55});
    unitSends({0x55});
    runEngine();
    EXPECT_EQ(unitReads(1), Bytes{0x6A});
    ASSERT_EQ(engine->state, FlashLoaderState::EraseCmd);
    unitSends({0xAA});
    runEngine();
    EXPECT_EQ(engine->state, FlashLoaderState::Hand);
    EXPECT_EQ(unitReads(1), Bytes{0x55});
}

TEST_F(FlashLoaderTest, BadTypeInHandStopsInInvalidFlash) {
    startCode();
    runEngine();
    unitSends({0xAA});
    runEngine();
    unitReads(1);
    unitSends({0x86, 0xAA});
    runEngine();
    EXPECT_EQ(engine->state, FlashLoaderState::InvalidFlash);
    EXPECT_FALSE(engine->step());
    EXPECT_EQ(engine->state, FlashLoaderState::InvalidFlash);
    EXPECT_TRUE(unitReadsAll().empty());
}

TEST_F(FlashLoaderTest, RecordModeSkipsEraseAndColdStart) {
    openImage(patternImage(3000));
    startEngine(true, 0, 0xFFFFFFFF, false);
    runEngine();
    unitSends({0xAA});
    runEngine();
    EXPECT_EQ(unitReads(1), Bytes{0x55});
    unitSends({0x55});
    runEngine();
    EXPECT_EQ(unitReads(1), Bytes{0x6A});
    EXPECT_EQ(engine->state, FlashLoaderState::WaitRec);
    Bytes first = unitReads(1990);
    EXPECT_EQ(frameAddress(first), 0u);
    Bytes second = acknowledge();
    EXPECT_EQ(frameAddress(second), 1u) << "record mode numbers the records";
    EXPECT_EQ(second.size(), 1020u + 10);
}

TEST_F(FlashLoaderTest, ResendCodesRepeatTheRecordFromWaitRecAndProg) {
    for (const std::uint8_t code : {0x81, 0x82, 0x85, 0x88}) {
        SCOPED_TRACE(code);
        startCode();
        const Bytes first = reachFirstRecord();
        unitSends({code});
        runEngine();
        EXPECT_EQ(engine->state, FlashLoaderState::WaitRec);
        EXPECT_EQ(unitReads(first.size()), first);
        unitSends({0x55, code});
        runEngine();
        EXPECT_EQ(engine->state, FlashLoaderState::WaitRec) << "a resend in Prog waits again";
        EXPECT_EQ(unitReads(first.size()), first);
        char line[64];
        std::snprintf(line, sizeof line, "WAIT REC - %04x resend %d bytes:", code, 1990);
        engine->debugLog.flush();
        bool found = false;
        for (const auto& l : logLines()) found = found || l.rfind(line, 0) == 0;
        EXPECT_TRUE(found) << line;
        EXPECT_EQ(engine->bytesSent, 0u);
        engine.reset();
        unitReadsAll();
    }
}

TEST_F(FlashLoaderTest, ResendCodeInEraseAdrRepeatsTheEraseFrame) {
    startCode();
    runEngine();
    unitSends({0xAA});
    runEngine();
    unitSends({0x55});
    runEngine();
    unitReads(2);
    unitSends({0x55});
    runEngine();
    const Bytes erase = unitReads(kEraseFrameLength);
    unitSends({0x85});
    runEngine();
    EXPECT_EQ(engine->state, FlashLoaderState::EraseAdr);
    EXPECT_EQ(unitReads(kEraseFrameLength), erase);
}

TEST_F(FlashLoaderTest, BadCommandGoesBackToWaitingForTheGreeting) {
    startCode();
    runEngine();
    unitSends({0xAA});
    runEngine();
    unitSends({0x55});
    runEngine();
    unitReads(2);
    unitSends({0x83});
    runEngine();
    EXPECT_EQ(engine->state, FlashLoaderState::NoConnect);
    EXPECT_TRUE(logHas("ERASE CMD - bad cmd"));
    unitSends({0xAA});
    runEngine();
    unitSends({0x55});
    runEngine();
    EXPECT_EQ(engine->state, FlashLoaderState::EraseCmd);
    unitReads(2);
    unitSends({0x55});
    runEngine();
    unitReads(kEraseFrameLength);
    unitSends({0x83});
    runEngine();
    EXPECT_EQ(engine->state, FlashLoaderState::NoConnect);
    EXPECT_TRUE(logHas("ERASE ADR - bad"));
}

TEST_F(FlashLoaderTest, FailStartsTheTransferAgainFromTheGreeting) {
    startCode();
    reachFirstRecord();
    acknowledge();
    EXPECT_EQ(engine->bytesSent, 1980u);
    unitSends({0x84});
    engine->step();
    EXPECT_EQ(engine->state, FlashLoaderState::WriteFail);
    std::string status;
    engine->statusText(status);
    EXPECT_EQ(status, "ROM WRITE FAIL   ");
    engine->step();
    EXPECT_EQ(engine->state, FlashLoaderState::Reset);
    runEngine();
    EXPECT_EQ(engine->state, FlashLoaderState::NoConnect);
    EXPECT_EQ(engine->bytesSent, 0u);
    EXPECT_EQ(engine->currentAddress, kCodeBase);
    EXPECT_TRUE(logHas("WAIT REC - fail"));
}

TEST_F(FlashLoaderTest, FailInProgAndEraseAdrLeadToWriteFail) {
    startCode();
    reachFirstRecord();
    unitSends({0x55, 0x84});
    runEngine();
    EXPECT_EQ(engine->state, FlashLoaderState::WriteFail);
    EXPECT_TRUE(logHas("PROG - fail"));
    engine.reset();
    startCode();
    runEngine();
    unitSends({0xAA});
    runEngine();
    unitSends({0x55});
    runEngine();
    unitSends({0x55});
    runEngine();
    unitSends({0x84});
    runEngine();
    EXPECT_EQ(engine->state, FlashLoaderState::WriteFail);
    EXPECT_TRUE(logHas("ERASE ADR - fail"));
}

TEST_F(FlashLoaderTest, RestartCodeSendsTheFileAgainFromItsStart) {
    startCode();
    const Bytes first = reachFirstRecord();
    const Bytes second = acknowledge();
    EXPECT_EQ(frameAddress(second), kCodeBase + 1980);
    unitSends({0x87});
    runEngine();
    EXPECT_EQ(engine->state, FlashLoaderState::WaitCold);
    EXPECT_EQ(engine->bytesSent, 0u);
    unitSends({0x55});
    runEngine();
    EXPECT_EQ(unitReads(first.size()), first);
}

TEST_F(FlashLoaderTest, RestartInRecordModeNumbersFromZeroAgain) {
    openImage(patternImage(5000));
    startEngine(true, 0, 0xFFFFFFFF, false);
    runEngine();
    unitSends({0xAA});
    runEngine();
    unitSends({0x55});
    runEngine();
    EXPECT_EQ(unitReads(2), (Bytes{0x55, 0x6A}));
    const Bytes first = unitReads(1990);
    acknowledge();
    unitSends({0x87});
    runEngine();
    unitSends({0x55});
    runEngine();
    EXPECT_EQ(unitReads(first.size()), first);
}

TEST_F(FlashLoaderTest, RecordNumberRewindsOneRecord) {
    startCode();
    reachFirstRecord();
    acknowledge();
    const Bytes third = acknowledge();
    EXPECT_EQ(frameAddress(third), kCodeBase + 3960);
    EXPECT_EQ(engine->bytesSent, 3960u);
    EXPECT_EQ(engine->recordCounter, 2);
    // The third record is taken once, then the unit asks for one record back.
    unitSends({0x55, 0x89, 0x00, 0x00});
    runEngine();
    EXPECT_EQ(engine->state, FlashLoaderState::RecNum3);
    unitSends({0x00, 0x02});
    runEngine();
    EXPECT_EQ(engine->recordCounter, 1);
    EXPECT_EQ(engine->bytesSent, 1980u);
    const Bytes resent = unitReads(lastFrame().size());
    EXPECT_EQ(frameAddress(resent), kCodeBase + 1980);
    char line[64];
    std::snprintf(line, sizeof line, "Reset to record 1 address %ld",
                  static_cast<long>(kCodeBase + 1980));
    EXPECT_TRUE(logHas("REC NUM 4 - 02"));
    EXPECT_TRUE(logHas(line)) << line;
}

TEST_F(FlashLoaderTest, RecordNumberBeforeAnyProgressNeverMovesBeforeTheFile) {
    startCode();
    const Bytes first = reachFirstRecord();
    unitSends({0x55, 0x89, 1, 2, 3, 4});
    runEngine();
    EXPECT_EQ(engine->bytesSent, 0u);
    EXPECT_EQ(engine->currentAddress, kCodeBase);
    EXPECT_EQ(engine->recordCounter, 0);
    EXPECT_EQ(unitReads(first.size()), first);
}

TEST_F(FlashLoaderTest, RecWaitIsAnErrorInWaitRecButAnAcknowledgementInProg) {
    startCode();
    reachFirstRecord();
    unitSends({0x77});
    runEngine();
    EXPECT_EQ(engine->state, FlashLoaderState::WaitRec);
    EXPECT_TRUE(logHas("WAIT REC - error 0077"));
    unitSends({0x55, 0x77});
    runEngine();
    EXPECT_TRUE(logHas("PROG - rec wait"));
    EXPECT_EQ(engine->bytesSent, 1980u);
    EXPECT_EQ(frameAddress(unitReads(lastFrame().size())), kCodeBase + 1980);
}

// Plays debug words after the acknowledgement that ends WaitRec.
class DebugWordTest : public FlashLoaderTest {
  protected:
    void sendWords(std::uint16_t first, std::uint16_t second) {
        unitSends({0x55, 0x8E, static_cast<std::uint8_t>(first >> 8),
                   static_cast<std::uint8_t>(first), 0x8E, static_cast<std::uint8_t>(second >> 8),
                   static_cast<std::uint8_t>(second)});
        runEngine();
        ASSERT_EQ(engine->state, FlashLoaderState::Prog);
        ASSERT_EQ(engine->debugCount, 2);
    }
};

struct FixedPhase : LegacyPhaseSource {
    std::optional<int> phase;
    std::optional<int> legacyPhase() const override { return phase; }
};

TEST_F(DebugWordTest, WordOrderIsDecidedByClassAndLegacyPhase) {
    struct Case {
        ReceiverClass receiverClass;
        std::optional<int> phase;
        std::uint16_t first, second;
        bool known;
        bool lowFirst;
        std::uint32_t value;
    };
    const Case cases[] = {
        {ReceiverClass::FlashMapping, std::nullopt, 0x0012, 0x3456, true, false, 0x00123456},
        {ReceiverClass::FlashPlain, 0, 0x3456, 0x0000, true, false, 0x34560000},
        {ReceiverClass::Legacy, std::nullopt, 0x0000, 0x0005, false, false, 0},
        {ReceiverClass::Legacy, 0, 0x0000, 0x0FFF, true, false, 0x00000FFF},
        {ReceiverClass::Legacy, 0, 0x0000, 0x1000, false, false, 0},
        {ReceiverClass::Legacy, 0, 0x0005, 0x0000, true, true, 0x00000005},
        {ReceiverClass::LegacyIfNamed, 1, 0x0000, 0x000F, true, true, 0x000F0000},
        {ReceiverClass::Legacy, 1, 0x000A, 0x0000, true, false, 0x000A0000},
        {ReceiverClass::Legacy, 1, 0x0000, 0x0010, false, false, 0},
        {ReceiverClass::Legacy, 2, 0x0000, 0x0005, false, false, 0},
        {ReceiverClass::Legacy, 0, 0x1234, 0x5678, false, false, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message()
                     << static_cast<int>(c.receiverClass) << " phase " << c.phase.value_or(-1)
                     << " words " << c.first << "," << c.second);
        FixedPhase phase;
        phase.phase = c.phase;
        link.receiverClass = c.receiverClass;
        openImage(patternImage(5000));
        startEngine(false, kCodeBase, 0, false, &phase);
        reachFirstRecord();
        sendWords(c.first, c.second);
        EXPECT_EQ(engine->wordOrderKnown, c.known);
        if (c.known) {
            EXPECT_EQ(engine->lowWordFirst, c.lowFirst);
        }
        EXPECT_EQ(engine->reportedValue, c.value);
        engine.reset();
        unitReadsAll();
    }
}

TEST_F(DebugWordTest, DecidedOrderHoldsForLaterPairs) {
    FixedPhase phase;
    phase.phase = 0;
    link.receiverClass = ReceiverClass::Legacy;
    openImage(patternImage(5000));
    startEngine(false, kCodeBase, 0, false, &phase);
    reachFirstRecord();
    sendWords(0x0005, 0x0000);
    ASSERT_TRUE(engine->lowWordFirst);
    unitSends({0x55});
    runEngine();
    unitReads(lastFrame().size());
    sendWords(0x1234, 0x0002);
    EXPECT_EQ(engine->reportedValue, 0x00021234u);
}

TEST_F(DebugWordTest, EchoBelowTheCurrentAddressResendsAfterIt) {
    // Five records from 0x110 put the fifth at 0x2000.
    openImage(patternImage(5 * 1980 + 100));
    startEngine(false, 0x110, 0, true);
    reachFirstRecord();
    for (int i = 0; i < 3; ++i) acknowledge();
    const Bytes fifth = acknowledge();
    ASSERT_EQ(frameAddress(fifth), 0x2000u);
    const std::uint32_t sentBefore = engine->bytesSent;
    sendWords(0x0000, 0x1000);
    unitSends({0x55});
    runEngine();
    EXPECT_TRUE(logHas("Got 00001000 back"));
    EXPECT_TRUE(logHas("Handshake error - resending"));
    EXPECT_EQ(engine->bytesSent, sentBefore);
    const Bytes next = unitReads(lastFrame().size());
    EXPECT_EQ(frameAddress(next), 0x17BCu);
    const Bytes image = patternImage(5 * 1980 + 100);
    EXPECT_EQ(next.at(7), image.at(0x17BC - 0x110));
}

TEST_F(DebugWordTest, EchoBelowTheFileStartIsNotFollowed) {
    openImage(patternImage(5000));
    startEngine(false, kCodeBase, 0, true);
    reachFirstRecord();
    acknowledge();
    sendWords(0x0000, 0x0100);
    unitSends({0x55});
    runEngine();
    EXPECT_TRUE(logHas("Got 00000100 back"));
    EXPECT_FALSE(logHas("Handshake error - resending"));
    EXPECT_EQ(frameAddress(unitReads(lastFrame().size())), kCodeBase + 3960);
}

TEST_F(DebugWordTest, EchoIsIgnoredWithoutVerification) {
    openImage(patternImage(5000));
    startEngine(false, kCodeBase, 0, false);
    reachFirstRecord();
    acknowledge();
    sendWords(0x2D00, 0x4000);
    unitSends({0x55});
    runEngine();
    EXPECT_FALSE(logHas("Got 2d004000 back"));
    EXPECT_EQ(frameAddress(unitReads(lastFrame().size())), kCodeBase + 3960);
}

TEST_F(FlashLoaderTest, DebugWordsInWaitRecReturnToWaitRec) {
    startCode();
    reachFirstRecord();
    unitSends({0x8E, 0x12});
    runEngine();
    EXPECT_EQ(engine->state, FlashLoaderState::Debug2);
    unitSends({0x34});
    runEngine();
    EXPECT_EQ(engine->state, FlashLoaderState::WaitRec);
    EXPECT_EQ(engine->debugWord, 0x1234);
    EXPECT_EQ(engine->reportedValue, 0x1234u);
    EXPECT_TRUE(logHas("DEBUG 1 - 12"));
    EXPECT_TRUE(logHas("DEBUG 2 - 34"));
}

TEST_F(FlashLoaderTest, NoConnectClearsTheQueueEveryFifteenthOtherInput) {
    startCode();
    runEngine();  // Reset; one "other" with nothing waiting
    unitSends(Bytes(30, 0x00));
    for (int i = 0; i < 13; ++i) EXPECT_TRUE(engine->step());
    EXPECT_EQ(stream->receiveCount(), 17);
    EXPECT_FALSE(engine->step()) << "the 15th other input clears the queue";
    EXPECT_EQ(stream->receiveCount(), 0);
    EXPECT_EQ(engine->state, FlashLoaderState::NoConnect);
}

TEST_F(FlashLoaderTest, FileDoneReturnsFalseWithBytesWaiting) {
    startCode(100);
    reachFirstRecord();
    unitSends({0x55, 0x55});
    runEngine();
    ASSERT_EQ(engine->state, FlashLoaderState::FileDone);
    EXPECT_TRUE(logHas("SEND REC - 0 len"));
    unitSends({0x55});
    EXPECT_FALSE(engine->step());
    EXPECT_EQ(engine->state, FlashLoaderState::FileDone);
    EXPECT_EQ(stream->receiveCount(), 1);
}

TEST_F(FlashLoaderTest, SecondFileContinuesWithoutErase) {
    startCode(100);
    reachFirstRecord();
    unitSends({0x55, 0x55});
    runEngine();
    ASSERT_EQ(engine->state, FlashLoaderState::FileDone);
    EXPECT_EQ(engine->bytesSent, 100u);
    const Bytes secondImage = patternImage(300);
    ASSERT_TRUE(writeWholeFile(dir.file("second.bin"), secondImage));
    ImageFile second(dir.file("second.bin"));
    engine->startSecondFile(second, 0xA0000);
    EXPECT_EQ(engine->bytesSent, 0u);
    EXPECT_EQ(engine->endAddress, 0xA0000u + 300);
    runEngine();
    const Bytes frame = unitReads(310);
    EXPECT_EQ(frameAddress(frame), 0xA0000u);
    EXPECT_EQ(Bytes(frame.begin() + 7, frame.begin() + 307), secondImage);
    EXPECT_TRUE(logHas("SECOND FILE - 000a0000 to 000a012c"));
}

TEST_F(FlashLoaderTest, AddressPastTheEndFinishesTheFile) {
    openImage(patternImage(5000));
    startEngine(false, kCodeBase, 0, true);
    engine->endAddress = kCodeBase + 1000;
    reachFirstRecord();
    unitSends({0x55, 0x55});
    runEngine();
    EXPECT_EQ(engine->state, FlashLoaderState::FileDone);
    EXPECT_TRUE(logHas("SEND REC - Address 2d0047bc past end 2d0043e8"));
}

// Each time-out fires once the whole-second difference exceeds its limit, not before.
struct TimeoutCase {
    const char* name;
    FlashLoaderState state;
    int firesAfterSeconds;
};

class TimeoutTest : public FlashLoaderTest, public ::testing::WithParamInterface<TimeoutCase> {
  protected:
    // Brings the engine into the state; returns what it resends on a time-out.
    Bytes reach(FlashLoaderState state) {
        startCode(100);
        runEngine();
        unitSends({0xAA});
        runEngine();
        unitSends({0x55});
        runEngine();
        unitReads(2);
        if (state == FlashLoaderState::EraseCmd) return {0x6A};
        unitSends({0x55});
        runEngine();
        const Bytes erase = unitReads(kEraseFrameLength);
        if (state == FlashLoaderState::EraseAdr) return erase;
        unitSends({0x55, 0x55});
        runEngine();
        unitReads(1);
        unitSends({0x55});
        runEngine();
        const Bytes record = unitReads(lastFrame().size());
        if (state == FlashLoaderState::WaitRec) return record;
        unitSends({0x55, 0x55});
        runEngine();
        engine->sendEnd();
        unitReads(kEndFrameLength);
        return Bytes(kEndFrame.begin(), kEndFrame.end());
    }
};

TEST_P(TimeoutTest, FiresAtItsSecondAndNotBefore) {
    const TimeoutCase c = GetParam();
    const Bytes resent = reach(c.state);
    ASSERT_EQ(engine->state, c.state);
    clock.advanceMs((c.firesAfterSeconds - 1) * 1000);
    runEngine();
    EXPECT_TRUE(unitReadsAll().empty()) << "fired a second early";
    clock.advanceMs(1000);
    runEngine();
    EXPECT_EQ(unitReads(resent.size()), resent);
    EXPECT_EQ(engine->state, c.state);
    // A resend restarts the interval.
    clock.advanceMs((c.firesAfterSeconds - 1) * 1000);
    runEngine();
    EXPECT_TRUE(unitReadsAll().empty());
    clock.advanceMs(1000);
    runEngine();
    EXPECT_EQ(unitReads(resent.size()), resent);
}

INSTANTIATE_TEST_SUITE_P(States, TimeoutTest,
                         ::testing::Values(TimeoutCase{"EraseCmd", FlashLoaderState::EraseCmd, 2},
                                           TimeoutCase{"EraseAdr", FlashLoaderState::EraseAdr, 3},
                                           TimeoutCase{"WaitRec", FlashLoaderState::WaitRec, 5},
                                           TimeoutCase{"SendEnd", FlashLoaderState::SendEnd, 3}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(FlashLoaderTest, ProgHasNoTimeout) {
    startCode();
    reachFirstRecord();
    unitSends({0x55});
    runEngine();
    ASSERT_EQ(engine->state, FlashLoaderState::Prog);
    clock.advanceMs(60'000);
    runEngine();
    EXPECT_TRUE(unitReadsAll().empty());
    EXPECT_EQ(engine->state, FlashLoaderState::Prog);
}

}  // namespace
}  // namespace zamel::testing
