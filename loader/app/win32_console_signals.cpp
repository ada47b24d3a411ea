#include <io.h>
#include <windows.h>

#include <atomic>
#include <csignal>

#include "console_signals.h"

namespace zamel {

namespace {

std::atomic<int> requested{0};

// The console calls this on a thread of its own: it only notes the request.
BOOL WINAPI noteConsoleControl(DWORD event) {
    switch (event) {
        case CTRL_C_EVENT:
        case CTRL_BREAK_EVENT:
        case CTRL_CLOSE_EVENT:
            requested = SIGINT;
            return TRUE;
        default:
            return FALSE;
    }
}

}  // namespace

void catchStopSignals() { SetConsoleCtrlHandler(noteConsoleControl, TRUE); }

int stopSignal() { return requested; }

bool isTerminal(std::FILE* out) { return _isatty(_fileno(out)) != 0; }

}  // namespace zamel
