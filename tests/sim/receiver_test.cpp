#include "receiver.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "loader_frames.h"
#include "unit_bench.h"

namespace zamel::sim::testing {
namespace {

using Bytes = std::vector<std::uint8_t>;
using std::chrono::milliseconds;

constexpr std::uint32_t kCodeBase = 0x2D004000;

std::string text(const Bytes& bytes) { return {bytes.begin(), bytes.end()}; }

std::vector<TransferEvent::Kind> eventKinds(UnitBench& bench) {
    std::vector<TransferEvent::Kind> kinds;
    while (const auto event = bench.unit().takeEvent()) kinds.push_back(event->kind);
    return kinds;
}

TEST(ReceiverFirmware, AnswersEachQueryOnlyAtItsOwnRate) {
    UnitBench bench;
    EXPECT_EQ(bench.send(sentence("CMD,VERSION")), sentence("VER,033,3.08"));
    EXPECT_EQ(bench.send(sentence("CMD,MEMORY")), sentence("MEM,8388608,4194304,0"));
    EXPECT_EQ(bench.send(sentence("CMD,MPH")), sentence("MPH,1,0,TALVANE BASEMAP,2.05,4194304"));
    EXPECT_TRUE(bench.sendAt(sentence("CMD,VERSION"), 9600).empty());
    EXPECT_FALSE(bench.unit().receive('$', 9600, bench.now()));
}

TEST(ReceiverFirmware, PoiReplyCarriesTheWholeHeaderWithoutCarriageReturn) {
    UnitBench bench;
    const Bytes reply = bench.send(sentence("CMD,PIH"));
    ASSERT_EQ(reply.size(), 9u + 128u + 5u);
    EXPECT_EQ(text(Bytes(reply.begin(), reply.begin() + 9)), "$PQVXPOI,");
    EXPECT_EQ(std::count(reply.begin(), reply.end() - 2, '\r'), 0);
    EXPECT_NE(reply[9], 0);
    EXPECT_EQ(text(Bytes(reply.begin() + 12, reply.begin() + 60)),
              ",    NAV 415    ,   WORLDWIDE   ,    CITIES     ");
    const Bytes payload(reply.begin() + 5, reply.end() - 5);
    EXPECT_EQ(reply, sentence(text(payload)));
}

TEST(ReceiverFirmware, IgnoresCommandsWithABadChecksum) {
    UnitBench bench;
    Bytes bad = sentence("CMD,VERSION");
    bad[bad.size() - 3] ^= 0x01;
    EXPECT_TRUE(bench.send(bad).empty());
    EXPECT_FALSE(bench.send(sentence("CMD,VERSION")).empty());
}

struct HandOverCase {
    const char* name;
    std::vector<std::string> commands;
    bool zeroByte;
    bool entersBootLoader;
};

TEST(ReceiverFirmware, HandsOverOnlyAfterTheSameUploadCommandTwiceAndAZeroByte) {
    const HandOverCase cases[] = {
        {"database twice", {"CMD,DBUPLOAD", "CMD,DBUPLOAD"}, true, true},
        {"base map twice", {"CMD,MPUPLOAD,1", "CMD,MPUPLOAD,1"}, true, true},
        {"detail map twice", {"CMD,MPUPLOAD,2", "CMD,MPUPLOAD,2"}, true, true},
        {"once", {"CMD,DBUPLOAD"}, true, false},
        {"no zero byte", {"CMD,DBUPLOAD", "CMD,DBUPLOAD"}, false, false},
        {"two different", {"CMD,DBUPLOAD", "CMD,MPUPLOAD,1"}, true, false},
        {"interrupted", {"CMD,DBUPLOAD", "CMD,VERSION", "CMD,DBUPLOAD"}, true, false},
    };
    for (const auto& c : cases) {
        UnitBench bench;
        for (const auto& command : c.commands) bench.send(sentence(command));
        if (c.zeroByte) bench.send(0x00);
        EXPECT_EQ(bench.unit().mode() == Receiver::Mode::BootLoader, c.entersBootLoader) << c.name;
    }
}

TEST(ReceiverBootLoader, GreetsOnceASecondAndOnlyAtTheLoaderRate) {
    UnitBench bench;
    bench.enterBootLoader();
    bench.setLineRate(UnitBench::kBaud);
    EXPECT_TRUE(bench.advance(milliseconds(1500)).empty());
    EXPECT_FALSE(bench.unit().nextWake().has_value());
    bench.setLineRate(UnitBench::kLoaderBaud);
    EXPECT_EQ(bench.advance(milliseconds(0)), Bytes{0xAA});
    EXPECT_TRUE(bench.advance(milliseconds(999)).empty());
    EXPECT_EQ(bench.advance(milliseconds(1)), Bytes{0xAA});
    // Bytes at the firmware rate are noise to the boot loader.
    EXPECT_TRUE(bench.sendAt({0x55}, UnitBench::kBaud).empty());
    EXPECT_EQ(bench.send(0x55), Bytes{0x55});
    EXPECT_TRUE(bench.advance(milliseconds(3000)).empty());
}

TEST(ReceiverBootLoader, EraseReportsEachSectorAfterItsEraseTime) {
    UnitBench bench;
    bench.enterBootLoader();
    bench.handshake();
    EXPECT_EQ(bench.send(0x6A), Bytes{0x55});
    // 0x2D004000..0x2D020000 touches the sectors 0x2D00, 0x2D01 and 0x2D02.
    bench.feed(eraseFrame(kCodeBase, 0x2D020000));
    const SimTime frameEnd = bench.now();
    const auto entries = bench.takeEntries();
    ASSERT_EQ(entries.size(), 5u);
    const Bytes expected{0x55, 0x8F, 0x8F, 0x8F, 0x55};
    const SimTime expectedDue[] = {frameEnd, frameEnd + milliseconds(20),
                                   frameEnd + milliseconds(40), frameEnd + milliseconds(60),
                                   frameEnd + milliseconds(60)};
    for (std::size_t i = 0; i < entries.size(); ++i) {
        EXPECT_EQ(entries[i].byte, expected[i]) << i;
        EXPECT_EQ(entries[i].due, expectedDue[i]) << i;
    }
    // The cold start is taken only once the erase is over.
    EXPECT_TRUE(bench.send(0x69).empty());
    bench.advance(milliseconds(60));
    EXPECT_EQ(bench.send(0x69), Bytes{0x55});
}

TEST(ReceiverBootLoader, RefusesAnEraseRangeThatEndsBeforeItStarts) {
    UnitBench bench;
    bench.enterBootLoader();
    bench.handshake();
    EXPECT_EQ(bench.send(0x6A), Bytes{0x55});
    EXPECT_EQ(bench.send(eraseFrame(kCodeBase, kCodeBase - 1)), Bytes{0x83});
    EXPECT_EQ(bench.advance(milliseconds(1000)), Bytes{0xAA});
}

TEST(ReceiverBootLoader, AnswersNoFrameBeforeItsLastByteHasCrossedTheLine) {
    UnitBench bench;
    bench.enterBootLoader();
    bench.handshake();
    bench.eraseAndColdStart(kCodeBase, 0x2D010000);
    const Bytes data = patternBytes(1980, 3);
    const SimTime before = bench.now();
    const Bytes frame = recordFrame(kCodeBase, data);
    bench.feed(frame);
    const auto entries = bench.takeEntries();
    ASSERT_EQ(entries.size(), 2u);
    for (const auto& entry : entries)
        EXPECT_GE(entry.due, before + byteTime(UnitBench::kLoaderBaud) * 1990);
}

TEST(ReceiverBootLoader, AddressModeTransferProgramsTheImageAndHandsBack) {
    UnitBench bench;
    const Bytes image = patternBytes(1980 + 100, 7);
    bench.enterBootLoader();
    EXPECT_EQ(bench.handshake(), (Bytes{0xAA, 0x55}));
    bench.eraseAndColdStart(kCodeBase, kCodeBase + static_cast<std::uint32_t>(image.size()) - 1);

    const std::span<const std::uint8_t> all(image);
    EXPECT_EQ(bench.send(recordFrame(kCodeBase, all.subspan(0, 1980))), (Bytes{0x55, 0x55}));
    EXPECT_EQ(bench.send(recordFrame(kCodeBase + 1980, all.subspan(1980))), (Bytes{0x55, 0x55}));
    EXPECT_EQ(bench.send(endFrame()), Bytes{0x55});

    const auto event = bench.unit().takeEvent();
    ASSERT_TRUE(event.has_value());
    EXPECT_EQ(event->kind, TransferEvent::Kind::Completed);
    const FlashMemory& flash = bench.unit().bootLoader().flash();
    EXPECT_EQ(flash.programmedCount(), image.size());
    for (std::size_t i = 0; i < image.size(); ++i)
        ASSERT_EQ(flash.read(kCodeBase + static_cast<std::uint32_t>(i)), image[i]) << i;

    // The firmware answers again at its own rate.
    EXPECT_EQ(bench.unit().mode(), Receiver::Mode::Firmware);
    bench.setLineRate(UnitBench::kBaud);
    EXPECT_EQ(bench.send(sentence("CMD,VERSION")), sentence("VER,033,3.08"));
}

TEST(ReceiverBootLoader, RecordModeLandsContiguouslyAndReportsChecksumAndCount) {
    UnitBench bench;
    bench.enterBootLoader("CMD,MPUPLOAD,1");
    bench.handshake();
    EXPECT_TRUE(bench.send(0x6A).empty());
    const Bytes map = patternBytes(1980 + 7, 11);
    const std::span<const std::uint8_t> all(map);
    EXPECT_EQ(bench.send(recordFrame(0, all.subspan(0, 1980))), (Bytes{0x55, 0x55}));
    // The second record carries counter 1, padded to a whole word.
    EXPECT_EQ(bench.send(recordFrame(1, all.subspan(1980))), (Bytes{0x55, 0x55}));

    // A good transfer reports checksum 0, then the count with the pad byte.
    const std::uint32_t count = static_cast<std::uint32_t>(map.size() + 1);
    EXPECT_EQ(
        bench.send(endFrame()),
        (Bytes{0x55, 0x8E, 0x00, 0x00, 0x55, 0x8E, static_cast<std::uint8_t>(count >> 24),
               static_cast<std::uint8_t>(count >> 16), 0x8E, static_cast<std::uint8_t>(count >> 8),
               static_cast<std::uint8_t>(count), 0x55}));
    const FlashMemory& flash = bench.unit().bootLoader().flash();
    for (std::size_t i = 0; i < map.size(); ++i)
        ASSERT_EQ(flash.read(static_cast<std::uint32_t>(i)), map[i]) << i;
}

TEST(ReceiverBootLoader, PlainVariantTakesItsBaseMapWithAnErase) {
    UnitBench bench({}, "Talvane GPS");
    bench.enterBootLoader("CMD,MPUPLOAD,1");
    bench.handshake();
    EXPECT_EQ(bench.send(0x6A), Bytes{0x55});
    EXPECT_EQ(bench.unit().bootLoader().mode(), UploadMode::Address);
}

TEST(ReceiverBootLoader, RefusesBadFramesAndWritesOutsideErasedSectors) {
    UnitBench bench;
    bench.enterBootLoader();
    bench.handshake();
    // The erase range ends inside its last sector: the unit erases that sector whole.
    bench.eraseAndColdStart(kCodeBase, 0x2D00F000);
    const Bytes data = patternBytes(64, 5);

    Bytes corrupt = recordFrame(kCodeBase, data);
    corrupt[20] ^= 0x40;
    EXPECT_EQ(bench.send(corrupt), Bytes{0x81});
    Bytes unterminated = recordFrame(kCodeBase, data);
    unterminated.back() = 0x00;
    EXPECT_EQ(bench.send(unterminated), Bytes{0x81});
    EXPECT_EQ(eventKinds(bench),
              (std::vector<TransferEvent::Kind>(2, TransferEvent::Kind::ProtocolError)));
    EXPECT_EQ(bench.send(recordFrame(kCodeBase, data)), (Bytes{0x55, 0x55}));
    // A lost acknowledgement makes the loader send the same record again.
    EXPECT_EQ(bench.send(recordFrame(kCodeBase, data)), (Bytes{0x55, 0x55}));
    // Overlapping the programmed bytes; then in a sector never erased, below the
    // erased one and running over its end.
    const std::uint32_t refused[] = {kCodeBase + 2, 0x2CFFFFC0, 0x2D00FFF0};
    for (std::uint32_t address : refused) {
        EXPECT_EQ(bench.send(recordFrame(address, data)), Bytes{0x84}) << std::hex << address;
        EXPECT_EQ(eventKinds(bench), std::vector{TransferEvent::Kind::Failed});
        EXPECT_EQ(bench.advance(milliseconds(1000)), Bytes{0xAA});
        bench.send(0x55);
        bench.eraseAndColdStart(kCodeBase, 0x2D00F000);
        if (address == kCodeBase + 2) bench.send(recordFrame(kCodeBase, data));
    }
    // Past the erase end and before its start, yet in the erased sector: taken, as
    // the pad byte of an odd-length image's last record is.
    EXPECT_EQ(bench.send(recordFrame(0x2D00FFC0, data)), (Bytes{0x55, 0x55}));
    EXPECT_EQ(bench.send(recordFrame(0x2D000000, data)), (Bytes{0x55, 0x55}));
    EXPECT_TRUE(eventKinds(bench).empty());
}

}  // namespace
}  // namespace zamel::sim::testing
