#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace zamel::testing {

// Motorola S-record text: a header, S3 records of `perRecord` bytes from `base`, an S7.
std::string sRecordText(std::uint32_t base, const std::vector<std::uint8_t>& data,
                        std::size_t perRecord);

}  // namespace zamel::testing
