#pragma once

#include <optional>

namespace zamel {

// Tells the flash loader engine which file a running legacy upload is sending:
// 0 code file, 1 database file, 2 boot block, 3 finished. The application object
// implements it; with no legacy upload running there is no phase.
class LegacyPhaseSource {
  public:
    virtual ~LegacyPhaseSource() = default;
    virtual std::optional<int> legacyPhase() const = 0;
};

}  // namespace zamel
