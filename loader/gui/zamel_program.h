#pragma once

#include <cstdio>
#include <string>

namespace zamel {

// Whether a window can be shown: a display is named, or a Qt platform chosen.
bool displayAvailable();

// The whole loader inside a running QApplication: the link with its settings,
// the application object, the main window, and the automatic upload of a
// package once the window shows. codeFile, when not empty, is selected as the
// code file first (a package's own code file replaces it). Returns the exit
// status when the window closes.
int runZamelWindow(const std::string& codeFile = {});

// The loader without a window: with an upload package in the working directory,
// its automatic upload runs on the console, every question answered positively
// and every dialog printed to out. Without one there is nothing to do. Returns 0.
int runZamelConsole(std::FILE* out);

}  // namespace zamel
