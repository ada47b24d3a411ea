#pragma once

#include <cstdio>
#include <string>

namespace zamel {

// Whether a window can be shown: an X server or a Wayland compositor answers, or a
// Qt platform that needs no display is chosen.
bool displayAvailable();

// The whole loader inside a running QApplication: the link with its settings,
// the application object, the main window, and the automatic upload of a
// package once the window shows. codeFile, when not empty, is selected as the
// code file first (a package's own code file replaces it). Returns the exit
// status when the window closes.
int runZamelWindow(const std::string& codeFile = {});

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
    // Stopped by SIGINT (Ctrl+C) or SIGTERM.
    kExitInterrupted = 130,
};

// The loader without a window: with an upload package in the working directory,
// its automatic upload runs on the console, every dialog printed to out with the
// progress of the search and of each transfer. A warning about a file is answered
// Cancel; a receiver silent for a minute ends the run. The last line says how the
// run ended; returns its exit status.
int runZamelConsole(std::FILE* out);

}  // namespace zamel
