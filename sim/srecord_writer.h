#pragma once

#include <string>
#include <string_view>

#include "flash_memory.h"

namespace zamel::sim {

// Motorola S-record text of the programmed bytes of a flash: an S0 header, S3 data
// records of at most kSRecordDataBytes contiguous bytes in ascending address order,
// and an S7 end record giving the lowest programmed address. Lines end in LF.
inline constexpr std::size_t kSRecordDataBytes = 32;

std::string toSRecord(const FlashMemory& flash, std::string_view headerText);

// Writes the text to path through a temporary file renamed into place, so a reader
// never sees half a file. Returns false on any failure.
bool writeSRecordFile(const std::string& path, const FlashMemory& flash,
                      std::string_view headerText);

}  // namespace zamel::sim
