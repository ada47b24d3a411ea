#include "image_integrity.h"

#include <cstdio>

#include "image_file.h"
#include "s_record_check.h"
#include "ui.h"

namespace zamel {

std::optional<std::uint64_t> checkImageIntegrity(const ImageFile& image, Ui& ui) {
    if (!image.isSRecord) return image.imageSize;
    const SRecordCheck check = checkSRecordFile(image.path);
    if (check.intact) return check.dataBytes;
    char text[512];
    if (check.faultLine > 0) {
        std::snprintf(text, sizeof text,
                      "%s is damaged: line %lld %s.\n\nNothing was sent to the receiver.",
                      image.path.c_str(), static_cast<long long>(check.faultLine), check.fault);
    } else {
        std::snprintf(text, sizeof text, "%s %s.\n\nNothing was sent to the receiver.",
                      image.path.c_str(), check.fault);
    }
    ui.messageBox(text, "ERROR", MessageButtons::Ok, MessageIcon::Stop);
    return std::nullopt;
}

}  // namespace zamel
