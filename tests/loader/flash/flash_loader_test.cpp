#include "flash_loader.h"

#include <gtest/gtest.h>

#include <optional>

#include "engine_rig.h"
#include "legacy_phase_source.h"
#include "serial_result.h"

namespace zamel::testing {
namespace {

using Bytes = std::vector<std::uint8_t>;
using S = FlashLoaderState;

constexpr std::uint32_t kCodeBase = 0x2D004000;

// An image of n bytes whose bytes tell their offsets apart.
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
    void startCode(std::size_t imageBytes, bool verifyEcho = true,
                   const LegacyPhaseSource* phase = nullptr) {
        openImage(patternImage(imageBytes));
        startEngine(false, kCodeBase, 0, verifyEcho, phase);
    }
    // Acknowledges the record in flight twice; returns the next frame.
    Bytes acknowledge() {
        unitSends({0x55, 0x55});
        runEngine();
        return unitReads(lastFrame().size());
    }
    // After the acknowledgement that ends WaitRec, two debug words.
    void debugWords(std::uint16_t first, std::uint16_t second) {
        unitSends({0x55, 0x8E, static_cast<std::uint8_t>(first >> 8),
                   static_cast<std::uint8_t>(first), 0x8E, static_cast<std::uint8_t>(second >> 8),
                   static_cast<std::uint8_t>(second)});
        runEngine();
        ASSERT_EQ(engine->state, S::Prog);
    }
};

// What the loader sends in answer to one reply.
enum class Sent { Nothing, HelloAnswer, EraseFrame, SameRecord, NextRecord };

struct ReplyCase {
    S in;
    std::uint8_t reply;
    S next;
    const char* logLine;  // a prefix of the line written
    Sent sent;
};

class ReplyTest : public FlashLoaderTest, public ::testing::WithParamInterface<ReplyCase> {};

TEST_P(ReplyTest, MovesLogsAndSends) {
    const ReplyCase c = GetParam();
    startCode(5000);
    const Bytes before = reach(c.in);
    unitSends({c.reply});
    runEngine();
    EXPECT_EQ(engine->state, c.next);
    engine->debugLog.flush();
    bool logged = false;
    for (const auto& line : logLines()) logged = logged || line.rfind(c.logLine, 0) == 0;
    EXPECT_TRUE(logged) << c.logLine;
    switch (c.sent) {
        case Sent::Nothing:
            EXPECT_TRUE(unitReadsAll().empty());
            break;
        case Sent::HelloAnswer:
            EXPECT_EQ(unitReads(1), Bytes{0x55});
            break;
        case Sent::EraseFrame:
        case Sent::SameRecord:
            EXPECT_EQ(unitReads(before.size()), before);
            break;
        case Sent::NextRecord:
            EXPECT_EQ(frameAddress(unitReads(lastFrame().size())), kCodeBase + 1980);
            break;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Replies, ReplyTest,
    ::testing::Values(
        ReplyCase{S::Hand, 0xAA, S::Hand, "HAND - hello", Sent::HelloAnswer},
        ReplyCase{S::Hand, 0x86, S::InvalidFlash, "HAND - Bad type", Sent::Nothing},
        ReplyCase{S::Hand, 0x12, S::Hand, "HAND - error 0012", Sent::Nothing},
        ReplyCase{S::EraseCmd, 0xAA, S::Hand, "ERASE CMD - hello", Sent::HelloAnswer},
        ReplyCase{S::EraseCmd, 0x83, S::NoConnect, "ERASE CMD - bad cmd", Sent::Nothing},
        ReplyCase{S::EraseAdr, 0x81, S::EraseAdr,
                  "SENDING ERASE - Erasing 0040002d:", Sent::EraseFrame},
        ReplyCase{S::EraseAdr, 0x83, S::NoConnect, "ERASE ADR - bad", Sent::Nothing},
        ReplyCase{S::EraseAdr, 0x84, S::WriteFail, "ERASE ADR - fail", Sent::Nothing},
        ReplyCase{S::EraseAdr, 0x12, S::EraseAdr, "ERASE ADR - error 0012", Sent::Nothing},
        ReplyCase{S::WaitRec, 0x81, S::WaitRec, "WAIT REC - 0081 resend 1990 bytes: 5b 03 e0",
                  Sent::SameRecord},
        ReplyCase{S::WaitRec, 0x82, S::WaitRec, "WAIT REC - 0082 resend", Sent::SameRecord},
        ReplyCase{S::WaitRec, 0x85, S::WaitRec, "WAIT REC - 0085 resend", Sent::SameRecord},
        ReplyCase{S::WaitRec, 0x88, S::WaitRec, "WAIT REC - 0088 resend", Sent::SameRecord},
        ReplyCase{S::WaitRec, 0x84, S::WriteFail, "WAIT REC - fail", Sent::Nothing},
        ReplyCase{S::WaitRec, 0x77, S::WaitRec, "WAIT REC - error 0077", Sent::Nothing},
        ReplyCase{S::WaitRec, 0x87, S::WaitCold, "WAIT REC - reset", Sent::Nothing},
        ReplyCase{S::WaitRec, 0x8E, S::Debug1, "WAIT REC - debug", Sent::Nothing},
        ReplyCase{S::Prog, 0x77, S::WaitRec, "PROG - rec wait", Sent::NextRecord},
        ReplyCase{S::Prog, 0x82, S::WaitRec, "WAIT REC - 0082 resend", Sent::SameRecord},
        ReplyCase{S::Prog, 0x88, S::WaitRec, "WAIT REC - 0088 resend", Sent::SameRecord},
        ReplyCase{S::Prog, 0x84, S::WriteFail, "PROG - fail", Sent::Nothing},
        ReplyCase{S::Prog, 0x89, S::RecNum1, "PROG - rec number", Sent::Nothing},
        ReplyCase{S::Prog, 0x8E, S::Debug1, "PROG - debug", Sent::Nothing},
        ReplyCase{S::Prog, 0x12, S::Prog, "PROG - error 0012", Sent::Nothing}));

TEST_F(FlashLoaderTest, PendingPortErrorStopsTheEngineInNoPort) {
    openImage(patternImage(10));
    device->setLastError(kSerialWriteCutShort);
    startEngine(false, kCodeBase, 0, true);
    EXPECT_EQ(engine->state, S::NoPort);
    unitSends({0xAA});
    EXPECT_FALSE(engine->step());
    EXPECT_EQ(engine->state, S::NoPort);
    EXPECT_TRUE(unitReadsAll().empty());
}

TEST_F(FlashLoaderTest, EraseEndZeroMeansTheImageEnd) {
    startCode(100);
    const auto erase = engine->currentEraseFrame();
    EXPECT_EQ(Bytes(erase.begin() + 3, erase.begin() + 11),
              (Bytes{0x2D, 0x00, 0x40, 0x00, 0x2D, 0x00, 0x40, 0x63}));
    EXPECT_TRUE(unitReadsAll().empty()) << "creation sends nothing";
}

TEST_F(FlashLoaderTest, BootBlockReloadEndsAtTheImageSizeAndReadsAtItsOwnAddress) {
    link.reloadBootBlock = true;
    const Bytes image = patternImage(0x70000 + 100);
    openImage(image);
    startEngine(false, 0x70000, 0x9FFFF, true);
    const Bytes frame = reach(S::WaitRec);
    EXPECT_EQ(frameAddress(frame), 0x70000u);
    EXPECT_EQ(Bytes(frame.begin() + 7, frame.begin() + 107),
              Bytes(image.begin() + 0x70000, image.end()));
}

TEST_F(FlashLoaderTest, RecordModeSendsTheRequestThenNumberedRecords) {
    openImage(patternImage(3000));
    startEngine(true, 0, 0xFFFFFFFF, false);
    reach(S::Hand);
    unitSends({0x55});
    runEngine();
    EXPECT_EQ(unitReads(1), Bytes{0x6A}) << "the request is not thrown away by the record";
    EXPECT_EQ(frameAddress(unitReads(1990)), 0u);
    const Bytes second = acknowledge();
    EXPECT_EQ(frameAddress(second), 1u);
    EXPECT_EQ(second.size(), 1020u + 10);
}

TEST_F(FlashLoaderTest, FailStartsAgainFromTheGreeting) {
    startCode(5000);
    reach(S::WaitRec);
    acknowledge();
    unitSends({0x84});
    runEngine();
    ASSERT_EQ(engine->state, S::WriteFail);
    engine->step();
    EXPECT_EQ(engine->state, S::Reset);
    runEngine();
    EXPECT_EQ(engine->state, S::NoConnect);
    EXPECT_EQ(engine->bytesSent, 0u);
    EXPECT_EQ(engine->currentAddress, kCodeBase);
}

TEST_F(FlashLoaderTest, RestartSendsTheFileFromItsStartInBothModes) {
    for (const bool recordMode : {false, true}) {
        SCOPED_TRACE(recordMode);
        openImage(patternImage(5000));
        startEngine(recordMode, recordMode ? 0 : kCodeBase, 0xFFFFFFFF, false);
        reach(S::Hand);
        unitSends({0x55});
        runEngine();
        unitReads(1);
        if (!recordMode) {
            unitSends({0x55});
            runEngine();
            unitReads(kEraseFrameLength);
            unitSends({0x55, 0x55});
            runEngine();
            unitReads(1);
            unitSends({0x55});
            runEngine();
        }
        const Bytes first = unitReads(1990);
        acknowledge();
        unitSends({0x87});
        runEngine();
        EXPECT_EQ(engine->bytesSent, 0u);
        unitSends({0x55});
        runEngine();
        EXPECT_EQ(unitReads(first.size()), first) << "same address or record number, same data";
        engine.reset();
    }
}

TEST_F(FlashLoaderTest, RecordNumberRewindsOneRecord) {
    startCode(5000);
    reach(S::WaitRec);
    acknowledge();
    acknowledge();
    EXPECT_EQ(engine->recordCounter, 2);
    unitSends({0x55, 0x89, 0x00, 0x00, 0x00, 0x02});
    runEngine();
    EXPECT_EQ(engine->recordCounter, 1);
    EXPECT_EQ(engine->bytesSent, 1980u);
    EXPECT_EQ(frameAddress(unitReads(lastFrame().size())), kCodeBase + 1980);
    EXPECT_TRUE(logHas("REC NUM 4 - 02"));
    EXPECT_TRUE(logHas("Reset to record 1 address 754993084"));
}

TEST_F(FlashLoaderTest, RecordNumberBeforeAnyProgressStaysAtTheFileStart) {
    startCode(5000);
    const Bytes first = reach(S::WaitRec);
    unitSends({0x55, 0x89, 1, 2, 3, 4});
    runEngine();
    EXPECT_EQ(engine->bytesSent, 0u);
    EXPECT_EQ(engine->currentAddress, kCodeBase);
    EXPECT_EQ(engine->recordCounter, 0);
    EXPECT_EQ(unitReads(first.size()), first);
}

struct FixedPhase : LegacyPhaseSource {
    std::optional<int> phase;
    std::optional<int> legacyPhase() const override { return phase; }
};

TEST_F(FlashLoaderTest, WordOrderIsDecidedByClassAndLegacyPhase) {
    struct Case {
        ReceiverClass receiverClass;
        std::optional<int> phase;
        std::uint16_t first, second;
        bool known;
        std::uint32_t value;
    };
    const Case cases[] = {
        {ReceiverClass::FlashMapping, std::nullopt, 0x0012, 0x3456, true, 0x00123456},
        {ReceiverClass::FlashPlain, 0, 0x3456, 0x0000, true, 0x34560000},
        {ReceiverClass::Legacy, std::nullopt, 0x0000, 0x0005, false, 0},
        {ReceiverClass::Legacy, 0, 0x0000, 0x0FFF, true, 0x00000FFF},
        {ReceiverClass::Legacy, 0, 0x0000, 0x1000, false, 0},
        {ReceiverClass::Legacy, 0, 0x0005, 0x0000, true, 0x00000005},
        {ReceiverClass::LegacyIfNamed, 1, 0x0000, 0x000F, true, 0x000F0000},
        {ReceiverClass::Legacy, 1, 0x000A, 0x0000, true, 0x000A0000},
        {ReceiverClass::Legacy, 1, 0x0000, 0x0010, false, 0},
        {ReceiverClass::Legacy, 2, 0x0000, 0x0005, false, 0},
        {ReceiverClass::Legacy, 0, 0x1234, 0x5678, false, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message()
                     << static_cast<int>(c.receiverClass) << " phase " << c.phase.value_or(-1)
                     << " words " << c.first << "," << c.second);
        FixedPhase phase;
        phase.phase = c.phase;
        link.receiverClass = c.receiverClass;
        startCode(5000, false, &phase);
        reach(S::WaitRec);
        debugWords(c.first, c.second);
        EXPECT_EQ(engine->wordOrderKnown, c.known);
        EXPECT_EQ(engine->reportedValue, c.value);
        engine.reset();
        unitReadsAll();
    }
}

TEST_F(FlashLoaderTest, DecidedWordOrderHoldsForLaterPairs) {
    FixedPhase phase;
    phase.phase = 0;
    link.receiverClass = ReceiverClass::Legacy;
    startCode(5000, false, &phase);
    reach(S::WaitRec);
    debugWords(0x0005, 0x0000);
    ASSERT_TRUE(engine->lowWordFirst);
    unitSends({0x55});
    runEngine();
    unitReads(lastFrame().size());
    phase.phase = 1;
    debugWords(0x1234, 0x0002);
    EXPECT_EQ(engine->reportedValue, 0x00021234u);
}

TEST_F(FlashLoaderTest, EchoBelowTheCurrentAddressResendsAfterIt) {
    // Five records from 0x110 put the fifth at 0x2000.
    const Bytes image = patternImage(5 * 1980 + 100);
    openImage(image);
    startEngine(false, 0x110, 0, true);
    reach(S::WaitRec);
    for (int i = 0; i < 3; ++i) acknowledge();
    ASSERT_EQ(frameAddress(acknowledge()), 0x2000u);
    const std::uint32_t sentBefore = engine->bytesSent;
    debugWords(0x0000, 0x1000);
    const Bytes next = acknowledge();
    EXPECT_TRUE(logHas("Got 00001000 back"));
    EXPECT_TRUE(logHas("Handshake error - resending"));
    // 0x1000 lies in the second record: the third goes again, and progress with it.
    EXPECT_EQ(engine->bytesSent, sentBefore - 2 * 1980);
    EXPECT_EQ(frameAddress(next), 0x110u + 2 * 1980);
    EXPECT_EQ(next.at(7), image.at(2 * 1980));
}

TEST_F(FlashLoaderTest, EchoIsFollowedOnlyWhenVerifiedAndInsideTheFile) {
    struct Case {
        bool verifyEcho;
        std::uint16_t high, low;
        const char* gotLine;
    };
    for (const Case c :
         {Case{true, 0x0000, 0x0100, "Got 00000100 back"}, Case{false, 0x2D00, 0x4000, nullptr}}) {
        startCode(5000, c.verifyEcho);
        reach(S::WaitRec);
        acknowledge();
        debugWords(c.high, c.low);
        unitSends({0x55});
        runEngine();
        if (c.gotLine != nullptr) {
            EXPECT_TRUE(logHas(c.gotLine));
        }
        EXPECT_FALSE(logHas("Handshake error - resending"));
        EXPECT_EQ(frameAddress(unitReads(lastFrame().size())), kCodeBase + 3960);
        engine.reset();
    }
}

TEST_F(FlashLoaderTest, NoConnectClearsTheQueueEveryFifteenthOtherInput) {
    startCode(100);
    runEngine();  // Reset; one "other" with nothing waiting
    unitSends(Bytes(30, 0x00));
    for (int i = 0; i < 13; ++i) EXPECT_TRUE(engine->step());
    EXPECT_EQ(stream->receiveCount(), 17);
    EXPECT_FALSE(engine->step()) << "the 15th other input clears the queue";
    EXPECT_EQ(stream->receiveCount(), 0);
    EXPECT_EQ(engine->state, S::NoConnect);
}

TEST_F(FlashLoaderTest, FileDoneReturnsFalseWithBytesWaiting) {
    startCode(100);
    reach(S::FileDone);
    EXPECT_TRUE(logHas("SEND REC - 0 len"));
    unitSends({0x55});
    EXPECT_FALSE(engine->step());
    EXPECT_EQ(engine->state, S::FileDone);
    EXPECT_EQ(stream->receiveCount(), 1);
}

TEST_F(FlashLoaderTest, SecondFileContinuesWithoutErase) {
    const Bytes secondImage = patternImage(300);
    ASSERT_TRUE(writeWholeFile(dir.file("second.bin"), secondImage));
    ImageFile second(dir.file("second.bin"));
    openImage(patternImage(100));
    startEngine(false, kCodeBase, 0, true, nullptr, &second, 0xA0000);
    reach(S::FileDone);
    EXPECT_EQ(engine->bytesSent, 100u);
    ASSERT_TRUE(engine->startNextSegment());
    EXPECT_EQ(engine->bytesSent, 0u);
    runEngine();
    const Bytes frame = unitReads(310);
    EXPECT_EQ(frameAddress(frame), 0xA0000u);
    EXPECT_EQ(Bytes(frame.begin() + 7, frame.begin() + 307), secondImage);
    EXPECT_TRUE(logHas("SECOND FILE - 000a0000 to 000a012c"));
}

// Each time-out fires once the whole-second difference exceeds its limit, not before.
struct TimeoutCase {
    const char* name;
    S state;
    int firesAfterSeconds;
};

class TimeoutTest : public FlashLoaderTest, public ::testing::WithParamInterface<TimeoutCase> {};

TEST_P(TimeoutTest, FiresAtItsSecondAndNotBefore) {
    const TimeoutCase c = GetParam();
    startCode(100);
    const Bytes resent = reach(c.state);
    ASSERT_EQ(engine->state, c.state);
    for (int round = 0; round < 2; ++round) {  // a resend restarts the interval
        clock.advanceMs((c.firesAfterSeconds - 1) * 1000);
        runEngine();
        EXPECT_TRUE(unitReadsAll().empty()) << "fired a second early";
        clock.advanceMs(1000);
        runEngine();
        EXPECT_EQ(unitReads(resent.size()), resent);
        EXPECT_EQ(engine->state, c.state);
    }
}

INSTANTIATE_TEST_SUITE_P(States, TimeoutTest,
                         ::testing::Values(TimeoutCase{"EraseCmd", S::EraseCmd, 2},
                                           TimeoutCase{"EraseAdr", S::EraseAdr, 3},
                                           TimeoutCase{"WaitRec", S::WaitRec, 5},
                                           TimeoutCase{"SendEnd", S::SendEnd, 3}),
                         [](const auto& info) { return std::string(info.param.name); });

// A lost end of the erase must not leave the engine waiting for ever; a sector
// report shows the erase is still going.
TEST_F(FlashLoaderTest, ErasingSilentPastItsLimitSendsTheEraseAgain) {
    startCode(100);
    const Bytes erase = reach(S::EraseAdr);
    unitSends({0x55});
    runEngine();
    ASSERT_EQ(engine->state, S::Erasing);
    clock.advanceMs(9000);
    unitSends({0x8F});
    runEngine();
    clock.advanceMs(9000);
    runEngine();
    EXPECT_TRUE(unitReadsAll().empty()) << "the sector report restarts the limit";
    clock.advanceMs(1000);
    runEngine();
    EXPECT_EQ(unitReads(erase.size()), erase);
    EXPECT_EQ(engine->state, S::EraseAdr);
}

// A lost second acknowledgement must not leave the engine waiting for ever.
TEST_F(FlashLoaderTest, EndFrameTimeoutCountsFromFileDoneAndProgResendsAfterItsLimit) {
    startCode(100);
    const Bytes frame = reach(S::Prog);
    clock.advanceMs(4000);
    runEngine();
    EXPECT_TRUE(unitReadsAll().empty()) << "fired a second early";
    clock.advanceMs(1000);
    runEngine();
    EXPECT_EQ(unitReads(frame.size()), frame);
    EXPECT_EQ(engine->state, S::WaitRec);
    unitSends({0x55, 0x55});
    runEngine();
    ASSERT_EQ(engine->state, S::FileDone);
    clock.advanceMs(2000);
    engine->sendEnd();
    EXPECT_EQ(unitReads(kEndFrameLength), Bytes(kEndFrame.begin(), kEndFrame.end()));
    clock.advanceMs(1000);
    runEngine();
    EXPECT_EQ(unitReads(kEndFrameLength), Bytes(kEndFrame.begin(), kEndFrame.end()));
}

}  // namespace
}  // namespace zamel::testing
