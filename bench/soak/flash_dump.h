#pragma once

#include <string>
#include <string_view>

#include "sparse_bytes.h"

namespace zamel::soak {

// The bytes of S-record text (S1, S2 and S3 data records) at their addresses, as
// receiver-sim writes what its flash holds. Lines that are not well-formed data
// records with a correct checksum are counted in `damagedLines` and left out.
struct FlashDump {
    SparseBytes bytes;
    int damagedLines = 0;
};

FlashDump parseFlashDump(std::string_view text);
// An absent file reads as an empty flash.
FlashDump readFlashDump(const std::string& path);

}  // namespace zamel::soak
