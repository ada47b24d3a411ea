#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>

#include "engine_rig.h"
#include "flash_loader.h"
#include "scripted_unit.h"
#include "test_images.h"

namespace zamel::testing {
namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr std::uint32_t kCodeBase = 0x2D004000;

Bytes patternImage(std::size_t n) {
    Bytes bytes(n);
    for (std::size_t i = 0; i < n; ++i) bytes[i] = static_cast<std::uint8_t>(i * 13 + i / 251);
    return bytes;
}

using FlashLoaderTransferTest = EngineRig;

TEST_F(FlashLoaderTransferTest, AddressModeBinaryImageArrivesWhole) {
    const Bytes data = patternImage(5001);
    openImage(data);
    startEngine(false, kCodeBase, 0x2D000000 + 5001, true);
    ScriptedUnit unit(false, 3);
    ASSERT_TRUE(transferTo(unit)) << unit.fault();
    EXPECT_EQ(unit.flash(kCodeBase, data.size()), data);
    EXPECT_EQ(unit.eraseStart(), kCodeBase);
    EXPECT_EQ(unit.eraseEnd(), kCodeBase + 5001) << "the erase covers the pad byte";
    EXPECT_EQ(unit.recordsTaken(), 3);
    EXPECT_EQ(engine->sectorsErased, 3);
    std::string status;
    engine->statusText(status);
    EXPECT_EQ(status, "     COMPLETED   ");
}

TEST_F(FlashLoaderTransferTest, ExactlyOneRecordIsOneFrameThenFileDone) {
    const Bytes data = patternImage(1980);
    openImage(data);
    startEngine(false, kCodeBase, 0, true);
    ScriptedUnit unit(false, 1);
    ASSERT_TRUE(transferTo(unit)) << unit.fault();
    EXPECT_EQ(unit.recordsTaken(), 1);
    EXPECT_EQ(unit.flash(kCodeBase, data.size()), data);
}

TEST_F(FlashLoaderTransferTest, SRecordImagesArriveWholeWhateverTheirRecordLength) {
    // 120-byte records make blocks of 2040 bytes, longer than one nominal record.
    for (const std::size_t perRecord : {16u, 32u, 120u}) {
        SCOPED_TRACE(perRecord);
        const Bytes data = patternImage(7000);
        openImage(sRecordText(kCodeBase, data, perRecord), "code.hex");
        ASSERT_TRUE(image->isSRecord);
        startEngine(false, kCodeBase, 0x2D000000 + 7000, true);
        ScriptedUnit unit(false, 2);
        ASSERT_TRUE(transferTo(unit)) << unit.fault();
        EXPECT_EQ(unit.flash(kCodeBase, data.size()), data);
        engine->closeLog();
        engine.reset();
        unitReadsAll();
    }
}

TEST_F(FlashLoaderTransferTest, RecordModeMapArrivesWholeAndReportsChecksumAndSize) {
    const Bytes data = patternImage(4500);
    openImage(data, "map.img");
    startEngine(true, 0, 0xFFFFFFFF, false);
    ScriptedUnit unit(true, 0);
    unit.setEndReport(0xBEEF, 0x00011194);
    ASSERT_TRUE(transferTo(unit)) << unit.fault();
    EXPECT_FALSE(unit.eraseSeen());
    EXPECT_EQ(unit.recordData(), data);
    EXPECT_EQ(unit.recordsTaken(), 3);
    EXPECT_EQ(engine->unitChecksum, 0xBEEF);
    EXPECT_EQ(engine->unitSize, 0x00011194u);
}

// One erase covers both files of a legacy transfer: a unit that starts over while
// the second file goes has lost the first as well, so both must go again.
TEST_F(FlashLoaderTransferTest, StartingOverDuringTheSecondFileSendsBothFilesAgain) {
    using Trouble = ScriptedUnit::Trouble;
    for (const Trouble trouble : {Trouble::WriteFail, Trouble::RestartFile}) {
        SCOPED_TRACE(static_cast<int>(trouble));
        const Bytes code = patternImage(5000);
        const Bytes database(3000, 0x3C);
        openImage(code, "code.bin");
        ASSERT_TRUE(writeWholeFile(dir.file("data.bin"), database));
        ImageFile second(dir.file("data.bin"));
        startEngine(false, 0, 0x1FFFFF, true, nullptr, &second, 0xA0000);
        ScriptedUnit unit(false, 32);
        unit.troubleAt(3 + 2, trouble);  // the code takes three frames
        ASSERT_TRUE(transferTo(unit)) << unit.fault();
        EXPECT_EQ(unit.flash(0, code.size()), code);
        EXPECT_EQ(unit.flash(0xA0000, database.size()), database);
        EXPECT_TRUE(logHas("FIRST FILE AGAIN"));
        engine->closeLog();
        engine.reset();
        unitReadsAll();
    }
}

// The boot-block reload reads the code image at its own offset; starting over must
// not turn that into address 0, outside the erased boot block.
TEST_F(FlashLoaderTransferTest, BootBlockReloadStartsOverAtTheBootBlock) {
    link.reloadBootBlock = true;
    const Bytes code = patternImage(0x70000 + 3000);
    openImage(code);
    startEngine(false, 0x70000, 0x9FFFF, true);
    ScriptedUnit unit(false, 3);
    unit.troubleAt(2, ScriptedUnit::Trouble::RestartFile);
    ASSERT_TRUE(transferTo(unit)) << unit.fault();
    EXPECT_EQ(unit.flash(0x70000, 3000), Bytes(code.begin() + 0x70000, code.end()));
    EXPECT_EQ(unit.flash(0, 1980), Bytes(1980, 0xFF));
    EXPECT_EQ(unit.recordsTaken(), 2 + 1);
}

// An S-record image is read from its first record: only its data from the boot
// block up may go, also when a block runs into the boot block.
TEST_F(FlashLoaderTransferTest, BootBlockReloadOfAnSRecordImageSendsOnlyTheBootBlock) {
    link.reloadBootBlock = true;
    const Bytes code = patternImage(0x70000 + 3000);
    openImage(sRecordText(0, code, 120), "code.hex");  // blocks of 2040 bytes
    startEngine(false, 0x70000, 0x9FFFF, true);
    ScriptedUnit unit(false, 3);
    unit.troubleAt(2, ScriptedUnit::Trouble::RestartFile);
    ASSERT_TRUE(transferTo(unit)) << unit.fault();
    EXPECT_EQ(unit.flash(0x70000, 3000), Bytes(code.begin() + 0x70000, code.end()));
    EXPECT_EQ(unit.flash(0x70000 - 2040, 2040), Bytes(2040, 0xFF));
}

TEST_F(FlashLoaderTransferTest, DebugLogOfACleanTransfer) {
    openImage(Bytes{0x01, 0x02, 0x03, 0x04, 0x05});
    startEngine(false, kCodeBase, 0x2D000005, true);
    ScriptedUnit unit(false, 2);
    ASSERT_TRUE(transferTo(unit)) << unit.fault();
    engine->closeLog();
    const std::vector<std::string> expected{
        "RESET",
        "NO CONNECT - hello",
        "HAND - OK",
        "ERASE CMD - Erasing 04194349:88080429",
        "ERASE CMD - Erasing 0040002d:0540002d",
        "ERASE ADR - OK",
        "ERASING - sector erased",
        "ERASING - sector erased",
        "ERASING - OK",
        "SEND COLD",
        "WAIT COLD - OK",
        "Read 5 bytes for address 2d004000",
        "SEND REC - 16 bytes: 5b 00 05 2d 00 40 00 01 02 03 04 05 00 6a 06 5d",
        "WAIT REC - OK",
        "PROG - OK",
        "Read 0 bytes for address 2d004006",
        "SEND REC - 0 len",
        "FILE DONE",
        "SEND END - OK",
    };
    EXPECT_EQ(logLines(), expected);
    EXPECT_EQ(readWholeFile(dir.file("DEBUG.OUT")).back(), '\n');
}

TEST_F(FlashLoaderTransferTest, EraseLinesShowTheFieldsByteReversed) {
    openImage(patternImage(10));
    startEngine(false, kCodeBase, 0x2D0FFFFF, true);
    reach(FlashLoaderState::EraseAdr);
    unitSends({0x82});
    runEngine();
    engine->closeLog();
    const auto lines = logLines();
    // 2D 0F FF FF read backwards is 0xFFFF0F2D, a negative signed 32-bit long,
    // which the zero padding fills to eight characters with its sign.
    EXPECT_NE(std::find(lines.begin(), lines.end(), "ERASE CMD - Erasing 04194349:-0061651"),
              lines.end());
    EXPECT_NE(std::find(lines.begin(), lines.end(), "ERASE CMD - Erasing 0040002d:ffff0f2d"),
              lines.end());
    EXPECT_NE(std::find(lines.begin(), lines.end(), "SENDING ERASE - Erasing 0040002d:ffff0f2d"),
              lines.end());
}

TEST_F(FlashLoaderTransferTest, EachEngineStartsANewLog) {
    openImage(patternImage(10));
    startEngine(false, kCodeBase, 0, true);
    engine->step();
    engine->closeLog();
    startEngine(false, kCodeBase, 0, true);
    engine->closeLog();
    EXPECT_TRUE(logLines().empty());
}

TEST_F(FlashLoaderTransferTest, TransferRunsWithoutALogWhenDebugOutCannotBeCreated) {
    std::filesystem::create_directory(dir.file("DEBUG.OUT"));
    const Bytes data = patternImage(3000);
    openImage(data);
    startEngine(false, kCodeBase, 0, true);
    EXPECT_FALSE(engine->debugLog.isOpen());
    ScriptedUnit unit(false, 1);
    ASSERT_TRUE(transferTo(unit)) << unit.fault();
    EXPECT_EQ(unit.flash(kCodeBase, data.size()), data);
}

TEST_F(FlashLoaderTransferTest, StatusTextFollowsTheState) {
    openImage(patternImage(10));
    startEngine(false, kCodeBase, 0, true);
    struct Case {
        FlashLoaderState state;
        const char* text;
    };
    const Case cases[] = {
        {FlashLoaderState::NoPort, "       NO PORT   "},
        {FlashLoaderState::Reset, "         RESET   "},
        {FlashLoaderState::NoConnect, " NO CONNECTION   "},
        {FlashLoaderState::Hand, " CREATING LINK   "},
        {FlashLoaderState::EraseCmd, "   ERASE BEGIN   "},
        {FlashLoaderState::EraseAdr, "   ERASE BEGIN   "},
        {FlashLoaderState::InvalidFlash, " INVALID FLASH   "},
        {FlashLoaderState::SendCold, "   PROGRAMMING   "},
        {FlashLoaderState::WaitCold, "   PROGRAMMING   "},
        {FlashLoaderState::SendRec, "   PROGRAMMING   "},
        {FlashLoaderState::WaitRec, "   PROGRAMMING   "},
        {FlashLoaderState::Prog, "   PROGRAMMING   "},
        {FlashLoaderState::Debug1, "   PROGRAMMING   "},
        {FlashLoaderState::Debug2, "   PROGRAMMING   "},
        {FlashLoaderState::WriteFail, "ROM WRITE FAIL   "},
        {FlashLoaderState::FileDone, "  COMMUNICATING  "},
        {FlashLoaderState::SendEnd, "     FINISHING   "},
        {FlashLoaderState::EndChecksum, "     FINISHING   "},
        {FlashLoaderState::EndSize, "     FINISHING   "},
        {FlashLoaderState::AllDone, "     COMPLETED   "},
    };
    for (const Case& c : cases) {
        std::string text = "previous";
        engine->state = c.state;
        engine->statusText(text);
        EXPECT_EQ(text, c.text) << static_cast<int>(c.state);
        EXPECT_EQ(text.size(), 17u);
    }
    std::string text;
    engine->state = FlashLoaderState::Erasing;
    engine->sectorsErased = 0;
    engine->statusText(text);
    EXPECT_EQ(text, "   ERASING - 0   ");
    engine->sectorsErased = 12;
    engine->statusText(text);
    EXPECT_EQ(text, "   ERASING - 12   ");
    for (const auto state : {FlashLoaderState::RecNum1, FlashLoaderState::RecNum2,
                             FlashLoaderState::RecNum3, FlashLoaderState::RecNum4}) {
        engine->state = FlashLoaderState::Prog;
        engine->statusText(text);
        engine->state = state;
        engine->statusText(text);
        EXPECT_EQ(text, "   PROGRAMMING   ") << static_cast<int>(state);
    }
}

}  // namespace
}  // namespace zamel::testing
