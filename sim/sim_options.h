#pragma once

#include <optional>
#include <string>
#include <vector>

#include "fault_plan.h"
#include "poi_header.h"
#include "unit_identity.h"

namespace zamel::sim {

// Everything the receiver-sim command line sets.
struct SimOptions {
    std::string dir = ".";
    int port = 1;
    std::string model = "Talvane";
    std::optional<std::string> productCode;
    std::string firmware = "3.08";
    std::optional<std::string> memory;
    std::optional<std::string> mapHeader;
    PoiRegion poiRegion = PoiRegion::Worldwide;
    long baud = 4800;
    long loaderBaud = 115200;
    std::string flashOut;
    // Stem of one numbered flash file per completed transfer.
    std::string flashOutEach;
    // Everything the flash holds, after each transfer and when the program ends.
    std::string flashDump;
    bool pace = false;
    // Answers leave as soon as the question is read, without its time on the line.
    bool earlyAnswers = false;
    int eraseMs = 20;
    int programMs = 5;
    int restartMs = 2000;
    ChecksumStyle checksumStyle = ChecksumStyle::Upper;
    FaultPlan faults;
    std::string transcript;
    bool once = false;
    std::optional<UploadMode> startInLoader;
    unsigned seed = 1;

    // The identity the options describe: the model's, with the overrides applied.
    UnitIdentity identity() const;
};

struct ParsedOptions {
    SimOptions options;
    bool helpRequested = false;
    bool versionRequested = false;
    std::string error;  // empty when the command line was good
};

ParsedOptions parseSimOptions(const std::vector<std::string>& arguments);
std::string simHelpText();
// "receiver-sim 1.14" and a line end.
std::string simVersionText();

}  // namespace zamel::sim
