#include "connect_view.h"

#include "connect_dialog.h"
#include "dialog_host.h"
#include "ui_connect_dialog.h"
#include "windows1252.h"

namespace zamel {

ConnectView::ConnectView(ConnectDialog& dialog, DialogHost& host)
    : DialogView(&host), dialog_(dialog), ui_(std::make_unique<::Ui::ConnectView>()) {
    ui_->setupUi(this);
    connect(ui_->cancelButton, &QPushButton::clicked, &host, &DialogHost::reject);
}

ConnectView::~ConnectView() = default;

void ConnectView::refresh() {
    ui_->portField->setText(fromWindows1252(dialog_.portText()));
    ui_->promptField->setText(fromWindows1252(dialog_.promptText()));
    ui_->deviceField->setText(QString::fromLocal8Bit(dialog_.deviceText()));
    const QString report = QString::fromLocal8Bit(dialog_.report());
    if (ui_->reportField->toPlainText() != report) ui_->reportField->setPlainText(report);
    ui_->reportField->setVisible(!report.isEmpty());
}

}  // namespace zamel
