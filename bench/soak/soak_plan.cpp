#include "soak_plan.h"

#include <algorithm>

namespace zamel::soak {

namespace {

struct Region {
    const char* name;         // receiver-sim's --poi-region
    const char* description;  // what its database's header says
    const char* defaultFile;  // the file the loader takes when none is chosen; may be null
};

const std::vector<std::pair<std::uint32_t, Region>>& regions() {
    static const std::vector<std::pair<std::uint32_t, Region>> all = {
        {2, {"worldwide", ",    NAV 415    ,   WORLDWIDE   ,    CITIES     ", "nav415wo.bin"}},
        {2, {"americas", ",    NAV 420    ,   AMERICAS    ,CITIES-NAVAIDS ", "nav420am.bin"}},
        {1, {"europe-africa", ",    NAV 420    , EUROPE-AFRICA ,CITIES-NAVAIDS ", "nav420eu.bin"}},
        {1, {"asia-australia", ",    NAV 420    ,ASIA-AUSTRALIA ,CITIES-NAVAIDS ", "nav420as.bin"}},
        {1, {"custom", ",    NAV 420    ,    MY OWN     ,    SPOTS      ", nullptr}},
        // Without database information the package check wants the worldwide one.
        {1, {"none", ",    NAV 415    ,   WORLDWIDE   ,    CITIES     ", nullptr}},
    };
    return all;
}

constexpr std::uint32_t kLineBytesPerSecond = 11520;  // 115200 baud, 10 bits a byte

// About how many records the engine sends for an image: a record ends where the
// file's data stop being contiguous or at 1980 bytes.
std::uint32_t engineRecords(const ImageShape& image, std::uint32_t from = 0,
                            std::uint32_t to = 0xFFFFFFFF) {
    std::uint32_t records = 0;
    std::uint32_t inRecord = 0;
    std::uint32_t nextAddress = 0;
    for (const auto& record : image.records) {
        for (std::size_t i = 0; i < record.bytes.size(); ++i) {
            const std::uint32_t address = record.address + static_cast<std::uint32_t>(i);
            if (address < from || address > to) continue;
            if (inRecord == 0 || address != nextAddress || inRecord == kRecordBytes) {
                ++records;
                inRecord = 0;
            }
            ++inRecord;
            nextAddress = address + 1;
        }
    }
    return records;
}

void drawFlashFiles(Rng& rng, SoakPlan& plan, const std::string& receiverMap) {
    ImageMarks marks;
    marks.productCode = rng.chance(1, 12) ? "037" : "033";
    marks.major = static_cast<int>(rng.between(1, 4));
    marks.minor = static_cast<int>(rng.below(100));
    marks.mapName = rng.chance(1, 10) ? "OTHER MAP" : receiverMap;
    bool code = false;
    bool map = false;
    if (plan.start == Start::UploadCommand) {
        plan.typeChoice = plan.receiver == Receiver::Talvane
                              ? rng.weighted<std::string>({{3, "Program Code Only"},
                                                           {2, "Base Map Only"},
                                                           {2, "Program Code and Base Map"},
                                                           {1, "Detail Map Only"}})
                              : rng.weighted<std::string>({{3, "Program Code Only"},
                                                           {2, "Base Map Only"},
                                                           {1, "Program Detail Map Only"}});
        code = plan.typeChoice.find("Program Code") != std::string::npos;
        map = plan.typeChoice.find("Map") != std::string::npos;
    } else {
        // The plain model's automatic upload takes the code alone: one file there.
        const int files = plan.receiver == Receiver::Talvane ? static_cast<int>(rng.below(3))
                                                             : static_cast<int>(rng.below(2));
        code = files != 1;
        map = files != 0;
    }
    if (code) {
        ImageShape image = drawImage(rng, ImageRole::FlashCode, marks);
        plan.code = PlannedFile{image, image.sRecord ? "code.srec" : "code.bin"};
    }
    if (map) plan.data = PlannedFile{drawImage(rng, ImageRole::Map, marks), "map.img"};
}

void drawLegacyFiles(Rng& rng, SoakPlan& plan) {
    const Region& region = rng.weighted(regions());
    plan.poiRegion = region.name;
    ImageMarks marks;
    marks.databaseDescription =
        rng.chance(1, 10) ? rng.weighted(regions()).description : region.description;
    const bool oldFirmware = plan.receiver == Receiver::NavOldFirmware;
    bool code = true;
    bool chosenDatabase = false;
    if (plan.start == Start::UploadCommand) {
        plan.typeChoice = rng.weighted<std::string>(
            {{3, "Program code"}, {2, "Database"}, {2, "Program code and Database"}});
        code = plan.typeChoice != "Database";
        chosenDatabase = plan.typeChoice != "Program code";
    } else {
        // The package's own database; a unit without database information never gets one.
        chosenDatabase = region.defaultFile != nullptr || std::string(region.name) == "custom";
        chosenDatabase = chosenDatabase && rng.chance(1, 2);
    }
    // Code into old firmware takes the unit's database along: the region's file,
    // or for a custom database the one the user picks.
    const bool defaultDatabase = !chosenDatabase && code && region.defaultFile != nullptr &&
                                 (oldFirmware || plan.start == Start::Package);
    const bool pickedDatabase =
        !chosenDatabase && code && oldFirmware && std::string(region.name) == "custom";
    if (code) {
        ImageShape image = drawImage(rng, ImageRole::LegacyCode, marks, oldFirmware);
        plan.code = PlannedFile{image, image.sRecord ? "code.srec" : "code.bin"};
    }
    if (chosenDatabase || defaultDatabase || pickedDatabase)
        plan.data = PlannedFile{drawImage(rng, ImageRole::LegacyDatabase, marks),
                                defaultDatabase ? region.defaultFile : "data.bin", chosenDatabase};
}

}  // namespace

SoakPlan drawPlan(std::uint32_t seed) {
    SoakPlan plan;
    plan.seed = seed;
    Rng rng(seed);
    plan.receiver = rng.weighted<Receiver>({{3, Receiver::Talvane},
                                            {2, Receiver::TalvaneGps},
                                            {3, Receiver::NavOldFirmware},
                                            {2, Receiver::NavNewFirmware}});
    plan.start = rng.chance(1, 4) ? Start::Package : Start::UploadCommand;
    plan.trustsFiles = rng.chance(1, 4);
    switch (plan.receiver) {
        case Receiver::Talvane:
            drawFlashFiles(rng, plan, "TALVANE BASEMAP");
            break;
        case Receiver::TalvaneGps:
            drawFlashFiles(rng, plan, "TALVANE GPS BASEMAP");
            break;
        case Receiver::NavOldFirmware:
        case Receiver::NavNewFirmware:
            drawLegacyFiles(rng, plan);
            break;
    }

    // The transfers in the order the loader makes them, and about how many records
    // each sends.
    std::vector<std::uint32_t> records;
    if (plan.legacy()) {
        records.push_back((plan.code ? engineRecords(plan.code->image) : 0) +
                          (plan.data ? engineRecords(plan.data->image) : 0));
        if (plan.bootBlockPass())
            records.push_back(engineRecords(plan.code->image, kBootBlockFirst, kBootBlockLast));
    } else {
        const bool mapFirst = plan.start == Start::Package;
        if (plan.data && mapFirst) records.push_back(engineRecords(plan.data->image));
        if (plan.code) records.push_back(engineRecords(plan.code->image));
        if (plan.data && !mapFirst) records.push_back(engineRecords(plan.data->image));
    }
    plan.faults = drawFaults(rng, records);
    return plan;
}

std::string SoakPlan::modelName() const {
    switch (receiver) {
        case Receiver::Talvane:
            return "Talvane";
        case Receiver::TalvaneGps:
            return "Talvane GPS";
        case Receiver::NavOldFirmware:
        case Receiver::NavNewFirmware:
            break;
    }
    return "NAV415/420";
}

std::vector<std::string> SoakPlan::receiverArguments() const {
    std::vector<std::string> arguments = {"--model",      modelName(), "--erase-ms",   "1",
                                          "--program-ms", "0",         "--restart-ms", "50"};
    if (legacy()) {
        arguments.insert(arguments.end(),
                         {"--firmware", receiver == Receiver::NavOldFirmware ? "2.05" : "3.08",
                          "--poi-region", poiRegion});
    }
    arguments.insert(arguments.end(), faults.receiverArguments.begin(),
                     faults.receiverArguments.end());
    return arguments;
}

std::string SoakPlan::describe() const {
    std::string text = "seed " + std::to_string(seed) + ": " + modelName();
    if (legacy())
        text += std::string(" firmware ") +
                (receiver == Receiver::NavOldFirmware ? "2.05" : "3.08") + ", database " +
                poiRegion;
    text += start == Start::Package ? ", upload package" : ", \"" + typeChoice + "\"";
    text += trustsFiles ? ", a user who trusts the files\n" : ", a careful user\n";
    if (code) text += "  code " + code->fileName + ": " + code->image.summary + "\n";
    if (data) text += "  data " + data->fileName + ": " + data->image.summary + "\n";
    text += "  faults: " + faults.summary + "\n  receiver-sim";
    for (const auto& argument : receiverArguments())
        text += argument.find(' ') == std::string::npos ? " " + argument : " \"" + argument + "\"";
    return text + "\n";
}

int SoakPlan::boundSeconds() const {
    std::uint64_t bytes =
        (code ? code->image.dataBytes() : 0) + (data ? data->image.dataBytes() : 0);
    if (bootBlockPass()) bytes += kBootBlockLast - kBootBlockFirst + 1;
    return 40 + static_cast<int>(3 * bytes / kLineBytesPerSecond);
}

}  // namespace zamel::soak
