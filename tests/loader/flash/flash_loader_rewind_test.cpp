#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine_rig.h"
#include "flash_loader.h"
#include "scripted_unit.h"
#include "test_images.h"

namespace zamel::testing {
namespace {

using Bytes = std::vector<std::uint8_t>;
using S = FlashLoaderState;
using Trouble = ScriptedUnit::Trouble;

constexpr std::uint32_t kCodeBase = 0x2D004000;
// Seven records either way: 1980-byte binary records, or 1984-byte blocks of
// 32-byte S-records.
constexpr std::size_t kImageBytes = 12000;
constexpr std::uint32_t kSRecordBlock = 62 * 32;

Bytes patternImage(std::size_t n) {
    Bytes bytes(n);
    for (std::size_t i = 0; i < n; ++i) bytes[i] = static_cast<std::uint8_t>(i * 29 + i / 509);
    return bytes;
}

using FlashLoaderRewindTest = EngineRig;

// Whatever makes the engine go back, the unit ends up holding the image, and only
// the records it asked for again are sent again.
TEST_F(FlashLoaderRewindTest, GoingBackStillLeavesTheWholeImageInTheUnit) {
    struct Case {
        Trouble trouble;
        bool recordMode;
        const char* logLine;
        int recordsTaken;  // three before the trouble, then what is sent again
    };
    const Case cases[] = {
        {Trouble::WriteFail, false, "WAIT REC - fail", 3 + 7},
        {Trouble::WriteFail, true, "WAIT REC - fail", 3 + 7},
        {Trouble::RestartFile, false, "WAIT REC - reset", 3 + 7},
        {Trouble::RestartFile, true, "WAIT REC - reset", 3 + 7},
        {Trouble::RewindRecord, false, "REC NUM 4 - 03", 3 + 5},
        {Trouble::RewindRecord, true, "REC NUM 4 - 03", 3 + 5},
        {Trouble::EchoEarlier, false, "Handshake error - resending", 3 + 5},
    };
    const Bytes data = patternImage(kImageBytes);
    for (const bool sRecord : {true, false}) {
        for (const Case& c : cases) {
            SCOPED_TRACE(::testing::Message() << "S-record " << sRecord << ", record mode "
                                              << c.recordMode << ", " << c.logLine);
            const std::uint32_t base = c.recordMode ? 0 : kCodeBase;
            if (sRecord) {
                openImage(sRecordText(base, data, 32), "image.hex");
                ASSERT_TRUE(image->isSRecord);
            } else {
                openImage(data, "image.bin");
            }
            startEngine(c.recordMode, base, c.recordMode ? 0xFFFFFFFF : base + kImageBytes, true);
            ScriptedUnit unit(c.recordMode, 2);
            unit.troubleAt(4, c.trouble);
            ASSERT_TRUE(transferTo(unit)) << unit.fault();
            EXPECT_TRUE(logHas(c.logLine));
            EXPECT_EQ(c.recordMode ? unit.recordData() : unit.flash(kCodeBase, data.size()), data);
            EXPECT_EQ(unit.recordsTaken(), c.recordsTaken);
            // An echo resends records already counted; everything else counts
            // each byte once.
            if (c.trouble != Trouble::EchoEarlier) {
                EXPECT_EQ(engine->bytesSent, kImageBytes);
            }
            engine->closeLog();
            engine.reset();
            unitReadsAll();
        }
    }
}

TEST_F(FlashLoaderRewindTest, RewindOnTheFirstSRecordBlockSendsItAgain) {
    openImage(sRecordText(kCodeBase, patternImage(kImageBytes), 32), "image.hex");
    startEngine(false, kCodeBase, 0, true);
    const Bytes first = reach(S::WaitRec);
    unitSends({0x55, 0x89, 1, 2, 3, 4});
    runEngine();
    EXPECT_EQ(unitReads(first.size()), first);
}

// The image changed on disk while it was being sent: going back sends the bytes that
// were checked before the transfer, never what the file holds now.
TEST_F(FlashLoaderRewindTest, ImageChangedOnDiskDoesNotChangeWhatGoesBack) {
    const Bytes data = patternImage(kImageBytes);
    const Bytes oneBlock(data.begin(), data.begin() + kSRecordBlock);
    const Bytes replies[] = {{0x55, 0x89, 0, 0, 0, 2},
                             {0x55, 0x8E, 0x2D, 0x00, 0x8E, 0x40, 0x00, 0x55}};
    for (const Bytes& reply : replies) {
        openImage(sRecordText(kCodeBase, data, 32), "image.hex");
        startEngine(false, kCodeBase, 0, true);
        reach(S::WaitRec);
        for (int i = 0; i < 2; ++i) {
            unitSends({0x55, 0x55});
            runEngine();
            unitReads(lastFrame().size());
        }
        ASSERT_TRUE(writeWholeFile(dir.file("image.hex"), sRecordText(kCodeBase, oneBlock, 32)));
        unitSends(reply);
        runEngine();
        const Bytes frame = unitReads(lastFrame().size());
        ASSERT_GT(frame.size(), 7u);
        const std::uint32_t offset =
            (std::uint32_t{frame[3]} << 24 | std::uint32_t{frame[4]} << 16 |
             std::uint32_t{frame[5]} << 8 | frame[6]) -
            kCodeBase;
        EXPECT_EQ(Bytes(frame.begin() + 7, frame.end() - 3),
                  Bytes(data.begin() + offset, data.begin() + offset + frame.size() - 10));
        engine->closeLog();
        engine.reset();
    }
}

}  // namespace
}  // namespace zamel::testing
