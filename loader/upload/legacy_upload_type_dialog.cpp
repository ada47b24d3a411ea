#include "legacy_upload_type_dialog.h"

#include "file_filters.h"
#include "link_field_text.h"
#include "receiver_link.h"
#include "ui.h"

namespace zamel {

namespace {
constexpr const char* kPromptTitle = "MAP415/420 UPLOAD";
}  // namespace

void LegacyUploadTypeDialog::onCancel() {
    uploadType_ = kLegacyNothing;
    endDialog(DialogResult::Cancel);
}

void LegacyUploadTypeDialog::choose(const std::string& choice) {
    if (choice == kProgramCode) {
        if (chooseCode()) return standBy(kLegacyCode);
    } else if (choice == kDatabase) {
        chooseDatabase();
        return standBy(kLegacyDatabase);
    } else if (choice == kProgramCodeAndDatabase) {
        chooseCode();
        chooseDatabase();
        return standBy(kLegacyCodeAndDatabase);
    }
    onCancel();
}

bool LegacyUploadTypeDialog::chooseCode() {
    if (link_.codePath[0] == '\0') {
        ui_.messageBox("Select code file", kPromptTitle, MessageButtons::Ok,
                       MessageIcon::Information);
        const auto file = ui_.openFile("Select code file", "bin", kBinaryFileFilter, "");
        if (!file) return false;
        setLinkField(link_.codePath, *file);
    }
    link_.codeSelected = true;
    return true;
}

void LegacyUploadTypeDialog::chooseDatabase() {
    if (link_.dataPath[0] == '\0') {
        ui_.messageBox("Select data file", kPromptTitle, MessageButtons::Ok,
                       MessageIcon::Information);
        if (const auto file = ui_.openFile("Select data file", "bin", kBinaryFileFilter, ""))
            setLinkField(link_.dataPath, *file);
    }
    link_.dataSelected = true;
}

void LegacyUploadTypeDialog::standBy(LegacyUploadType type) {
    uploadType_ = type;
    endDialog(DialogResult::Ok);
}

LegacyUploadType askLegacyUploadType(ReceiverLink& link, Ui& ui) {
    LegacyUploadTypeDialog dialog(link, ui);
    ui.runModal(dialog);
    return dialog.uploadType();
}

}  // namespace zamel
