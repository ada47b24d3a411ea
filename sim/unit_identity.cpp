#include "unit_identity.h"

#include "sentence.h"

namespace zamel::sim {

namespace {

constexpr std::string_view kLegacyModelName = "NAV 415/420";
// The version text runs from position 13; the model name starts at position 22.
constexpr std::size_t kVersionFieldWidth = 9;
constexpr unsigned long kPlainMapLimit = 2'500'000;
constexpr unsigned long kFirstFirmwareWithoutBootReload = 3;

constexpr ModelProfile kModels[] = {
    {"NAV415/420", "024", "2097152,65536,0", "1,0,POI,1.00,2097152", true},
    {"PLT430", "030", "8388608,4194304,0", "1,0,PLT BASEMAP,2.05,4194304", false},
    {"Geodra2", "035", "8388608,4194304,0", "1,0,GEODRA BASEMAP,2.05,4194304", false},
    {"Talvane", "033", "8388608,4194304,0", "1,0,TALVANE BASEMAP,2.05,4194304", false},
    {"Talvane GPS", "033", "8388608,0,0", "1,0,TALVANE GPS BASEMAP,2.05,1048576", false},
    {"Trailix", "037", "4194304,65536,0", "1,0,TRAILIX,1.00,1048576", false},
    {"Trailix Map/Pro", "036", "8388608,4194304,0", "1,0,TRAILIX BASEMAP,2.05,4194304", false},
    {"KX 524", "038", "8388608,4194304,0", "1,0,KX BASEMAP,2.05,4194304", false},
};

// Field `index` (0-based) of a comma-separated text, empty when missing.
std::string_view field(std::string_view text, int index) {
    for (int i = 0; i < index; ++i) {
        const auto comma = text.find(',');
        if (comma == std::string_view::npos) return {};
        text.remove_prefix(comma + 1);
    }
    return text.substr(0, text.find(','));
}

bool parseUnsigned(std::string_view text, unsigned long& value) {
    if (text.empty() || text.size() > 10) return false;
    value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
        value = value * 10 + static_cast<unsigned long>(c - '0');
    }
    return true;
}

bool parseInteger(std::string_view text) {
    if (!text.empty() && text.front() == '-') text.remove_prefix(1);
    unsigned long ignored = 0;
    return parseUnsigned(text, ignored);
}

}  // namespace

std::span<const ModelProfile> modelProfiles() { return kModels; }

const ModelProfile* findModel(std::string_view name) {
    for (const ModelProfile& model : kModels)
        if (model.name == name) return &model;
    return nullptr;
}

UnitIdentity UnitIdentity::fromModel(const ModelProfile& model, std::string_view firmware,
                                     PoiRegion region) {
    UnitIdentity identity;
    identity.productCode = model.productCode;
    identity.firmware = firmware;
    identity.memory = model.memory;
    identity.mapHeader = model.mapHeader;
    identity.carriesModelName = model.carriesModelName;
    identity.poiHeader = makePoiHeader(region);
    return identity;
}

std::vector<std::uint8_t> UnitIdentity::versionReply() const {
    std::string payload = "VER," + productCode + ",";
    if (carriesModelName && firmware.size() <= kVersionFieldWidth) {
        payload += firmware;
        payload.append(kVersionFieldWidth - firmware.size(), ' ');
        payload += kLegacyModelName;
    } else {
        payload += firmware;
    }
    return frameSentence(payload, checksumStyle);
}

std::vector<std::uint8_t> UnitIdentity::memoryReply() const {
    return frameSentence("MEM," + memory, checksumStyle);
}

std::vector<std::uint8_t> UnitIdentity::mapHeaderReply() const {
    return frameSentence("MPH," + mapHeader, checksumStyle);
}

std::vector<std::uint8_t> UnitIdentity::poiHeaderReply() const {
    std::vector<std::uint8_t> payload{'P', 'O', 'I', ','};
    payload.insert(payload.end(), poiHeader.begin(), poiHeader.end());
    return frameSentence(payload, checksumStyle);
}

bool UnitIdentity::isPlainVariant() const {
    if (productCode != "033") return false;
    unsigned long value = 0;
    if (parseUnsigned(field(memory, 1), value) && value == 0) return true;
    return parseUnsigned(field(mapHeader, 4), value) && value < kPlainMapLimit;
}

bool UnitIdentity::reloadsBootBlockAfterCode() const {
    unsigned long major = 0;
    return carriesModelName && parseUnsigned(firmware.substr(0, firmware.find('.')), major) &&
           major < kFirstFirmwareWithoutBootReload;
}

UploadMode UnitIdentity::uploadModeFor(UploadCommand command) const {
    switch (command) {
        case UploadCommand::Database:
            return UploadMode::Address;
        case UploadCommand::BaseMap:
            return isPlainVariant() ? UploadMode::Address : UploadMode::Record;
        case UploadCommand::DetailMap:
            return UploadMode::Record;
    }
    return UploadMode::Address;
}

bool isValidMemoryText(std::string_view text) {
    int fields = 0;
    while (true) {
        const auto comma = text.find(',');
        if (!parseInteger(text.substr(0, comma))) return false;
        ++fields;
        if (comma == std::string_view::npos) break;
        text.remove_prefix(comma + 1);
    }
    return fields == 3;
}

}  // namespace zamel::sim
