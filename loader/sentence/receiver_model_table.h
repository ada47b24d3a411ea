#pragma once

#include <array>
#include <cstdint>

namespace zamel {

// Selects the upload path of a receiver. Values are fixed: zamel.cfg stores them.
enum class ReceiverClass : std::int32_t {
    NotIdentified = 0,
    Unsupported = 1,
    Legacy = 2,
    LegacyIfNamed = 3,  // only in the model table: Legacy when the version reply names the model
    FlashMapping = 5,
    FlashPlain = 6,
    PoiOnly = 10,
};

// The finer model number kept beside the class: 2, 5, 6, 7, 8, 9, 10 or 11; 0 until set.
using UnitType = std::int32_t;

// One receiver model as a version reply identifies it.
struct ReceiverModel {
    ReceiverClass receiverClass;
    UnitType unitType;
    char productCode[4];
    const char* modelName;
    std::uint8_t hasMapHeader;  // the header query asks for the map header
    std::uint8_t hasPoiHeader;  // the header query asks for the point-of-interest header
};

// Searched in this order. Rows 4 and 5 share "033": a version reply always finds row 4,
// row 5 is reached only by re-identification. The model names also name the sections
// of zamel.ini.
inline constexpr std::array<ReceiverModel, 9> ReceiverModelTable{{
    {ReceiverClass::Legacy, 2, "024", "NAV415/420", 0, 1},
    {ReceiverClass::LegacyIfNamed, 2, "023", "NAV415/420", 0, 1},
    {ReceiverClass::FlashMapping, 5, "030", "PLT430", 1, 0},
    {ReceiverClass::FlashMapping, 8, "035", "Geodra2", 1, 0},
    {ReceiverClass::FlashMapping, 7, "033", "Talvane", 1, 0},
    {ReceiverClass::FlashPlain, 6, "033", "Talvane GPS", 1, 0},
    {ReceiverClass::PoiOnly, 10, "037", "Trailix", 0, 1},
    {ReceiverClass::FlashMapping, 9, "036", "Trailix Map/Pro", 1, 0},
    {ReceiverClass::FlashMapping, 11, "038", "KX 524", 1, 0},
}};

}  // namespace zamel
