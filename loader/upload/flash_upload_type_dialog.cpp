#include "flash_upload_type_dialog.h"

#include "file_filters.h"
#include "link_field_text.h"
#include "receiver_link.h"
#include "ui.h"

namespace zamel {

FlashUploadTypeDialog::FlashUploadTypeDialog(FlashVariant variant, ReceiverLink& link, Ui& ui)
    : variant_(variant), link_(link), ui_(ui), uploadType_(cancelledUpload(variant)) {}

void FlashUploadTypeDialog::onCancel() {
    uploadType_ = cancelledUpload(variant_);
    endDialog(DialogResult::Cancel);
}

std::vector<std::string> FlashUploadTypeDialog::choices() const {
    if (variant_ == FlashVariant::Map)
        return {kProgramCodeOnly, kBaseMapOnly, kProgramCodeAndBaseMap, kDetailMapOnly, kCancel};
    return {kProgramCodeOnly, kBaseMapOnly, kProgramDetailMapOnly, kCancel};
}

void FlashUploadTypeDialog::choose(const std::string& choice) {
    if (choice == kProgramCodeOnly) {
        if (chooseCode()) return standBy(kProgramCode);
    } else if (choice == kBaseMapOnly) {
        chooseBaseMap();
        return standBy(kBaseMap);
    } else if (choice == kProgramCodeAndBaseMap && variant_ == FlashVariant::Map) {
        chooseCode();
        chooseBaseMap();
        return standBy(kCodeAndBaseMap);
    } else if ((choice == kDetailMapOnly && variant_ == FlashVariant::Map) ||
               (choice == kProgramDetailMapOnly && variant_ == FlashVariant::Plain)) {
        if (chooseDetailMap()) return standBy(kDetailMap);
    }
    onCancel();
}

bool FlashUploadTypeDialog::chooseCode() {
    if (link_.codePath[0] == '\0') {
        const auto file = ui_.openFile("Select code file", "hex", kCodeFileFilter, "");
        if (!file) return false;
        setLinkField(link_.codePath, *file);
    }
    link_.codeSelected = true;
    return true;
}

// The base map stands even when its file dialog is cancelled: the empty path then
// fails when the file is opened.
void FlashUploadTypeDialog::chooseBaseMap() {
    if (link_.dataPath[0] == '\0') {
        if (const auto file = ui_.openFile("Select base map file", "img", kBinaryFileFilter, ""))
            setLinkField(link_.dataPath, *file);
    }
    link_.dataSelected = true;
}

bool FlashUploadTypeDialog::chooseDetailMap() {
    if (link_.dataPath[0] == '\0') {
        const auto file = ui_.openFile("Select detail map file", "img", kBinaryFileFilter, "");
        if (!file) return false;
        setLinkField(link_.dataPath, *file);
    }
    link_.dataSelected = true;
    return true;
}

void FlashUploadTypeDialog::standBy(FlashUploadType type) {
    uploadType_ = type;
    endDialog(DialogResult::Ok);
}

FlashUploadType askFlashUploadType(FlashVariant variant, ReceiverLink& link, Ui& ui) {
    FlashUploadTypeDialog dialog(variant, link, ui);
    ui.runModal(dialog);
    return dialog.uploadType();
}

}  // namespace zamel
