#pragma once

#include <string>

#include "personalizer_app.h"
#include "personalizer_dialog.h"
#include "personalizer_ui.h"
#include "process_starter.h"

namespace tagwright {

// Shows the window for a dialog controller and returns when it has closed.
class PersonalizerWindow {
  public:
    virtual ~PersonalizerWindow() = default;

    virtual void run(PersonalizerDialog& dialog) = 0;
};

// How a run of the personalizer ended.
enum class StartupOutcome {
    NoWorkDir,           // the current directory could not be had
    SettingsUnreadable,  // the language's disclaimer key is missing
    FirmwareMissing,     // the factory firmware could not be read
    WindowClosed,        // the window ran and was closed
};

// Everything the start-up flow borrows from the program.
struct StartupPorts {
    PersonalizerUi& ui;
    ProcessStarter& starter;
    PersonalizerWindow& window;
    Pause pause;
    std::string programDir;  // where the program is installed, with its read-me and the loader
};

// The whole run of the personalizer: working directory, settings, start-up
// warning, factory firmware, then the window until it closes.
StartupOutcome runPersonalizer(PersonalizerApp& app, StartupPorts ports);

}  // namespace tagwright
