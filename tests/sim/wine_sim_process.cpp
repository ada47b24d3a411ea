#include <csignal>
#include <cstdio>
#include <cstdlib>

#include "sim_process.h"
#include "wine_host_process.h"

// receiver-sim for a Windows test under Wine: the Linux program, run through
// the host bridge, its pseudo-terminal linked where the Wine prefix's COMn leads.

namespace zamel::sim::testing {

using zamel::testing::HostProcess;

struct SimProcess::Child {
    HostProcess bridge;
    bool running = false;
};

SimProcess::SimProcess() : child_(std::make_unique<Child>()) {}

SimProcess::~SimProcess() {
    if (running()) stop(SIGTERM);
}

bool SimProcess::running() const { return child_->running; }

std::string SimProcess::errorOutput() const { return {}; }

bool SimProcess::start(const std::vector<std::string>& arguments, int readyTimeoutMs) {
    std::vector<std::string> commandLine = {RECEIVER_SIM_PATH};
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        // The link goes where Windows looks for its COM ports.
        if (arguments[i] == "--dir" && i + 1 < arguments.size()) {
            ++i;
            continue;
        }
        commandLine.push_back(arguments[i]);
    }
    commandLine.push_back("--dir");
    commandLine.push_back(zamel::testing::winePortsDirectory());
    if (!child_->bridge.start(HostProcess::Mode::Serve, commandLine)) return false;
    child_->running = true;
    if (!child_->bridge.readLine(readyLine_, readyTimeoutMs)) return false;
    return readyLine_.rfind("ready ", 0) == 0;
}

bool SimProcess::signal(int number) {
    if (!running()) return false;
    const std::string line = std::to_string(number) + "\n";
    return child_->bridge.send(reinterpret_cast<const std::uint8_t*>(line.data()), line.size());
}

int SimProcess::stop(int signal, int timeoutMs) {
    if (!running()) return -1;
    this->signal(signal);
    child_->bridge.finishSending();
    return waitExit(timeoutMs);
}

int SimProcess::waitExit(int timeoutMs) {
    if (!running()) return -1;
    std::string line;
    while (child_->bridge.readLine(line, timeoutMs)) {
        if (line.rfind("exit ", 0) == 0) {
            child_->running = false;
            return std::atoi(line.c_str() + 5);
        }
    }
    return -1;
}

}  // namespace zamel::sim::testing
