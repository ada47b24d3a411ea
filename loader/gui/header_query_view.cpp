#include "header_query_view.h"

#include "dialog_host.h"
#include "header_query_dialog.h"
#include "ui_header_query_dialog.h"
#include "windows1252.h"

namespace zamel {

HeaderQueryView::HeaderQueryView(HeaderQueryDialog& dialog, DialogHost& host)
    : DialogView(&host), dialog_(dialog), ui_(std::make_unique<::Ui::HeaderQueryView>()) {
    ui_->setupUi(this);
    ui_->elapsedLabel->setText(fromWindows1252(dialog_.elapsedLabel()));
    connect(ui_->cancelButton, &QPushButton::clicked, &host, &DialogHost::reject);
}

HeaderQueryView::~HeaderQueryView() = default;

void HeaderQueryView::refresh() {
    ui_->connectionField->setText(fromWindows1252(dialog_.connectionText()));
    ui_->elapsedField->setText(fromWindows1252(dialog_.elapsedText()));
}

}  // namespace zamel
