#pragma once

#include <cstdint>
#include <span>

namespace zamel {

// The regional point-of-interest databases of the NAV 415/420. A database file
// carries a 128-byte header at offset 220 whose bytes 3 to 50 describe it: a comma
// and three 15-character fields, each after a comma (model, region, content). The
// receiver's "POI" reply carries its own copy of that header.
using DatabaseRegion = std::int32_t;
inline constexpr DatabaseRegion kNoDatabaseInformation = 0;
inline constexpr DatabaseRegion kAmericas = 1;
inline constexpr DatabaseRegion kEuropeAfrica = 2;
inline constexpr DatabaseRegion kAsiaAustralia = 3;
inline constexpr DatabaseRegion kWorldwide = 4;
inline constexpr DatabaseRegion kCustomDatabase = 6;

inline constexpr std::size_t kDatabaseHeaderSize = 128;
inline constexpr std::size_t kDatabaseHeaderOffset = 220;
inline constexpr std::size_t kDescriptionStart = 3;
inline constexpr std::size_t kDescriptionLength = 48;

// The region of the database a receiver holds, from its copy of the header: none
// when byte 0 is 0 or byte 1 is 0xFF, custom for a description of no standard one.
DatabaseRegion databaseRegion(std::span<const char, kDatabaseHeaderSize> poiHeader);

// The file name of a region's standard database; nullptr for a region without one.
const char* defaultDatabaseName(DatabaseRegion region);

// Whether a package's database file suits a receiver of the region: its
// description must be the region's (worldwide for a receiver without database
// information); a custom database takes any file. False when the file cannot be
// opened, and for any other region.
bool packageDatabaseSuits(const char* dataPath, DatabaseRegion region);

}  // namespace zamel
