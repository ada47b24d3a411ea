#include "upload_file_dialog.h"

#include "ui.h"

namespace zamel {

void UploadFileDialog::onCancel() {
    answer_ = Answer::Cancel;
    endDialog(DialogResult::Cancel);
}

void UploadFileDialog::choose(const std::string& choice) {
    if (choice == kUploadFile) {
        answer_ = Answer::UploadFile;
    } else if (choice == kChangeFile) {
        answer_ = Answer::ChangeFile;
    } else {
        onCancel();
        return;
    }
    endDialog(DialogResult::Ok);
}

UploadFileDialog::Answer confirmUploadFile(Ui& ui, const std::string& fileName) {
    UploadFileDialog dialog(fileName);
    ui.runModal(dialog);
    return dialog.answer();
}

}  // namespace zamel
