#include "personalizer_startup.h"

#include <filesystem>
#include <string>
#include <system_error>
#include <utility>

#include "hand_off.h"
#include "whole_file.h"

namespace tagwright {

namespace {

constexpr const char* kStartupWarning =
    "   This program modifies the factory\rmessage in the Corvath Talvane\ror Plt430 "
    "firmware.\r\r   You assume full responsibility and\r risk when using this program!";

// The families in the order of their buttons on screen, with their captions.
constexpr std::array<std::pair<int, const char*>, 3> kFamilyButtons = {
    {{0, "TalvAmber/Cob"}, {2, "TalvOlive"}, {1, "Plt 430"}}};

// Without a single factory image around (a first start, most likely) the user
// needs the names under which each family's firmware is expected; empty when
// one of them is there.
std::string missingFirmwareNames(const PersonalizerApp& app) {
    std::string text = "No factory firmware of any receiver family was found. Tagwright expects:\r";
    for (const auto& [family, caption] : kFamilyButtons) {
        const std::string file = app.familyFactoryFile(family);
        if (fileExists(file)) {
            return {};
        }
        text += std::string("   ") + caption + ":  " + file + "\r";
    }
    text +=
        "Copy your receiver's factory firmware to the name of its family, or give its name "
        "as FactoryFilename in that family's section of " +
        app.settingsPath + ".";
    return text;
}

}  // namespace

StartupOutcome runPersonalizer(PersonalizerApp& app, StartupPorts ports) {
    // A directory whose name does not fit the path capacity counts as one that
    // cannot be had: every path built from it would be cut.
    std::error_code error;
    const std::string cwd = std::filesystem::current_path(error).string();
    if (error || cwd.size() > kPathCapacity || !app.setWorkDir(cwd)) {
        ports.ui.showMessage("Problems getting the current directory name", MessageIcon::Error);
        return StartupOutcome::NoWorkDir;
    }
    app.loadSettings();
    if (app.message().searchText == "UnknownLine1") {
        ports.ui.showMessage("Problem reading " + app.settingsPath + "\n", MessageIcon::Error);
        return StartupOutcome::SettingsUnreadable;
    }

    ports.ui.showMessage(kStartupWarning, MessageIcon::Warning);

    HandOff handOff(app.workDir, ports.programDir, ports.ui, ports.starter);
    if (!app.loadFirmware()) {
        ports.ui.showMessage("Could not find firmware file: " + app.factoryFile +
                                 ".  Please read trouble shooting section in ReadMeTagwright.txt",
                             MessageIcon::Error);
        if (const std::string names = missingFirmwareNames(app); !names.empty()) {
            ports.ui.showMessage(names, MessageIcon::Information);
        }
        handOff.openReadMe();
        return StartupOutcome::FirmwareMissing;
    }

    PersonalizerDialog dialog(app, ports.ui, handOff, ports.pause);
    ports.window.run(dialog);
    return StartupOutcome::WindowClosed;
}

}  // namespace tagwright
