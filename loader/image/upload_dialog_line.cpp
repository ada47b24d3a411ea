#include "upload_dialog_line.h"

#include <array>
#include <cstdio>
#include <cstring>

#include "image_file.h"
#include "link_field_text.h"
#include "receiver_link.h"

namespace zamel {

std::string uploadDialogLine(const ReceiverLink& link, Ui& ui) {
    std::array<char, 192> text{};
    if (link.codeSelected) {
        ImageFile image(linkFieldText(link.codePath));
        if (image.isOpen != 0 && image.checkContent(ContentCheck::FlashCode, true, link, ui) &&
            image.versionKnown()) {
            std::snprintf(text.data(), text.size(), "Updating to version %d.%02d",
                          static_cast<int>(image.versionMajor),
                          static_cast<int>(image.versionMinor));
        } else {
            std::snprintf(text.data(), text.size(), "UPDATING TO UNKNOWN VERSION!");
        }
        image.close();
        return text.data();
    }
    ImageFile image(linkFieldText(link.dataPath));
    if (image.isOpen != 0 && image.checkContent(ContentCheck::FlashMap, false, link, ui)) {
        const std::string name(linkFieldText(link.mapName));
        std::snprintf(text.data(), text.size(), "Updating map to %s", name.c_str());
    }
    image.close();
    return text.data();
}

}  // namespace zamel
