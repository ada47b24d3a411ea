#include <gtest/gtest.h>

#include "fault_plan.h"
#include "loader_frames.h"
#include "unit_bench.h"

namespace zamel::sim::testing {
namespace {

using Bytes = std::vector<std::uint8_t>;
using std::chrono::milliseconds;

constexpr std::uint32_t kBase = 0x2D004000;
constexpr std::uint32_t kEraseEnd = 0x2D01FFFF;

// A unit in its boot loader, erased and cold-started, ready for records.
struct ReadyUnit {
    explicit ReadyUnit(const std::vector<std::string>& faults) : bench(faults) {
        bench.enterBootLoader();
        bench.handshake();
        bench.eraseAndColdStart(kBase, kEraseEnd);
    }
    Bytes record(int index) {
        return bench.send(recordFrame(kBase + 1980u * static_cast<std::uint32_t>(index),
                                      std::span<const std::uint8_t>(data).subspan(
                                          1980u * static_cast<std::size_t>(index), 1980)));
    }
    UnitBench bench;
    Bytes data = patternBytes(1980 * 4, 21);
};

const Bytes kAck{0x55, 0x55};

TEST(FaultPlanParsing, AcceptsEachFaultAndRefusesMalformedOnes) {
    const std::pair<const char*, bool> cases[] = {
        {"resend:3:0x81", true},     {"resend:3:82", true},       {"resend:3:0x83", false},
        {"resend:3", false},         {"fail-erase", true},        {"fail-erase:1", false},
        {"fail-write:2", true},      {"fail-write:0", false},     {"fail-write:x", false},
        {"reset:1", true},           {"bad-cmd", true},           {"rec-number:2", true},
        {"bad-type", true},          {"debug-echo", true},        {"drop-ack:1", true},
        {"silent-loader", true},     {"unplug:4", true},          {"noise", true},
        {"late-greeting:5", true},   {"late-greeting:-1", false}, {"garble", true},
        {"meltdown", false},         {"unplug:+4", false},        {"prog-resend:2:88", true},
        {"prog-resend:2", false},    {"lost-end-ack", true},      {"greet77:1", false},
        {"fail-write:2@3", true},    {"fail-erase@1", true},      {"resend:1:81@2", true},
        {"fail-write:2@0", false},   {"reset:1@", false},         {"noise@1", false},
        {"lose-ack:3:first", true},  {"lose-ack:erase@2", true},  {"lose-ack:3", false},
        {"lose-ack:0:first", false}, {"lose-ack:3:third", false}, {"lose-ack:3:second@2", true},
    };
    for (const auto& [text, good] : cases) {
        FaultPlan plan;
        std::string error;
        EXPECT_EQ(plan.add(text, error), good) << text;
        EXPECT_EQ(error.empty(), good) << text << ": " << error;
    }
}

TEST(Fault, ResendAnswersRecordKWithTheCodeOnce) {
    ReadyUnit unit({"resend:2:0x85"});
    EXPECT_EQ(unit.record(0), kAck);
    EXPECT_EQ(unit.record(1), Bytes{0x85});
    EXPECT_EQ(unit.record(1), kAck);
    EXPECT_EQ(unit.bench.unit().bootLoader().flash().programmedCount(), 2u * 1980u);
}

TEST(Fault, RecordKIsTheKthRecordOfTheImageWhateverWasResentBefore) {
    ReadyUnit unit({"resend:1:0x82", "resend:3:0x85", "drop-ack:2", "resend:4:0x88"});
    const std::pair<int, Bytes> steps[] = {
        {0, {0x82}}, {0, kAck}, {1, {}}, {1, kAck}, {2, {0x85}}, {2, kAck}, {3, {0x88}}, {3, kAck},
    };
    for (const auto& [index, answer] : steps) EXPECT_EQ(unit.record(index), answer) << index;
}

TEST(Fault, AcknowledgementFaultsShapeTheAnswersToARecord) {
    const std::pair<const char*, Bytes> cases[] = {
        {"rec-wait", {0x55, 0x77}},
        {"early-debug", {0x8E, 0x00, 0x01, 0x55, 0x55}},
        {"prog-resend:1:0x82", {0x55, 0x82}},
    };
    for (const auto& [fault, answer] : cases) {
        ReadyUnit unit({fault});
        EXPECT_EQ(unit.record(0), answer) << fault;
    }
    // A record asked for again after its first acknowledgement is written once.
    ReadyUnit unit({"prog-resend:1:0x82"});
    unit.record(0);
    EXPECT_EQ(unit.record(0), kAck);
    EXPECT_EQ(unit.bench.unit().bootLoader().flash().programmedCount(), 1980u);
}

// Record K of transfer T: a fault with @2 leaves the first transfer alone.
TEST(Fault, TransferSelectorHitsRecordKOfThatTransferOnly) {
    const std::pair<const char*, Bytes> cases[] = {
        {"fail-write:2@2", {0x84}},
        {"reset:2@2", {0x87, 0x55}},
        {"resend:2:0x88@2", {0x88}},
        {"drop-ack:2@2", {}},
        {"rec-number:2@2", {0x55, 0x89, 0x00, 0x00, 0x00, 0x01}},
        {"lose-ack:2:first@2", {0x55}},
    };
    for (const auto& [fault, answer] : cases) {
        UnitBench bench({fault});
        for (std::uint32_t transfer = 1; transfer <= 2; ++transfer) {
            bench.enterBootLoader();
            bench.handshake();
            bench.eraseAndColdStart(kBase, kEraseEnd);
            const Bytes data = patternBytes(2 * 1980, transfer);
            const std::span<const std::uint8_t> all(data);
            EXPECT_EQ(bench.send(recordFrame(kBase, all.subspan(0, 1980))), kAck) << fault;
            EXPECT_EQ(bench.send(recordFrame(kBase + 1980, all.subspan(1980))),
                      transfer == 1 ? kAck : answer)
                << fault << " in transfer " << transfer;
            if (transfer == 1) {
                EXPECT_EQ(bench.send(endFrame()), Bytes{0x55});
            }
            EXPECT_EQ(bench.unit().bootLoader().transferNumber(), transfer);
        }
    }
}

// The record is programmed all the same: sent again it is acknowledged, not written twice.
TEST(Fault, LoseAckLeavesOutOneAcknowledgementOfAProgrammedRecord) {
    const std::pair<const char*, Bytes> cases[] = {
        {"lose-ack:2:first", {0x8E, 0x2D, 0x00, 0x8E, 0x47, 0xBC, 0x55}},
        {"lose-ack:2:second", {0x55, 0x8E, 0x2D, 0x00, 0x8E, 0x47, 0xBC}},
    };
    const Bytes fullAnswer{0x55, 0x8E, 0x2D, 0x00, 0x8E, 0x47, 0xBC, 0x55};
    for (const auto& [fault, answer] : cases) {
        ReadyUnit unit({fault, "debug-echo"});
        unit.record(0);
        EXPECT_EQ(unit.record(1), answer) << fault;
        EXPECT_EQ(unit.bench.unit().bootLoader().flash().programmedCount(), 2u * 1980u);
        EXPECT_EQ(unit.record(1), fullAnswer) << fault;
        EXPECT_EQ(unit.bench.unit().bootLoader().flash().programmedCount(), 2u * 1980u);
        EXPECT_TRUE(unit.bench.unit().takeEvent() == std::nullopt) << fault;
    }
}

TEST(Fault, LoseEraseAckLetsTheLoaderGoOnOrStartTheEraseOver) {
    const Bytes erased{0x55, 0x8F, 0x8F, 0x55};
    const std::vector<std::pair<Bytes, Bytes>> recoveries[] = {
        {{{0x69}, {0x55}}},
        {{eraseFrame(kBase, kEraseEnd), erased}, {{0x69}, {0x55}}},
        {{{0x6A}, {0x55}}, {eraseFrame(kBase, kEraseEnd), erased}, {{0x69}, {0x55}}},
    };
    for (const auto& steps : recoveries) {
        UnitBench bench({"lose-ack:erase"});
        bench.enterBootLoader();
        bench.handshake();
        EXPECT_EQ(bench.send(0x6A), Bytes{0x55});
        EXPECT_EQ(bench.send(eraseFrame(kBase, kEraseEnd)), (Bytes{0x55, 0x8F, 0x8F}));
        bench.advance(milliseconds(40));
        for (const auto& [out, answer] : steps) EXPECT_EQ(bench.send(out), answer) << steps.size();
        EXPECT_TRUE(bench.unit().takeEvent() == std::nullopt) << steps.size();
    }
    // Without the lost acknowledgement the erase frame again is a breach.
    UnitBench strict;
    strict.enterBootLoader();
    strict.handshake();
    strict.send(0x6A);
    EXPECT_EQ(strict.send(eraseFrame(kBase, kEraseEnd)), erased);
    EXPECT_TRUE(strict.send(eraseFrame(kBase, kEraseEnd)).empty());
    EXPECT_EQ(strict.unit().takeEvent()->kind, TransferEvent::Kind::ProtocolError);
}

TEST(Fault, FailEraseAnswersTheEraseFrameWith84) {
    UnitBench bench({"fail-erase"});
    bench.enterBootLoader();
    bench.handshake();
    EXPECT_EQ(bench.send(0x6A), Bytes{0x55});
    EXPECT_EQ(bench.send(eraseFrame(kBase, kEraseEnd)), Bytes{0x84});
    EXPECT_EQ(bench.unit().takeEvent()->kind, TransferEvent::Kind::Failed);
    // The loader starts over from the greeting.
    EXPECT_EQ(bench.advance(milliseconds(1000)), Bytes{0xAA});
}

TEST(Fault, FailWriteAnswersRecordKWith84) {
    ReadyUnit unit({"fail-write:2"});
    EXPECT_EQ(unit.record(0), kAck);
    EXPECT_EQ(unit.record(1), Bytes{0x84});
    EXPECT_EQ(unit.bench.unit().takeEvent()->kind, TransferEvent::Kind::Failed);
}

TEST(Fault, ResetAnswers87ErasesAgainAndTakesTheFileFromTheStart) {
    ReadyUnit unit({"reset:2"});
    EXPECT_EQ(unit.record(0), kAck);
    unit.bench.feed(
        recordFrame(kBase + 1980, std::span<const std::uint8_t>(unit.data).subspan(1980, 1980)));
    const auto entries = unit.bench.takeEntries();
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0].byte, 0x87);
    EXPECT_EQ(entries[1].byte, 0x55);
    // Two sectors erased again before the unit is ready.
    EXPECT_EQ(entries[1].due - entries[0].due, milliseconds(40));
    unit.bench.advance(milliseconds(40));
    EXPECT_EQ(unit.record(0), kAck);
    EXPECT_EQ(unit.record(1), kAck);
}

