#include "flash_plain_dialog.h"

#include <cstdio>

#include "firmware_confirmation.h"
#include "flash_upload_type_dialog.h"
#include "package_state.h"
#include "receiver_link.h"
#include "ui.h"

namespace zamel {

namespace {
// The package of the mapping model that shares this model's product code.
constexpr std::int32_t kMappingTwinUnitType = 7;
}  // namespace

FlashPlainDialog::FlashPlainDialog(ReceiverLink& link, Ui& ui, Clock& clock, PackageState& package)
    : FlashUploadDialog(FlashVariant::Plain, link, ui, clock, package) {
    prepare();
    if (!ready) link_.autoMode = false;
}

void FlashPlainDialog::prepare() {
    if (link_.autoMode && package_.packageMissing) {
        ui_.messageBox("Error reading ZAMEL.INI file", "ERROR", MessageButtons::Ok,
                       MessageIcon::Information);
        return;
    }
    if (link_.autoMode && package_.packageUnitType == kMappingTwinUnitType) {
        ui_.messageBox("Incorrect upload package for unit", "ERROR", MessageButtons::Ok,
                       MessageIcon::Stop);
        return;
    }
    if (package_.receiverMapName[0] == '\0') readMapHeader(link_, package_);
    if (link_.codeSelected) {
        uploadType = kProgramCode;
    } else if (link_.dataSelected) {
        uploadType = kBaseMap;
    } else {
        uploadType = askFlashUploadType(FlashVariant::Plain, link_, ui_);
    }
    if (uploadType == cancelledUpload(variant_)) return;
    if (!link_.autoMode && !confirmChosenFile()) return;
    openChosenFile();
    if (ready && uploadType == kBaseMap) ready = baseMapFits();
    if (ready && uploadType == kProgramCode && !link_.autoMode)
        ready = confirmFirmwareVersion(link_, ui_, image.get());
    if (ready) startTransfer();
}

bool FlashPlainDialog::baseMapFits() {
    if (image->imageSize <= kBaseMapLimit) return true;
    char text[96];
    std::snprintf(text, sizeof text, "File size of %d exceeds space limit of %d",
                  static_cast<int>(image->imageSize), static_cast<int>(kBaseMapLimit));
    ui_.messageBox(text, "ERROR", MessageButtons::Ok, MessageIcon::Information);
    return false;
}

FlashPlainDialog::~FlashPlainDialog() {
    release();
    if (!link_.autoMode) return;
    link_.dataSelected = false;
    link_.codeSelected = false;
    link_.autoMode = false;
    link_.autoFirstPass = true;
}

}  // namespace zamel
