#pragma once

#include <cstdint>

namespace zamel {

// The two flash upload dialogs: for mapping receivers and for the plain model.
enum class FlashVariant { Map, Plain };

// What a flash upload sends. The values are the dialogs' own: the plain variant
// has no combined choice, and its "cancelled" is 3 where the map variant's is 4.
using FlashUploadType = std::int32_t;
inline constexpr FlashUploadType kProgramCode = 0;
inline constexpr FlashUploadType kBaseMap = 1;
inline constexpr FlashUploadType kDetailMap = 2;
inline constexpr FlashUploadType kCodeAndBaseMap = 3;

inline constexpr FlashUploadType cancelledUpload(FlashVariant variant) {
    return variant == FlashVariant::Map ? 4 : 3;
}

}  // namespace zamel
