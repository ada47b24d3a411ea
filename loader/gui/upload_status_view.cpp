#include "upload_status_view.h"

#include "dialog_host.h"
#include "ui_upload_status_dialog.h"
#include "windows1252.h"

namespace zamel {

UploadStatusView::UploadStatusView(UploadStatusFields fields, DialogHost& host)
    : DialogView(&host), host_(host), fields_(fields), ui_(std::make_unique<::Ui::UploadStatusView>()) {
    ui_->setupUi(this);
    connect(ui_->cancelButton, &QPushButton::clicked, &host, &DialogHost::reject);
}

UploadStatusView::~UploadStatusView() = default;

void UploadStatusView::refresh() {
    ui_->fileField->setText(fromWindows1252(fields_.fileText));
    ui_->statusField->setText(fromWindows1252(fields_.statusText));
    ui_->progressBar->setValue(fields_.progress);
    ui_->percentField->setText(fromWindows1252(fields_.percentText));
    const std::string notice = host_.controller().report();
    ui_->noticeLabel->setText(fromWindows1252(notice));
    ui_->noticeLabel->setVisible(!notice.empty());
}

}  // namespace zamel
