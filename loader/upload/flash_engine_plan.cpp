#include "flash_engine_plan.h"

#include "image_file.h"

namespace zamel {

FlashEnginePlan flashEnginePlan(FlashUploadType type, FlashVariant variant,
                                const ImageFile& image) {
    if (type == kProgramCode) {
        // An S-record image's size counts from the erase base, so its end is right as
        // it is. A binary image is written from the load address on: its erase must
        // reach that far past the load address, or its last 16 KiB are never erased.
        const std::uint32_t eraseEnd =
            image.isSRecord ? kCodeEraseBase + image.imageSize : kCodeLoadAddress + image.imageSize;
        return {false, eraseEnd, true};
    }
    if (type == kBaseMap && variant == FlashVariant::Plain) return {false, image.imageSize, false};
    return {true, 0xFFFFFFFF, true};
}

}  // namespace zamel
