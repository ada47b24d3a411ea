#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "soak_random.h"

namespace zamel::soak {

// What the receiver does wrong in one run: receiver-sim faults aimed at a record
// of a transfer, answers that come before the loader could flush, and the
// receiver stopped in the middle of a transfer.
struct FaultPlan {
    std::vector<std::string> receiverArguments;  // for receiver-sim's command line
    // The receiver is stopped (SIGTERM: its line closes) this many loader
    // milliseconds after the stopTransfer-th transfer dialog opened.
    std::optional<std::int64_t> stopAfterMs;
    int stopTransfer = 1;
    std::string summary;  // "none" or the faults, as on the command line
};

// Draws the faults of one run. recordsPerTransfer holds, for each transfer the
// loader will make, about how many records it sends; a fault's record number and
// transfer are drawn from them.
FaultPlan drawFaults(Rng& rng, const std::vector<std::uint32_t>& recordsPerTransfer);

}  // namespace zamel::soak
