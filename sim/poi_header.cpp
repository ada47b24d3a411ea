#include "poi_header.h"

#include <algorithm>
#include <string_view>

namespace zamel::sim {

namespace {

constexpr std::size_t kDescriptionOffset = 3;
constexpr std::size_t kDescriptionLength = 48;

struct RegionRow {
    std::string_view option;
    PoiRegion region;
    std::string_view description;
};

// Each description is a comma and three 15-character fields: model, region, content.
constexpr RegionRow kRegions[] = {
    {"worldwide", PoiRegion::Worldwide, ",    NAV 415    ,   WORLDWIDE   ,    CITIES     "},
    {"americas", PoiRegion::Americas, ",    NAV 420    ,   AMERICAS    ,CITIES-NAVAIDS "},
    {"europe-africa", PoiRegion::EuropeAfrica, ",    NAV 420    , EUROPE-AFRICA ,CITIES-NAVAIDS "},
    {"asia-australia", PoiRegion::AsiaAustralia,
     ",    NAV 420    ,ASIA-AUSTRALIA ,CITIES-NAVAIDS "},
    {"custom", PoiRegion::Custom, ",    NAV 420    ,    CUSTOM     ,  USER POINTS  "},
    {"none", PoiRegion::None, ""},
};

}  // namespace

std::optional<PoiRegion> parsePoiRegion(std::string_view text) {
    for (const RegionRow& row : kRegions)
        if (row.option == text) return row.region;
    return std::nullopt;
}

PoiHeader makePoiHeader(PoiRegion region) {
    PoiHeader header;
    header.fill(' ');
    header[0] = 0x01;
    header[1] = region == PoiRegion::None ? 0xFF : 0x01;
    header[2] = 0x00;
    for (const RegionRow& row : kRegions) {
        if (row.region != region || row.description.size() != kDescriptionLength) continue;
        std::copy(row.description.begin(), row.description.end(),
                  header.begin() + kDescriptionOffset);
    }
    return header;
}

}  // namespace zamel::sim
