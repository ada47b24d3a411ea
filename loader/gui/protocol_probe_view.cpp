#include "protocol_probe_view.h"

#include "dialog_host.h"
#include "protocol_probe_dialog.h"
#include "ui_protocol_probe_dialog.h"
#include "windows1252.h"

namespace zamel {

ProtocolProbeView::ProtocolProbeView(ProtocolProbeDialog& dialog, DialogHost& host)
    : DialogView(&host), dialog_(dialog), ui_(std::make_unique<::Ui::ProtocolProbeView>()) {
    ui_->setupUi(this);
    ui_->instructionLabel->setText(fromWindows1252(ProtocolProbeDialog::kInstruction));
    ui_->elapsedLabel->setText(fromWindows1252(ProtocolProbeDialog::kElapsedLabel));
    connect(ui_->cancelButton, &QPushButton::clicked, &host, &DialogHost::reject);
}

ProtocolProbeView::~ProtocolProbeView() = default;

void ProtocolProbeView::refresh() {
    ui_->connectionField->setText(fromWindows1252(dialog_.connectionText()));
    ui_->elapsedField->setText(fromWindows1252(dialog_.elapsedText()));
}

}  // namespace zamel
