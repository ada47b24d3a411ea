#include "personalizer_startup.h"

#include <unistd.h>

#include <array>

#include "hand_off.h"

namespace tagwright {

namespace {

constexpr const char* kStartupWarning =
    "   This program modifies the factory\rmessage in the Corvath Talvane\ror Plt430 "
    "firmware.\r\r   You assume full responsibility and\r risk when using this program!";

}  // namespace

StartupOutcome runPersonalizer(PersonalizerApp& app, StartupPorts ports) {
    // A directory whose name does not fit the path capacity counts as one that
    // cannot be had: every path built from it would be cut.
    std::array<char, kPathCapacity + 1> cwd{};
    if (::getcwd(cwd.data(), cwd.size()) == nullptr || !app.setWorkDir(cwd.data())) {
        ports.ui.showMessage("Problems getting the current directory name", MessageIcon::Error);
        return StartupOutcome::NoWorkDir;
    }
    app.loadSettings();
    if (app.message().searchText == "UnknownLine1") {
        ports.ui.showMessage("Problem reading " + app.settingsPath + "\n", MessageIcon::Error);
        return StartupOutcome::SettingsUnreadable;
    }

    ports.ui.showMessage(kStartupWarning, MessageIcon::Warning);

    HandOff handOff(app.workDir, ports.ui, ports.starter);
    if (!app.loadFirmware()) {
        ports.ui.showMessage("Could not find firmware file: " + app.factoryFile +
                                 ".  Please read trouble shooting section in TagwrightReadMe.txt",
                             MessageIcon::Error);
        handOff.openReadMe();
        return StartupOutcome::FirmwareMissing;
    }

    PersonalizerDialog dialog(app, ports.ui, handOff, ports.pause);
    ports.window.run(dialog);
    return StartupOutcome::WindowClosed;
}

}  // namespace tagwright
