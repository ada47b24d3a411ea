#include <gtest/gtest.h>
#include <sys/resource.h>

#include <csignal>
#include <cstdio>
#include <string>
#include <vector>

#include "e2e_files.h"
#include "firmware_confirmation.h"
#include "flash_upload_dialog.h"
#include "loader_app.h"
#include "pty_pair.h"
#include "receiver_link.h"
#include "scripted_ui.h"
#include "sim_process.h"
#include "system_clock.h"

namespace zamel::testing {
namespace {

using sim::testing::SimProcess;

double cpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// A code upload from the upload command to a Talvane on COM1, with the receiver's
// side given by the test.
class UploadDriving : public ::testing::Test {
  protected:
    void TearDown() override {
        if (HasFailure()) printUploadRecords(dir.path());
    }

    void startReceiver(std::vector<std::string> extra) {
        std::vector<std::string> args = {"--dir",        dir.path(),
                                         "--port",       "1",
                                         "--model",      "Talvane",
                                         "--erase-ms",   "1",
                                         "--transcript", dir.file("transcript.txt"),
                                         "--flash-out",  dir.file("flash.srec")};
        args.insert(args.end(), extra.begin(), extra.end());
        ASSERT_TRUE(receiver.start(args)) << "receiver-sim did not become ready";
        ui.setClock(&clock);
        ui.setTickLimit(300);
    }

    void chooseCode(const std::vector<std::uint8_t>& bytes) {
        const std::string path = writeCodeSRecords(dir.path(), "code.srec", bytes);
        std::snprintf(link.codePath, sizeof link.codePath, "%s", path.c_str());
        link.codeSelected = true;
        ui.expectChoice("UPLOAD FILE", "Upload File");
        ui.expectMessage(std::string("Unit currently contains firmware\nversion 3.08\n\nThis will "
                                     "overwrite\nwith version 1.10") +
                             kOlderVersionNote,
                         "Confirm", MessageIcon::Question, MessageAnswer::Ok);
    }

    // The bytes the receiver took, in order, from its transcript.
    std::string bytesIntoReceiver() {
        const auto data = readWholeFile(dir.file("transcript.txt"));
        const std::string text(data.begin(), data.end());
        std::string taken;
        for (std::size_t at = text.find(" in   "); at != std::string::npos;
             at = text.find(" in   ", at + 1))
            taken += text.substr(at + 6, 2);
        return taken;
    }

    TempWorkDir dir;
    SimProcess receiver;
    SystemClock clock;
    ScriptedUi ui;
    ReceiverLink link{ui, clock};
    LoaderApp app{link, ui, clock};
};

// The cable goes during the transfer: the upload stops at once with a clear word,
// is not reported complete, and the loader does not spin while it waits.
class ConnectionLoss : public UploadDriving, public ::testing::WithParamInterface<bool> {};

TEST_P(ConnectionLoss, EndsTheUploadWithoutSpinningOrClaimingSuccess) {
    const bool killReceiver = GetParam();
    startReceiver(killReceiver ? std::vector<std::string>{"--pace"}
                               : std::vector<std::string>{"--fault", "unplug:3"});
    chooseCode(codeImageBytes(30'000, 21, "033", 1, 10));
    ui.setWakeOnInput(true);
    if (killReceiver) {
        ui.setTickHook([&](int tick) {
            if (ui.currentCaption() == "Upload status" && tick == 4) receiver.stop(SIGKILL);
            return true;
        });
    }
    ui.expectMessage(FlashUploadDialog::kConnectionLostText, "ERROR", MessageIcon::Stop);

    const double cpuBefore = cpuSeconds();
    app.upload();
    const double cpuUsed = cpuSeconds() - cpuBefore;

    EXPECT_EQ(ui.pendingQuestions(), 0u);
    EXPECT_FALSE(link.codeSelected);
    // Identification and a few records take far less; a spinning wait takes all of it.
    EXPECT_LT(cpuUsed, 1.5);
}

INSTANTIATE_TEST_SUITE_P(CablePulledOrReceiverKilled, ConnectionLoss, ::testing::Bool());

// The receiver falls silent in the middle (its power goes, the line stays): the
// engine's time-outs resend as they should, the loader waits at rest, and Cancel
// ends the upload as soon as the user confirms it.
TEST_F(UploadDriving, SilentReceiverIsWaitedForAtRestUntilTheUserStops) {
    startReceiver({});
    chooseCode(codeImageBytes(30'000, 23, "033", 1, 10));
    ui.setWakeOnInput(true);
    double cpuWhileSilent = 0;
    double silentFrom = 0;
    ui.setTickHook([&](int tick) {
        if (ui.currentCaption() != "Upload status") return true;
        // After the greeting and a few records.
        if (tick == 15) {
            receiver.signal(SIGSTOP);
            silentFrom = cpuSeconds();
        }
        if (tick < 100) return true;
        cpuWhileSilent = cpuSeconds() - silentFrom;
        return false;
    });
    ui.expectMessage(FlashUploadDialog::kStopQuestion, "WARNING", MessageIcon::Warning,
                     MessageAnswer::Ok);
    app.upload();
    receiver.signal(SIGCONT);

    EXPECT_EQ(ui.pendingQuestions(), 0u);
    EXPECT_EQ(ui.ticksRun(), 100);
    EXPECT_FALSE(link.codeSelected);
    const auto log = readWholeFile("DEBUG.OUT");
    EXPECT_NE(std::string(log.begin(), log.end()).find("WAIT REC - timeout resend"),
              std::string::npos);
    // Eight and a half seconds of waiting: a spinning loop would take most of them.
    EXPECT_LT(cpuWhileSilent, 1.0);
}

// Waking on input only closes the gaps: the receiver takes the very same bytes,
// resends and a going back included.
TEST_F(UploadDriving, WakingOnInputPutsTheSameBytesOnTheWireAsTicksAlone) {
    const auto code = codeImageBytes(24'000, 22, "033", 1, 10);
    std::string wire[2];
    for (const bool wake : {false, true}) {
        startReceiver({"--once", "--fault", "resend:2:0x81", "--fault", "rec-number:5", "--fault",
                       "resend:9:0x85"});
        chooseCode(code);
        ui.expectMessage("Upload of CODE complete", "STATUS", MessageIcon::Information);
        ui.setWakeOnInput(wake);
        app.upload();
        EXPECT_EQ(receiver.waitExit(15'000), 0);
        EXPECT_EQ(flashDumpContents(dir.file("flash.srec")), code);
        wire[wake] = bytesIntoReceiver();
    }
    EXPECT_GT(wire[0].size(), 2 * code.size());
    EXPECT_EQ(wire[0], wire[1]);
}

}  // namespace
}  // namespace zamel::testing
