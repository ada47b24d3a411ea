#include <unistd.h>

#include <csignal>

#include "console_signals.h"

namespace zamel {

namespace {

volatile std::sig_atomic_t requested = 0;

void noteStopSignal(int signalNumber) { requested = signalNumber; }

}  // namespace

void catchStopSignals() {
    struct sigaction action {};
    action.sa_handler = noteStopSignal;
    sigemptyset(&action.sa_mask);
    // No SA_RESTART: a wait on the port returns at once.
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

int stopSignal() { return requested; }

bool isTerminal(std::FILE* out) { return ::isatty(::fileno(out)) == 1; }

}  // namespace zamel
