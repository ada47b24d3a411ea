#include "upload_confirm_view.h"

#include "dialog_host.h"
#include "keyboard_access.h"
#include "ui_upload_confirm_dialog.h"
#include "upload_confirm_dialog.h"
#include "windows1252.h"

namespace zamel {

UploadConfirmView::UploadConfirmView(UploadConfirmDialog& dialog, DialogHost& host)
    : DialogView(&host), dialog_(dialog), ui_(std::make_unique<::Ui::UploadConfirmView>()) {
    ui_->setupUi(this);
    ui_->questionLabel->setText(fromWindows1252(UploadConfirmDialog::kQuestion));
    ui_->yesButton->setText(buttonCaption(UploadConfirmDialog::kYes));
    ui_->noButton->setText(buttonCaption(UploadConfirmDialog::kNo));
    connect(ui_->yesButton, &QPushButton::clicked, &host,
            [this, &host] { host.handle([this] { dialog_.choose(UploadConfirmDialog::kYes); }); });
    connect(ui_->noButton, &QPushButton::clicked, &host,
            [this, &host] { host.handle([this] { dialog_.choose(UploadConfirmDialog::kNo); }); });
}

UploadConfirmView::~UploadConfirmView() = default;

void UploadConfirmView::refresh() { ui_->lineLabel->setText(fromWindows1252(dialog_.line())); }

}  // namespace zamel
