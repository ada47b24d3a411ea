#include <gtest/gtest.h>

#include <cstdlib>
#include <iostream>
#include <random>
#include <string>
#include <vector>

#include "e2e_files.h"
#include "flash_loader_state.h"
#include "flash_upload_driver.h"
#include "pty_pair.h"
#include "receiver_link.h"
#include "scripted_ui.h"
#include "sim_process.h"
#include "system_clock.h"

namespace zamel::testing {
namespace {

using sim::testing::SimProcess;

// The receiver's flash, rebuilt from the simulator's S-record dump.
std::vector<std::uint8_t> flashContents(const TempWorkDir& dir) {
    return flashDumpContents(dir.file("flash.srec"));
}

// One simulated receiver on COM1 of a fresh working directory, and the loader's
// connection object beside it, talking to it in real time.
class FlashUploadEndToEnd : public ::testing::Test {
  protected:
    // A failed upload is explained by the two sides' own records.
    void TearDown() override {
        if (std::getenv("ZT_KEEP_E2E") != nullptr) {
            if (std::system(("cp -r " + dir.path() + " /tmp/e2e-kept").c_str()) != 0)
                ADD_FAILURE() << "could not keep " << dir.path();
        }
        if (HasFailure()) printUploadRecords(dir.path());
    }

    void startReceiver(std::vector<std::string> extra) {
        std::vector<std::string> args = {"--dir",  dir.path(),     "--port",
                                         "1",      "--flash-out",  dir.file("flash.srec"),
                                         "--once", "--transcript", dir.file("transcript.txt")};
        args.insert(args.end(), extra.begin(), extra.end());
        ASSERT_TRUE(receiver.start(args)) << "receiver-sim did not become ready";
        ui.setClock(&clock);
        ui.setTickLimit(60);
    }

    // Data records of recordBytes each, as GNU objcopy writes them.
    std::string codeImage(const std::vector<std::uint8_t>& bytes, int recordBytes) {
        return writeCodeSRecords(dir.path(), "code.srec", bytes, recordBytes);
    }

