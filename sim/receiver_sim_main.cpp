// receiver-sim: a simulated receiver on a pseudo-terminal, the stand-in for a real
// unit beside the loader and in end-to-end tests.

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

#include "sim_options.h"
#include "sim_runner.h"
#include "unique_fd.h"

namespace {

int stopWriteFd = -1;

// Only async-signal-safe work here: wake the loop through the pipe.
void onStopSignal(int) {
    const char byte = 1;
    [[maybe_unused]] const ssize_t ignored = ::write(stopWriteFd, &byte, 1);
}

bool installStopHandlers() {
    struct sigaction action {};
    action.sa_handler = onStopSignal;
    sigemptyset(&action.sa_mask);
    return ::sigaction(SIGINT, &action, nullptr) == 0 &&
           ::sigaction(SIGTERM, &action, nullptr) == 0;
}

}  // namespace

int main(int argc, char** argv) {
    using namespace zamel::sim;
    const std::vector<std::string> arguments(argv + 1, argv + argc);
    ParsedOptions parsed = parseSimOptions(arguments);
    if (parsed.helpRequested) {
        std::fputs(simHelpText().c_str(), stdout);
        return 0;
    }
    if (parsed.versionRequested) {
        std::fputs(simVersionText().c_str(), stdout);
        return 0;
    }
    if (!parsed.error.empty()) {
        std::fprintf(stderr, "receiver-sim: %s\nTry 'receiver-sim --help'.\n",
                     parsed.error.c_str());
        return 2;
    }

    int pipeFds[2] = {-1, -1};
    if (::pipe2(pipeFds, O_CLOEXEC | O_NONBLOCK) != 0) {
        std::perror("receiver-sim: pipe");
        return 1;
    }
    const UniqueFd stopRead(pipeFds[0]);
    const UniqueFd stopWrite(pipeFds[1]);
    stopWriteFd = stopWrite.get();
    ::signal(SIGPIPE, SIG_IGN);
    if (!installStopHandlers()) {
        std::perror("receiver-sim: sigaction");
        return 1;
    }

    SimRunner runner(std::move(parsed.options));
    runner.setNoticeHandler(
        [](const std::string& text) { std::fprintf(stderr, "receiver-sim: %s\n", text.c_str()); });
    std::string error;
    if (!runner.start(error)) {
        std::fprintf(stderr, "receiver-sim: %s\n", error.c_str());
        return 1;
    }
    std::printf("%s\n", runner.readyLine().c_str());
    std::fflush(stdout);
    return runner.run(stopRead.get());
}
