#pragma once

#include <string>

#include "zamel_console.h"

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

}  // namespace zamel
