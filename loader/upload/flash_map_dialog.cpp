#include "flash_map_dialog.h"

#include "firmware_confirmation.h"
#include "flash_upload_type_dialog.h"
#include "package_state.h"
#include "receiver_link.h"
#include "ui.h"

namespace zamel {

FlashMapDialog::FlashMapDialog(ReceiverLink& link, Ui& ui, Clock& clock, PackageState& package)
    : FlashUploadDialog(FlashVariant::Map, link, ui, clock, package) {
    prepare();
    if (!ready) link_.autoMode = false;
}

void FlashMapDialog::prepare() {
    if (link_.autoMode && link_.autoFirstPass && package_.packageMissing) {
        ui_.messageBox("Error reading ZAMEL.INI file", "ERROR", MessageButtons::Ok,
                       MessageIcon::Information);
        return;
    }
    if (package_.receiverMapName[0] == '\0') readMapHeader(link_, package_);
    if (!package_.packageMissing && !link_.expertUpload && link_.dataSelected &&
        !mapPackageMatches(package_)) {
        ui_.messageBox("Incorrect upload package for unit", "ERROR", MessageButtons::Ok,
                       MessageIcon::Stop);
        ui_.quit();
        return;
    }
    if (link_.dataSelected) {
        uploadType = kBaseMap;
    } else if (link_.codeSelected) {
        uploadType = kProgramCode;
    } else {
        uploadType = askFlashUploadType(FlashVariant::Map, link_, ui_);
    }
    if (uploadType == cancelledUpload(variant_)) return;
    if (!link_.autoMode) {
        if (!confirmChosenFile()) return;
    } else if (uploadType == kCodeAndBaseMap) {
        // The automatic upload skips the file confirmation, which is where the
        // combined choice becomes code with the base map pending after it.
        uploadType = kProgramCode;
    }
    openChosenFile();
    if (ready && uploadType == kProgramCode && !link_.autoMode)
        ready = confirmFirmwareVersion(link_, ui_, image.get());
    if (ready) startTransfer();
}

FlashMapDialog::~FlashMapDialog() {
    release();
    if (!link_.autoMode) return;
    if (link_.autoFirstPass) {
        link_.dataSelected = false;
    } else {
        link_.codeSelected = false;
        link_.autoMode = false;
        link_.autoFirstPass = true;
    }
}

}  // namespace zamel
