#include "soak_run.h"

#include <csignal>
#include <filesystem>
#include <fstream>

#include "loader_app.h"
#include "receiver_link.h"
#include "sim_process.h"
#include "test_clocks.h"

namespace zamel::soak {

namespace {

// Ten times the wall: the loader's two-second pauses and one-second dialog ticks
// pass quickly, while its time-outs stay longer than a full record takes on the line.
constexpr int kClockFactor = 10;
constexpr const char* kFlashDumpFile = "flash-dump.srec";

void writeFile(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

void writePackage(const SoakPlan& plan) {
    std::string text = "[" + plan.modelName() + "]\n";
    text += "CODE=" + (plan.code ? plan.code->fileName : std::string()) + "\n";
    text += "VERSION=1\n";
    text += "MAP=" + (plan.data && plan.data->named ? plan.data->fileName : std::string()) + "\n";
    text += "MAPKEY=soak map\n";
    writeFile("zamel.ini", text);
}

}  // namespace

RunRecord runPlan(const SoakPlan& plan, std::FILE* log) {
    RunRecord record;
    const std::string dir = std::filesystem::current_path().string();
    if (plan.code) writeFile(plan.code->fileName, plan.code->image.fileText());
    if (plan.data) writeFile(plan.data->fileName, plan.data->image.fileText());
    if (plan.start == Start::Package) writePackage(plan);

    std::vector<std::string> arguments = {"--dir",        dir,           "--port", "1",
                                          "--flash-dump", kFlashDumpFile};
    if (log != nullptr) arguments.insert(arguments.end(), {"--transcript", "transcript.txt"});
    const auto planned = plan.receiverArguments();
    arguments.insert(arguments.end(), planned.begin(), planned.end());
    sim::testing::SimProcess receiver;
    record.receiverStarted = receiver.start(arguments);
    if (!record.receiverStarted) return record;

    testing::ScaledClock clock(kClockFactor);
    SoakUi ui(clock,
              {plan.typeChoice, plan.trustsFiles, plan.code ? plan.code->fileName : std::string(),
               plan.data ? plan.data->fileName : std::string()},
              log);
    if (plan.faults.stopAfterMs) {
        ui.setTransferWatch([&](int transfer, std::int64_t elapsedMs) {
            if (transfer == plan.faults.stopTransfer && elapsedMs >= *plan.faults.stopAfterMs &&
                receiver.running()) {
                if (log != nullptr) std::fprintf(log, "  (receiver stopped)\n");
                receiver.stop(SIGTERM);
            }
        });
    }
    {
        ReceiverLink link(ui, clock);
        LoaderApp app(link, ui, clock);
        if (plan.start == Start::Package) {
            app.start();
        } else {
            app.upload();
        }
    }
    if (receiver.running()) receiver.stop(SIGTERM);
    record.messages = ui.messages;
    record.flash = readFlashDump(kFlashDumpFile);
    record.receiverErrors = receiver.errorOutput();
    return record;
}

}  // namespace zamel::soak
