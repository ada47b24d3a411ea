#pragma once

#include <cstdint>

#include "flash_upload_type.h"

namespace zamel {

class ImageFile;

// The engine's constructor arguments for one flash upload (the file's window gives
// where it starts).
struct FlashEnginePlan {
    bool recordMode;
    std::uint32_t eraseEnd;
    bool verifyEcho;
};

inline constexpr std::uint32_t kCodeLoadAddress = 0x2D004000;
inline constexpr std::uint32_t kCodeEraseBase = 0x2D000000;

// The address plan of program code, a base map or a detail map for a variant.
FlashEnginePlan flashEnginePlan(FlashUploadType type, FlashVariant variant, const ImageFile& image);

}  // namespace zamel