TEST(Fault, BadCmdRefusesTheFirstEraseRequest) {
    UnitBench bench({"bad-cmd"});
    bench.enterBootLoader();
    bench.handshake();
    EXPECT_EQ(bench.send(0x6A), Bytes{0x83});
    EXPECT_EQ(bench.advance(milliseconds(1000)), Bytes{0xAA});
    EXPECT_EQ(bench.send(0x55), Bytes{0x55});
    EXPECT_EQ(bench.send(0x6A), Bytes{0x55});
}

TEST(Fault, RecNumberRewindsOneRecordAfterTheFirstAcknowledgement) {
    ReadyUnit unit({"rec-number:2"});
    EXPECT_EQ(unit.record(0), kAck);
    EXPECT_EQ(unit.record(1), (Bytes{0x55, 0x89, 0x00, 0x00, 0x00, 0x01}));
    // The loader goes back one record; the unit has taken that record back.
    EXPECT_EQ(unit.record(0), kAck);
    EXPECT_EQ(unit.record(1), kAck);
    EXPECT_EQ(unit.bench.unit().bootLoader().flash().programmedCount(), 2u * 1980u);
}

TEST(Fault, BadTypeAnswersTheGreetingsAnswerWith86AndFallsSilent) {
    UnitBench bench({"bad-type"});
    bench.enterBootLoader();
    EXPECT_EQ(bench.handshake(), (Bytes{0xAA, 0x86}));
    EXPECT_TRUE(bench.advance(milliseconds(3000)).empty());
}

