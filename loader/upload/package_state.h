#pragma once

#include <cstdint>

#include "map_names.h"

namespace zamel {

// What the application learned from its upload package, zamel.ini, and the two
// map names: the part of the application object the upload dialogs read.
struct PackageState : MapNames {
    // zamel.ini gave no valid upload package at start-up.
    bool packageMissing = true;
    // Unit type of the zamel.ini section that was used; 1 when none.
    std::int32_t packageUnitType = 1;
};

}  // namespace zamel
