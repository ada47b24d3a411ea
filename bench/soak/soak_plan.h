#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "image_shape.h"
#include "soak_faults.h"

namespace zamel::soak {

enum class Receiver { Talvane, TalvaneGps, NavOldFirmware, NavNewFirmware };

// How the user starts the upload: the "&Upload" command answering the
// upload-type dialog, or an upload package zamel.ini read at start-up.
enum class Start { UploadCommand, Package };

// An image the user means to put into the unit, and the file that holds it.
struct PlannedFile {
    ImageShape image;
    std::string fileName;  // in the run's working directory
    // The package or the upload-type choice names the file; otherwise the loader
    // comes to it by itself (a region's database, or the one it asks for).
    bool named = true;
};

// Everything one seed decides: the receiver, what the user uploads and how,
// how the user answers, and what goes wrong.
struct SoakPlan {
    std::uint32_t seed = 0;
    Receiver receiver = Receiver::Talvane;
    std::string poiRegion = "worldwide";  // receiver-sim's --poi-region (NAV 415/420)
    Start start = Start::UploadCommand;
    std::string typeChoice;  // the button pressed in the upload-type dialog
    std::optional<PlannedFile> code;
    std::optional<PlannedFile> data;  // a map, or a NAV 415/420 database
    // The user answers OK to a content warning (the loader doubts the file suits
    // the unit): a user who knows better. A careful user answers Cancel.
    bool trustsFiles = false;
    FaultPlan faults;

    bool legacy() const {
        return receiver == Receiver::NavOldFirmware || receiver == Receiver::NavNewFirmware;
    }
    // Code into an old NAV 415/420 needs a second pass for its boot block.
    bool bootBlockPass() const { return receiver == Receiver::NavOldFirmware && code.has_value(); }
    // The model as receiver-sim and zamel.ini name it.
    std::string modelName() const;
    // receiver-sim's arguments besides the directory, port and dumps.
    std::vector<std::string> receiverArguments() const;
    // A few lines that say what the seed does, for --verbose and failure reports.
    std::string describe() const;
    // The wall time after which a run of this plan counts as hung.
    int boundSeconds() const;
};

SoakPlan drawPlan(std::uint32_t seed);

}  // namespace zamel::soak
