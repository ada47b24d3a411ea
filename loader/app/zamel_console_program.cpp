#include <cstdlib>

#include "console_signals.h"
#include "console_ui.h"
#include "loader_app.h"
#include "receiver_link.h"
#include "system_clock.h"
#include "zamel_console.h"

namespace zamel {

namespace {

// No one at the keyboard can press Cancel: a receiver silent this long ends the run.
constexpr std::int64_t kReceiverSilenceLimitMs = 60'000;

// The last line: what the run did, for the person or script that started it.
int finish(std::FILE* out, const LoaderApp& app) {
    const std::string& note = app.autoOutcomeNote();
    const std::string detail = note.empty() ? "" : ": " + note;
    int status = kExitComplete;
    switch (app.autoOutcome()) {
        case RunOutcome::Completed:
            std::fprintf(out,
                         "zamel: automatic upload complete: every file of the package was "
                         "sent and the receiver confirmed it.\n");
            break;
        case RunOutcome::Refused:
            status = kExitRefused;
            std::fprintf(
                out, "zamel: automatic upload REFUSED%s (exit status %d).\n",
                detail.empty() ? ": a file check or a question stopped it" : detail.c_str(),
                status);
            break;
        case RunOutcome::Failed:
            status = kExitFailed;
            std::fprintf(out,
                         "zamel: automatic upload FAILED%s: it did not complete and the receiver's "
                         "flash may be half written; upload again (exit status %d).\n",
                         detail.c_str(), status);
            break;
        case RunOutcome::NoReceiver:
            status = kExitNoReceiver;
            std::fprintf(out,
                         "zamel: automatic upload FAILED: no receiver found; check that it is "
                         "switched on and connected (exit status %d).\n",
                         status);
            break;
    }
    std::fflush(out);
    return status;
}

}  // namespace

int runZamelConsole(std::FILE* out) {
    catchStopSignals();
    SystemClock clock;
    LoaderApp* running = nullptr;
    ReceiverLink* runningLink = nullptr;
    ConsoleUi* console = nullptr;
    // Leaves from wherever the run is: the port is closed, and a transfer in
    // progress is named for what it is.
    const auto stopIfAsked = [&] {
        if (stopSignal() == 0) return;
        if (console != nullptr) console->endProgressLine();
        if (running != nullptr && running->transferRunning())
            std::fprintf(out,
                         "[WARNING] UPLOAD HAS NOT COMPLETED!\nTHIS COULD CAUSE FAILURE OF THE "
                         "UNIT\n");
        if (runningLink != nullptr) runningLink->close();
        std::fprintf(out,
                     "zamel: stopped by signal %d: the upload did not complete (exit status %d).\n",
                     stopSignal(), kExitInterrupted);
        std::fflush(out);
        std::exit(kExitInterrupted);
    };
    ConsoleUi ui(out, clock,
                 {.receiverSilenceLimitMs = kReceiverSilenceLimitMs,
                  .terminal = isTerminal(out),
                  .checkpoint = stopIfAsked});
    console = &ui;
    ReceiverLink link(ui, clock);
    runningLink = &link;
    link.loadSettings();
    LoaderApp app(link, ui, clock);
    running = &app;
    app.readPackage();
    if (app.packageMissing) {
        if (app.packageFileFound) {
            std::fprintf(
                out, "zamel: no display, and %s gives no upload package: %s (exit status %d).\n",
                LoaderApp::kPackageFile, app.packageProblem.c_str(), kExitNoPackage);
        } else {
            std::fprintf(
                out,
                "zamel: no display and no upload package (%s) here: without a window there "
                "is nothing to do (exit status %d).\n",
                LoaderApp::kPackageFile, kExitNoPackage);
        }
        return kExitNoPackage;
    }
    std::fprintf(out,
                 "zamel: no display: running the automatic upload of %s on the console (a warning "
                 "about a file is answered Cancel; Ctrl+C stops).\n",
                 LoaderApp::kPackageFile);
    std::fflush(out);
    app.start();
    stopIfAsked();
    link.close();
    return finish(out, app);
}

}  // namespace zamel
