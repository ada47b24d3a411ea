#pragma once

#include <array>
#include <optional>
#include <string>
#include <vector>

#include "receiver_model_table.h"

namespace zamel {

// The section of zamel.ini for one receiver model: its unit type and the four
// lines after the header, line ends removed ("CODE=...", a line read for no value,
// "MAP=...", and seven characters followed by the map's display name).
struct PackageSection {
    UnitType unitType = 1;
    // The section's name as the file writes it.
    std::string name;
    std::array<std::string, 4> lines;
    // How many of the four lines the file holds.
    int linesPresent = 0;
};

// What reading zamel.ini found.
struct PackageReading {
    bool fileFound = false;
    std::optional<PackageSection> section;
    // Section headers passed over because they name no model, as written ("[Talvan]").
    std::vector<std::string> otherSections;
};

// Finds the first section whose name matches a model name of the model table
// without regard to case (rows in table order). While a section is sought the file
// is read 39 characters at a time, the section's lines 79 at a time, so an
// over-long line spills into the next read; a CR LF line end split by a read is
// still one line end, so it never shifts the lines after it.
PackageReading readPackageFile(const std::string& path);

// The value after `key` at the start of a package line; empty without the key.
std::string packageValue(const std::string& line, const char* key);

// Why a zamel.ini that was found gives no upload package: no section names a known
// model, or the section's lines name no file that can be read. `mapProblem` says why
// the map file named cannot be read (empty when none is named or it can be).
std::string whyNoPackage(const PackageReading& reading, const std::string& mapProblem);

}  // namespace zamel
