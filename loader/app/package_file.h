#pragma once

#include <array>
#include <optional>
#include <string>

#include "receiver_model_table.h"

namespace zamel {

// The section of zamel.ini for one receiver model: its unit type and the four
// lines after the header, line ends removed ("CODE=...", a line read for no value,
// "MAP=...", and seven characters followed by the map's display name).
struct PackageSection {
    UnitType unitType = 1;
    std::array<std::string, 4> lines;
};

// Finds the first section whose name matches a model name of the model table
// without regard to case (rows in table order). While a section is sought the file
// is read 39 characters at a time, the section's lines 79 at a time, so an
// over-long line spills into the next read. Nothing when the file cannot be opened
// or holds no matching section.
std::optional<PackageSection> readPackageSection(const std::string& path);

// The value after `key` at the start of a package line; empty without the key.
std::string packageValue(const std::string& line, const char* key);

}  // namespace zamel
