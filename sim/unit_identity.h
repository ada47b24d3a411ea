#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "poi_header.h"
#include "sentence.h"

namespace zamel::sim {

// How the boot loader places records: at the address each frame carries, or one
// after the other from address 0 (maps), where no erase frame precedes them.
enum class UploadMode { Address, Record };

// The upload commands that send the firmware to its boot loader.
enum class UploadCommand { Database, BaseMap, DetailMap };

// One receiver model: what its firmware reports so that a loader identifies it.
struct ModelProfile {
    std::string_view name;
    std::string_view productCode;
    std::string_view memory;     // the three values of the "MEM" reply
    std::string_view mapHeader;  // the "MPH" payload; third field the map name
    bool carriesModelName;       // older receivers put "NAV 415/420" at positions 22 to 32
};

std::span<const ModelProfile> modelProfiles();
const ModelProfile* findModel(std::string_view name);

// What this simulated receiver says about itself, resolved from a model and overrides.
struct UnitIdentity {
    std::string productCode;
    std::string firmware;
    std::string memory;
    std::string mapHeader;
    bool carriesModelName = false;
    PoiHeader poiHeader{};
    // How the firmware writes the checksums of its replies.
    ChecksumStyle checksumStyle = ChecksumStyle::Upper;

    static UnitIdentity fromModel(const ModelProfile& model, std::string_view firmware,
                                  PoiRegion region);

    std::vector<std::uint8_t> versionReply() const;
    std::vector<std::uint8_t> memoryReply() const;
    std::vector<std::uint8_t> mapHeaderReply() const;
    std::vector<std::uint8_t> poiHeaderReply() const;

    // The plain variant of product code "033": its memory reply's second value is 0
    // or its map header's fifth field is below 2,500,000. Its base map takes an erase
    // and addressed records instead of the record mode of the mapping models.
    bool isPlainVariant() const;
    // A NAV 415/420 with firmware older than 3: once new code is written, its boot
    // block must be reloaded, so the unit starts in its boot loader again for it.
    bool reloadsBootBlockAfterCode() const;
    UploadMode uploadModeFor(UploadCommand command) const;
};

// "A,B,C" with three decimal integers.
bool isValidMemoryText(std::string_view text);

}  // namespace zamel::sim
