#include <gtest/gtest.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "console_ui.h"
#include "e2e_files.h"
#include "flash_loader_state.h"
#include "flash_plain_dialog.h"
#include "identification_sequence.h"
#include "loader_app.h"
#include "pty_pair.h"
#include "receiver_link.h"
#include "scripted_ui.h"
#include "sim_process.h"
#include "system_clock.h"

namespace zamel::testing {
namespace {

using sim::testing::SimProcess;

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};

std::string contents(std::FILE* file) {
    std::rewind(file);
    std::string text;
    char buffer[512];
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, file)) > 0;)
        text.append(buffer, n);
    return text;
}

// An automatic upload on the console, where no one can press Cancel, against a
// receiver that falls silent at one point or another: each run must end by itself
// with an outcome that says what happened, and never report the upload complete.
// The silence limit is shortened from the program's minute to keep the test quick.
TEST(UnattendedUpload, SilentReceiverEndsTheRunWithItsOutcome) {
    const struct Case {
        const char* name;
        std::vector<std::string> receiverArguments;  // empty: no receiver at all
        bool stopReceiverInTransfer;
        RunOutcome outcome;
        const char* said;
    } cases[] = {
        {"no receiver on any port",
         {},
         false,
         RunOutcome::NoReceiver,
         "\"Establishing Communication with Receiver\" gives up"},
        {"the boot loader never greets",
         {"--fault", "silent-loader"},
         false,
         RunOutcome::Failed,
         "\"Determing Upload Protocol\" gives up"},
        {"the receiver stops in the middle of the transfer",
         {"--program-ms", "40"},
         true,
         RunOutcome::Failed,
         "[ERROR] The receiver stopped answering.\nThe upload did not complete"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempWorkDir dir;
        SimProcess receiver;
        if (c.receiverArguments.empty()) {
            // Ports that lead nowhere, so no device of this machine is opened.
            for (int n = 1; n <= 4; ++n)
                ASSERT_EQ(
                    ::symlink("/nonexistent/port", dir.file("COM" + std::to_string(n)).c_str()), 0);
        } else {
            std::vector<std::string> arguments = {
                "--dir",   dir.path(),   "--port", "1",           "--model",
                "Talvane", "--erase-ms", "1",      "--flash-out", dir.file("flash.srec")};
            arguments.insert(arguments.end(), c.receiverArguments.begin(),
                             c.receiverArguments.end());
            ASSERT_TRUE(receiver.start(arguments));
        }
        writeCodeSRecords(dir.path(), "code.srec", codeImageBytes(60'000, 21, "033", 3, 9));
        writeWholeFile(dir.file("zamel.ini"), "[Talvane]\nCODE=code.srec\n");

        std::unique_ptr<std::FILE, FileCloser> out(std::tmpfile());
        SystemClock clock;
        LoaderApp* app = nullptr;
        int transferTicks = 0;
        // Stops the receiver a few ticks into the transfer: it keeps its line open and
        // says nothing more.
        const auto checkpoint = [&] {
            if (c.stopReceiverInTransfer && app != nullptr && app->transferRunning() &&
                ++transferTicks == 5)
                receiver.signal(SIGSTOP);
        };
        ConsoleUi ui(out.get(), clock, {.receiverSilenceLimitMs = 1500, .checkpoint = checkpoint});
        ReceiverLink link(ui, clock);
        link.loadSettings();
        LoaderApp loader(link, ui, clock);
        app = &loader;
        loader.start();
        link.close();
        if (c.stopReceiverInTransfer) receiver.signal(SIGCONT);

        const std::string printed = contents(out.get());
        EXPECT_EQ(static_cast<int>(loader.autoOutcome()), static_cast<int>(c.outcome)) << printed;
        EXPECT_NE(printed.find(c.said), std::string::npos) << printed;
        EXPECT_EQ(printed.find("[STATUS]"), std::string::npos) << printed;
        if (receiver.running()) receiver.stop(SIGTERM);
        EXPECT_TRUE(flashDumpContents(dir.file("flash.srec")).empty());
    }
}

// The calendar and the monotonic clock, both moved on at once when the test says
// so: the minutes a user spends over a question.
class JumpingClock final : public Clock {
  public:
    std::int64_t wallMs() const override { return real_.wallMs() + offsetMs_; }
    std::int64_t tickMs() const override { return real_.tickMs() + offsetMs_; }
    void sleepMs(std::int64_t ms) override { real_.sleepMs(ms); }
    void jump(std::int64_t ms) { offsetMs_ += ms; }

  private:
    SystemClock real_;
    std::int64_t offsetMs_ = 0;
};

// The user presses Cancel while the end frame waits for its answer, and takes a
// minute to answer the warning "Cancel" (go on). The receiver's first answer to the
// end frame is lost, so the end is confirmed only after the frame is sent again:
// the time spent on the question must not count against that wait.
TEST(UnattendedUpload, TimeSpentOnAQuestionIsNotTheReceiversDelay) {
    TempWorkDir dir;
    SimProcess receiver;
    ASSERT_TRUE(
        receiver.start({"--dir", dir.path(), "--port", "1", "--model", "Talvane GPS", "--erase-ms",
                        "1", "--fault", "lost-end-ack", "--flash-out", dir.file("flash.srec")}));
    const auto code = codeImageBytes(6'000, 22, "033", 3, 9);
    const std::string codePath = writeCodeSRecords(dir.path(), "code.srec", code);

    JumpingClock clock;
    ScriptedUi ui;
    ui.setClock(&clock);
    ui.setWakeOnInput(true);
    ui.setTickLimit(300);
    ReceiverLink link(ui, clock);
    link.loadSettings();
    ui.expectDialog("Establishing Communication with Receiver", [](DialogController&) {});
    ui.expectDialog("Determining Database Type", [](DialogController&) {});
    LoaderApp app(link, ui, clock);
    ASSERT_TRUE(identifyReceiver(link, ui, clock));

    std::snprintf(link.codePath, sizeof link.codePath, "%s", codePath.c_str());
    link.codeSelected = true;
    ui.expectChoice("UPLOAD FILE", "Upload File");
    ui.expectMessage(
        "Unit currently contains firmware\nversion 3.08\n\nThis will overwrite\nwith "
        "version 3.09",
        "Confirm", MessageIcon::Question, MessageAnswer::Ok);
    FlashPlainDialog dialog(link, ui, clock, app);
    ASSERT_TRUE(dialog.ready);

    bool pressed = false;
    ui.setTickHook([&](int) {
        if (pressed || dialog.engine->state != FlashLoaderState::SendEnd) return true;
        pressed = true;
        return false;
    });
    ui.setQuestionHook([&clock](const std::string&) { clock.jump(60'000); });
    ui.expectMessage(TransferDialog::kStopQuestion, "WARNING", MessageIcon::Warning,
                     MessageAnswer::Cancel);
    EXPECT_EQ(ui.runModal(dialog), DialogResult::Ok);
    EXPECT_TRUE(pressed);
    EXPECT_EQ(ui.pendingQuestions(), 0u);
    receiver.stop(SIGTERM);
    EXPECT_EQ(flashDumpContents(dir.file("flash.srec")), code);
}

}  // namespace
}  // namespace zamel::testing
