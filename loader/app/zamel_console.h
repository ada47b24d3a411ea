#pragma once

#include <cstdio>

namespace zamel {

// Exit statuses of the console run.
enum ConsoleExitStatus : int {
    // Every file of the package was sent and the receiver confirmed each upload.
    kExitComplete = 0,
    // An upload began and did not complete: the receiver's flash may be half written.
    kExitFailed = 1,
    // A check or a warning stopped the run before a file was sent, or a file of the
    // package was not sent.
    kExitRefused = 2,
    // No receiver answered.
    kExitNoReceiver = 3,
    // No upload package (zamel.ini) here, or one that gives no package.
    kExitNoPackage = 4,
    // Stopped by Ctrl+C (SIGINT) or SIGTERM.
    kExitInterrupted = 130,
};

// The loader without a window: with an upload package in the working directory,
// its automatic upload runs on the console, every dialog printed to out with the
// progress of the search and of each transfer. A warning about a file is answered
// Cancel; a receiver silent for a minute ends the run. The last line says how the
// run ended; returns its exit status.
int runZamelConsole(std::FILE* out);

}  // namespace zamel