    // The receiver ends by itself after the transfer (--once) once it has
    // written its flash, with 1 had the loader broken the protocol.
    void expectReceiverDone() { EXPECT_EQ(receiver.waitExit(15'000), 0); }

    std::string debugLog() const {
        const auto bytes = readWholeFile(dir.file("DEBUG.OUT"));
        return {bytes.begin(), bytes.end()};
    }

    TempWorkDir dir;
    SimProcess receiver;
    SystemClock clock;
    ScriptedUi ui;
    ReceiverLink link{ui, clock};
};

TEST_F(FlashUploadEndToEnd, CodeImageReachesTalvaneFlashByteForByte) {
    startReceiver({"--model", "Talvane"});
    const auto image = randomImage(20'000, 1);
    auto plan = codeUploadPlan(codeImage(image, 32));

    const auto outcome = runFlashUpload(link, ui, clock, plan);
    link.close();

    EXPECT_TRUE(outcome.identified);
    EXPECT_STREQ(link.modelName, "Talvane");
    EXPECT_TRUE(outcome.greeted);
    EXPECT_EQ(outcome.finalState, FlashLoaderState::AllDone);
    EXPECT_EQ(outcome.bytesSent, image.size());
    expectReceiverDone();
    EXPECT_EQ(flashContents(dir), image);
}

TEST_F(FlashUploadEndToEnd, DetailMapInRecordModeLandsContiguousWithEndReport) {
    startReceiver({"--model", "Trailix Map/Pro"});
    const auto map = randomImage(30'001, 2);
    writeWholeFile(dir.file("detail.img"), map);

    const auto outcome = runFlashUpload(link, ui, clock, mapUploadPlan(dir.file("detail.img"), 2));
    link.close();

    EXPECT_STREQ(link.modelName, "Trailix Map/Pro");
    EXPECT_EQ(outcome.finalState, FlashLoaderState::AllDone);
    // The odd last byte travels padded with one zero byte.
    EXPECT_EQ(outcome.unitSize, map.size() + 1);
    expectReceiverDone();
    auto expected = map;
    expected.push_back(0x00);
    EXPECT_EQ(flashContents(dir), expected);
}

TEST_F(FlashUploadEndToEnd, ReceiverAt9600WithBootLoaderAt19200IsFoundAndProgrammed) {
    startReceiver({"--model", "PLT430", "--baud", "9600", "--loader-baud", "19200"});
    const auto image = randomImage(6'000, 3);

    const auto outcome = runFlashUpload(link, ui, clock, codeUploadPlan(codeImage(image, 20)));
    link.close();

    EXPECT_EQ(link.baud, 19200);
    EXPECT_STREQ(link.modelName, "PLT430");
    EXPECT_EQ(outcome.finalState, FlashLoaderState::AllDone);
    expectReceiverDone();
    EXPECT_EQ(flashContents(dir), image);
}

TEST_F(FlashUploadEndToEnd, ResendsAndALostAcknowledgementStillGiveTheExactImage) {
    startReceiver({"--model", "Talvane", "--fault", "resend:2:0x81", "--fault", "resend:4:0x88",
                   "--fault", "drop-ack:6", "--fault", "noise"});
    const auto image = randomImage(16'000, 4);

    const auto outcome = runFlashUpload(link, ui, clock, codeUploadPlan(codeImage(image, 16)));
    link.close();

    EXPECT_EQ(outcome.finalState, FlashLoaderState::AllDone);
    expectReceiverDone();
    EXPECT_EQ(flashContents(dir), image);
    const auto log = readWholeFile("DEBUG.OUT");
    const std::string text(log.begin(), log.end());
    EXPECT_NE(text.find("WAIT REC - 0081 resend"), std::string::npos);
    EXPECT_NE(text.find("WAIT REC - timeout resend"), std::string::npos);
}

TEST_F(FlashUploadEndToEnd, RecordModeMapSentBackByResetAndRecordNumberLandsByteForByte) {
    // The unit checks each record's number against its own count, so a loader that
    // miscounts after 0x87 or 0x89 fails here instead of scrambling the map.
    startReceiver({"--model", "Trailix Map/Pro", "--fault", "reset:3", "--fault", "rec-number:6"});
    const auto map = randomImage(16'000, 6);
    writeWholeFile(dir.file("detail.img"), map);

    const auto outcome = runFlashUpload(link, ui, clock, mapUploadPlan(dir.file("detail.img"), 2));
    link.close();

    EXPECT_EQ(outcome.finalState, FlashLoaderState::AllDone);
    EXPECT_EQ(outcome.unitChecksum, 0);
    EXPECT_EQ(outcome.unitSize, map.size());
    expectReceiverDone();
    EXPECT_EQ(flashContents(dir), map);
    const std::string log = debugLog();
    EXPECT_NE(log.find("WAIT REC - reset"), std::string::npos);
    EXPECT_NE(log.find("PROG - rec number"), std::string::npos);
}

TEST_F(FlashUploadEndToEnd, OddCodeImageAtOneRateForFirmwareAndBootLoaderWithUnusualAnswers) {
    // Both programs of the unit at 19200: its state tells them apart. Replies end
    // with lower-case digits over the "$", records are acknowledged with 0x77 after
    // a debug word, and the third is asked for again after its first acknowledgement.
    startReceiver({"--model", "PLT430", "--baud", "19200", "--loader-baud", "19200",
                   "--checksum-style", "lower-dollar", "--fault", "rec-wait", "--fault",
                   "early-debug", "--fault", "prog-resend:3:0x82"});
    // The last block is padded past the erase end, inside the erased sector.
    const auto image = randomImage(9'999, 7);

    const auto outcome = runFlashUpload(link, ui, clock, codeUploadPlan(codeImage(image, 32)));
    link.close();

    EXPECT_STREQ(link.modelName, "PLT430");
    EXPECT_EQ(outcome.finalState, FlashLoaderState::AllDone);
    expectReceiverDone();
    auto expected = image;
    expected.push_back(0x00);
    EXPECT_EQ(flashContents(dir), expected);
    const std::string log = debugLog();
    EXPECT_NE(log.find("PROG - rec wait"), std::string::npos);
    EXPECT_NE(log.find("WAIT REC - debug"), std::string::npos);
    EXPECT_NE(log.find("WAIT REC - 0082 resend"), std::string::npos);
}

TEST_F(FlashUploadEndToEnd, MapToAUnitWaitingForRecordsWithLostEndAnswerAndBadChecksum) {
    startReceiver({"--model", "Geodra2", "--fault", "greet77", "--fault", "lost-end-ack", "--fault",
                   "bad-checksum"});
    const auto map = randomImage(7'000, 8);
    writeWholeFile(dir.file("base.img"), map);

    const auto outcome = runFlashUpload(link, ui, clock, mapUploadPlan(dir.file("base.img"), 1));
    link.close();

    EXPECT_EQ(outcome.finalState, FlashLoaderState::AllDone);
    EXPECT_NE(outcome.unitChecksum, 0);
    EXPECT_EQ(outcome.unitSize, map.size());
    expectReceiverDone();
    EXPECT_EQ(flashContents(dir), map);
    const std::string log = debugLog();
    EXPECT_NE(log.find("NO CONNECT - rec_wait"), std::string::npos);
    EXPECT_NE(log.find("SEND END - timeout, resend"), std::string::npos);
}

// The unit sends the loader back in the file: the records in between must be
// sent again, also when the image is S-record text that is read only forward.
class FlashUploadGoingBack : public FlashUploadEndToEnd,
                             public ::testing::WithParamInterface<const char*> {};

TEST_P(FlashUploadGoingBack, SRecordImageStillArrivesWhole) {
    startReceiver({"--model", "Talvane", "--fault", GetParam()});
    const auto image = randomImage(14'000, 5);

    const auto outcome = runFlashUpload(link, ui, clock, codeUploadPlan(codeImage(image, 32)));
    link.close();

    EXPECT_EQ(outcome.finalState, FlashLoaderState::AllDone);
    expectReceiverDone();
    EXPECT_EQ(flashContents(dir), image);
}

INSTANTIATE_TEST_SUITE_P(Faults, FlashUploadGoingBack,
                         ::testing::Values("reset:4", "rec-number:4", "rec-number:1",
                                           "debug-echo"));

}  // namespace
}  // namespace zamel::testing