TEST(Fault, DebugEchoReportsTheRecordAddressAsTwoWordsHighFirst) {
    ReadyUnit unit({"debug-echo"});
    EXPECT_EQ(unit.record(0), (Bytes{0x55, 0x8E, 0x2D, 0x00, 0x8E, 0x40, 0x00, 0x55}));
    EXPECT_EQ(unit.record(1), (Bytes{0x55, 0x8E, 0x2D, 0x00, 0x8E, 0x47, 0xBC, 0x55}));
}

TEST(Fault, DropAckIgnoresRecordKTheFirstTime) {
    ReadyUnit unit({"drop-ack:1"});
    EXPECT_TRUE(unit.record(0).empty());
    EXPECT_EQ(unit.record(0), kAck);
}

TEST(Fault, SilentLoaderNeverGreets) {
    UnitBench bench({"silent-loader"});
    bench.enterBootLoader();
    EXPECT_TRUE(bench.advance(milliseconds(0)).empty());
    EXPECT_TRUE(bench.advance(milliseconds(5000)).empty());
}

TEST(Fault, UnplugAsksForTheLineToCloseAfterRecordK) {
    ReadyUnit unit({"unplug:2"});
    EXPECT_EQ(unit.record(0), kAck);
    EXPECT_FALSE(unit.bench.unit().takeEvent().has_value());
    EXPECT_EQ(unit.record(1), kAck);
    const auto event = unit.bench.unit().takeEvent();
    ASSERT_TRUE(event.has_value());
    EXPECT_EQ(event->kind, TransferEvent::Kind::Unplug);
}

