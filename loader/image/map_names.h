#pragma once

#include <array>
#include <string>
#include <string_view>

namespace zamel {

class ReceiverLink;

// The two names of a map: the one the receiver reports and the one written in the
// header of the selected map image; 39 characters and a terminator each.
struct MapNames {
    static constexpr std::size_t kCapacity = 40;
    std::array<char, kCapacity> receiverMapName{};
    std::array<char, kCapacity> fileMapName{};
};

// Fills both names from the link's map-header reply and the map image at dataPath.
void readMapHeader(const ReceiverLink& link, MapNames& names);

// The map name from the payload of a "$PQVXMPH," reply, as the link keeps it:
// its third field, between the second and third comma (a '*' or a line end
// also closes it), cut to 39 characters; empty for a shorter payload.
std::string receiverMapNameOf(std::string_view mapHeader);

// The "MAP_NAME=" value of the "[MAP_INFO]" section of a map image, cut to 39
// characters; empty when the file cannot be opened or has neither marker.
std::string fileMapNameOf(const std::string& filePath);

// A map from an upload package suits the receiver only when its name is exactly
// the name the receiver reports.
bool mapPackageMatches(const MapNames& names);

}  // namespace zamel
