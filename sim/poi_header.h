#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

namespace zamel::sim {

// The region of the point-of-interest database a receiver reports it holds.
enum class PoiRegion { Worldwide, Americas, EuropeAfrica, AsiaAustralia, Custom, None };

inline constexpr std::size_t kPoiHeaderSize = 128;
using PoiHeader = std::array<std::uint8_t, kPoiHeaderSize>;

// Accepts worldwide, americas, europe-africa, asia-australia, custom, none.
std::optional<PoiRegion> parsePoiRegion(std::string_view text);

// The 128-byte header the receiver sends in its "POI" reply: bytes 3 to 50 carry
// the 48-character description of the database; byte 1 of 0xFF means no database.
// No byte is CR, which would end the reply sentence early, and byte 0 is never 0.
PoiHeader makePoiHeader(PoiRegion region);

}  // namespace zamel::sim