TEST(Fault, NoiseSurroundsRepliesWithoutBreakingThem) {
    UnitBench bench({"noise"});
    const Bytes reply = bench.send(sentence("CMD,VERSION"));
    const Bytes clean = sentence("VER,033,3.08");
    ASSERT_GT(reply.size(), clean.size());
    const auto at = std::search(reply.begin(), reply.end(), clean.begin(), clean.end());
    ASSERT_NE(at, reply.end());
    EXPECT_GT(at - reply.begin(), 0);
    EXPECT_EQ(std::count(reply.begin(), reply.end(), '$'), 1);
}

TEST(Fault, LateGreetingWaitsTheGivenSeconds) {
    UnitBench bench({"late-greeting:3"});
    bench.enterBootLoader();
    EXPECT_TRUE(bench.advance(milliseconds(2999)).empty());
    EXPECT_EQ(bench.advance(milliseconds(1)), Bytes{0xAA});
}

TEST(Fault, GarbleAnswersSentencesAtAWrongRateWithGarbage) {
    UnitBench bench({"garble"});
    const Bytes command = sentence("CMD,VERSION");
    const Bytes reply = bench.sendAt(command, 9600);
    EXPECT_EQ(reply.size(), command.size());
    EXPECT_EQ(std::count(reply.begin(), reply.end(), '$'), 0);
    EXPECT_EQ(std::count(reply.begin(), reply.end(), 0xAA), 0);
    EXPECT_EQ(bench.send(command), sentence("VER,033,3.08"));
}

}  // namespace
}  // namespace zamel::sim::testing
