// Uploads a 1 MiB code image and a 1 MiB record-mode map through the loader's own
// upload command and dialogs to receiver-sim pacing the line at 115200 baud, once
// with the dialogs woken as soon as the receiver's bytes arrive and once on their
// 100 ms ticks alone. For each it prints the transfer time against the time the
// frames need on the wire, and the loader's CPU time as a share of the transfer.
// The simulated unit programs each record at once (--program-ms 0), so the gaps
// measured are the loader's own; a real unit's programming time adds to both ways
// alike. Last, the boot-loader probe waiting on a receiver that never greets.
#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "console_ui.h"
#include "e2e_files.h"
#include "loader_app.h"
#include "protocol_probe_dialog.h"
#include "pty_pair.h"
#include "receiver_link.h"
#include "sim_process.h"
#include "system_clock.h"

namespace {

using namespace zamel;
using namespace zamel::testing;

constexpr std::size_t kImageBytes = 1u << 20;
constexpr std::size_t kRecordData = 1980;
constexpr std::size_t kRecordFrameOverhead = 10;
constexpr double kBitsPerByte = 10.0;
constexpr long kLoaderBaud = 115200;

double wireSeconds(std::size_t dataBytes) {
    const std::size_t frames = (dataBytes + kRecordData - 1) / kRecordData;
    const double bytes = static_cast<double>(dataBytes + frames * kRecordFrameOverhead);
    return bytes * kBitsPerByte / static_cast<double>(kLoaderBaud);
}

double cpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// The console Ui, measuring the one dialog that runs the transfer.
class MeasuringUi final : public Ui {
  public:
    MeasuringUi(Clock& clock, bool wakeOnInput)
        : console_(stdout, clock, {.answerPositive = true, .modalLimitMs = 600'000,
                                   .wakeOnInput = wakeOnInput}) {}

    MessageAnswer messageBox(const std::string& text, const std::string& title,
                             MessageButtons buttons, MessageIcon icon) override {
        return console_.messageBox(text, title, buttons, icon);
    }
    std::optional<std::string> openFile(const std::string& title, const std::string& ext,
                                        const std::string& filter,
                                        const std::string& name) override {
        return console_.openFile(title, ext, filter, name);
    }
    DialogResult runModal(DialogController& controller) override {
        if (controller.caption() != "Upload status") return console_.runModal(controller);
        const auto start = std::chrono::steady_clock::now();
        const double cpuStart = cpuSeconds();
        const DialogResult result = console_.runModal(controller);
        cpu = cpuSeconds() - cpuStart;
        seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        return result;
    }
    void setStatusPane(const std::string& text) override { console_.setStatusPane(text); }
    void quit() override {}
    void pumpMessages() override {}

    double seconds = 0;
    double cpu = 0;

  private:
    ConsoleUi console_;
};

struct Measure {
    bool complete = false;
    double ratio = 0;
    double cpuShare = 0;
};

Measure uploadOnce(bool map, bool wakeOnInput, const std::string& file,
                   const std::vector<std::uint8_t>& expected) {
    TempWorkDir dir;
    sim::testing::SimProcess receiver;
    if (!receiver.start({"--dir", dir.path(), "--port", "1", "--model", "Talvane", "--pace",
                         "--program-ms", "0", "--once", "--flash-out", dir.file("flash.srec")}))
        return {};
    SystemClock clock;
    MeasuringUi ui(clock, wakeOnInput);
    ReceiverLink link(ui, clock);
    LoaderApp app(link, ui, clock);
    std::snprintf(map ? link.dataPath : link.codePath, sizeof link.codePath, "%s", file.c_str());
    (map ? link.dataSelected : link.codeSelected) = true;
    app.upload();
    receiver.waitExit(15'000);
    Measure measure;
    measure.complete = flashDumpContents(dir.file("flash.srec")) == expected;
    measure.ratio = ui.seconds / wireSeconds(kImageBytes);
    measure.cpuShare = ui.cpu / ui.seconds;
    return measure;
}

double silentProbeCpuShare() {
    TempWorkDir dir;
    PtyPair silentReceiver;
    silentReceiver.linkAs(dir.path(), 1);
    silentReceiver.holdSlave();
    SystemClock clock;
    ConsoleUi ui(stdout, clock, {.answerPositive = true, .modalLimitMs = 10'000});
    ReceiverLink link(ui, clock);
    const auto start = std::chrono::steady_clock::now();
    const double cpuStart = cpuSeconds();
    ProtocolProbeDialog probe(link, clock);
    ui.runModal(probe);
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    link.close();
    return (cpuSeconds() - cpuStart) / seconds;
}

}  // namespace

int main() {
    TempWorkDir files;
    const auto code = codeImageBytes(kImageBytes, 2026, "033", 1, 10);
    const std::string codePath = writeCodeSRecords(files.path(), "code.srec", code);
    const auto map = randomImage(kImageBytes, 2027);
    writeWholeFile(files.file("map.img"), map);

    bool allComplete = true;
    for (const bool isMap : {false, true}) {
        Measure measures[2];
        for (const bool wake : {true, false}) {
            measures[wake] = uploadOnce(isMap, wake, isMap ? files.file("map.img") : codePath,
                                        isMap ? map : code);
            allComplete = allComplete && measures[wake].complete;
        }
        std::printf(
            "%s, 1 MiB at %ld baud: transfer time / wire time = %.3f woken on input, %.3f on "
            "ticks alone; loader CPU %.2f %% / %.2f %% of the transfer; flash exact: %s\n",
            isMap ? "record-mode map" : "code image", kLoaderBaud, measures[1].ratio,
            measures[0].ratio, 100 * measures[1].cpuShare, 100 * measures[0].cpuShare,
            measures[0].complete && measures[1].complete ? "yes" : "NO");
        std::fflush(stdout);
    }
    std::printf("boot-loader probe waiting 10 s for a silent receiver: loader CPU %.3f %% of a core\n",
                100 * silentProbeCpuShare());
    return allComplete ? 0 : 1;
}
