#include "upload_file_view.h"

#include <QFile>

#include "dialog_host.h"
#include "keyboard_access.h"
#include "ui_upload_file_dialog.h"
#include "upload_file_dialog.h"

namespace zamel {

UploadFileView::UploadFileView(UploadFileDialog& dialog, DialogHost& host)
    : DialogView(&host), dialog_(dialog), ui_(std::make_unique<::Ui::UploadFileView>()) {
    ui_->setupUi(this);
    ui_->uploadFileButton->setText(buttonCaption(UploadFileDialog::kUploadFile));
    ui_->changeFileButton->setText(buttonCaption(UploadFileDialog::kChangeFile));
    ui_->cancelButton->setText(buttonCaption(UploadFileDialog::kCancel));
    connect(ui_->uploadFileButton, &QRadioButton::clicked, &host, [this, &host] {
        host.handle([this] { dialog_.choose(UploadFileDialog::kUploadFile); });
    });
    connect(ui_->changeFileButton, &QRadioButton::clicked, &host, [this, &host] {
        host.handle([this] { dialog_.choose(UploadFileDialog::kChangeFile); });
    });
    connect(ui_->cancelButton, &QPushButton::clicked, &host, &DialogHost::reject);
}

UploadFileView::~UploadFileView() = default;

// The name is a path as the file system spells it, not a text of the loader's.
void UploadFileView::refresh() { ui_->fileNameField->setText(QFile::decodeName(dialog_.fileName().c_str())); }

QAbstractButton* UploadFileView::enterButton() const { return ui_->uploadFileButton; }

}  // namespace zamel
