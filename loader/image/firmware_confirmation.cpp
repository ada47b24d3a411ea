#include "firmware_confirmation.h"

#include <array>
#include <cstdio>

#include "image_file.h"
#include "link_field_text.h"
#include "receiver_link.h"
#include "ui.h"

namespace zamel {

namespace {

struct FileVersion {
    bool known = false;
    int major = 0;
    int minor = 0;
};

FileVersion versionOf(const ImageFile& image) {
    if (!image.versionKnown()) return {};
    return {true, static_cast<int>(image.versionMajor), static_cast<int>(image.versionMinor)};
}

}  // namespace

bool confirmFirmwareVersion(const ReceiverLink& link, Ui& ui, ImageFile* codeImage) {
    if (link.expertUpload) return true;
    FileVersion version;
    if (codeImage != nullptr) {
        version = versionOf(*codeImage);
    } else {
        ImageFile image(linkFieldText(link.codePath));
        if (image.isOpen == 0) return false;
        if (!image.checkContent(ContentCheck::FlashCode, false, link, ui)) return false;
        version = versionOf(image);
        image.close();
    }
    std::array<char, 200> text{};
    const bool older =
        version.known &&
        (version.major < link.firmwareMajor ||
         (version.major == link.firmwareMajor && version.minor < link.firmwareMinor));
    if (version.known) {
        std::snprintf(text.data(), text.size(),
                      "Unit currently contains firmware\nversion %d.%02d\n\nThis will "
                      "overwrite\nwith version %d.%02d%s",
                      static_cast<int>(link.firmwareMajor), static_cast<int>(link.firmwareMinor),
                      version.major, version.minor, older ? kOlderVersionNote : "");
    } else {
        std::snprintf(text.data(), text.size(),
                      "Unit currently contains firmware\nversion %d.%02d\n\nThis will "
                      "overwrite\nwith an UNKNOWN VERSION!",
                      static_cast<int>(link.firmwareMajor), static_cast<int>(link.firmwareMinor));
    }
    return ui.messageBox(text.data(), kConfirmTitle,
                         older ? MessageButtons::OkCancelDefaultCancel : MessageButtons::OkCancel,
                         MessageIcon::Question) == MessageAnswer::Ok;
}

}  // namespace zamel
