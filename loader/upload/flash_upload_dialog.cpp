#include "flash_upload_dialog.h"

#include <algorithm>
#include <cstdio>

#include "clock.h"
#include "file_filters.h"
#include "flash_engine_plan.h"
#include "image_integrity.h"
#include "link_field_text.h"
#include "package_state.h"
#include "protocol_probe_dialog.h"
#include "receiver_link.h"
#include "ui.h"
#include "upload_file_dialog.h"

namespace zamel {

namespace {

const char* uploadCommand(FlashUploadType type) {
    if (type == kBaseMap) return "CMD,MPUPLOAD,1";
    if (type == kDetailMap) return "CMD,MPUPLOAD,2";
    return "CMD,DBUPLOAD";
}

const char* fileTextFormat(FlashUploadType type) {
    if (type == kBaseMap) return "Uploading base map file - %s";
    if (type == kDetailMap) return "Uploading detail map file - %s";
    return "Uploading code file -  %s";
}

void showError(Ui& ui, const char* text, MessageIcon icon = MessageIcon::Information) {
    ui.messageBox(text, "ERROR", MessageButtons::Ok, icon);
}

}  // namespace

FlashUploadDialog::FlashUploadDialog(FlashVariant variant, ReceiverLink& link, Ui& ui,
                                     Clock& clock, PackageState& package)
    : savedBaud(link.baud),
      variant_(variant),
      link_(link),
      ui_(ui),
      clock_(clock),
      package_(package) {}

FlashUploadDialog::~FlashUploadDialog() { release(); }

void FlashUploadDialog::release() {
    if (image) image->close();
    image.reset();
    if (engine) engine->closeLog();
    engine.reset();
    link_.close();
}

const char* FlashUploadDialog::chosenPath() const {
    return uploadType == kProgramCode || uploadType == kCodeAndBaseMap ? link_.codePath
                                                                       : link_.dataPath;
}

bool FlashUploadDialog::confirmChosenFile() {
    const bool code = uploadType == kProgramCode || uploadType == kCodeAndBaseMap;
    switch (confirmUploadFile(ui_, chosenPath())) {
        case UploadFileDialog::Answer::UploadFile:
            break;
        case UploadFileDialog::Answer::ChangeFile: {
            const auto file =
                code ? ui_.openFile("Select code file", "hex", kCodeFileFilter, "")
                     : ui_.openFile(uploadType == kBaseMap ? "Select base map file"
                                                           : "Select detail map file",
                                    "img", kBinaryFileFilter, "");
            if (!file) {
                uploadType = cancelledUpload(variant_);
                return false;
            }
            if (code) {
                setLinkField(link_.codePath, *file);
            } else {
                setLinkField(link_.dataPath, *file);
            }
            break;
        }
        case UploadFileDialog::Answer::Cancel:
            uploadType = cancelledUpload(variant_);
            link_.codeSelected = false;
            link_.dataSelected = false;
            return false;
    }
    // The base map of a combined choice follows later, as a pending data upload.
    if (uploadType == kCodeAndBaseMap) uploadType = kProgramCode;
    return true;
}

void FlashUploadDialog::openChosenFile() {
    const bool code = uploadType == kProgramCode;
    image = std::make_unique<ImageFile>(chosenPath());
    if (!image->isOpen) {
        showError(ui_, code ? "Error reading code file" : "Error reading map file");
        ready = false;
        return;
    }
    const auto dataBytes = checkImageIntegrity(*image, ui_);
    if (!dataBytes) {
        ready = false;
        return;
    }
    imageTotal = *dataBytes;
    ready = link_.expertUpload ||
            image->checkContent(code ? ContentCheck::FlashCode : ContentCheck::FlashMap, false,
                                link_, ui_);
}

void FlashUploadDialog::startTransfer() {
    if (!link_.expertUpload) {
        const char* command = uploadCommand(uploadType);
        link_.sendCommand(command);
        link_.sendCommand(command);
        link_.settle();
    }
    savedBaud = link_.baud;
    ProtocolProbeDialog probe(link_, clock_);
    if (ui_.runModal(probe) != DialogResult::Ok || !link_.portOpen) {
        link_.ensureOpen(link_.comIndex, savedBaud, true);
        ready = false;
        return;
    }
    const FlashEnginePlan plan = flashEnginePlan(uploadType, variant_, *image);
    engine = std::make_unique<FlashLoader>(*image, *link_.port, plan.recordMode, plan.baseAddress,
                                           plan.eraseEnd, plan.verifyEcho, link_, clock_);
    char text[320];
    std::snprintf(text, sizeof text, fileTextFormat(uploadType), chosenPath());
    fileText = text;
    engine->statusText(statusText);
}

void FlashUploadDialog::onInit() {
    if (!ready) return;
    progress = 0;
    percentText = "0%";
    startTimer(kTimerId, kTimerPeriodMs);
}

void FlashUploadDialog::onTimer(int timerId) {
    if (timerId != kTimerId || !engine || ended()) return;
    advance();
}

int FlashUploadDialog::waitDescriptor() const {
    if (!engine || ended() || !link_.portDevice) return -1;
    // An engine that has stopped reads nothing: waking it would only spin.
    if (engine->state == FlashLoaderState::NoPort || engine->state == FlashLoaderState::InvalidFlash)
        return -1;
    return link_.portDevice->descriptor();
}

void FlashUploadDialog::onReadable() {
    if (engine && !ended()) advance();
}

// A hung-up port never brings the receiver's answer: the upload stops there rather
// than wait for time-outs that cannot help, and it is not reported complete.
bool FlashUploadDialog::connectionLost() {
    if (!link_.portDevice || !link_.portDevice->hungUp()) return false;
    stopTimer(kTimerId);
    statusText = kConnectionLostStatus;
    ui_.messageBox(kConnectionLostText, "ERROR", MessageButtons::Ok, MessageIcon::Stop);
    link_.autoMode = false;
    endDialog(DialogResult::Cancel);
    return true;
}

void FlashUploadDialog::advance() {
    if (connectionLost()) return;
    // AllDone starts the protocol over on the next step: the dialog stops there.
    while (engine->step() && engine->state != FlashLoaderState::AllDone) {
    }
    if (engine->state == FlashLoaderState::FileDone && !endSent_) {
        sentTotal_ = engine->bytesSent;
        engine->sendEnd();
        endSent_ = true;
        endSentMs_ = clock_.tickMs();
    }
    engine->statusText(statusText);
    showPercentage();
    if (!endSent_) return;
    if (engine->state == FlashLoaderState::AllDone) {
        finishTransfer();
    } else if (clock_.tickMs() - endSentMs_ > kEndAcknowledgeLimitMs) {
        stopTimer(kTimerId);
        showError(ui_,
                  "The receiver did not confirm the end of the upload.\n"
                  "The upload may be incomplete: upload the file again.",
                  MessageIcon::Stop);
        endDialog(DialogResult::Cancel);
    }
}

void FlashUploadDialog::finishTransfer() {
    stopTimer(kTimerId);
    if (engine->recordMode) {
        char text[96];
        if (engine->unitSize != sentTotal_) {
            std::snprintf(text, sizeof text, "Sent %ld bytes\nUnit received %ld",
                          static_cast<long>(sentTotal_), static_cast<long>(engine->unitSize));
            ui_.messageBox(text, "SIZE ERROR", MessageButtons::Ok, MessageIcon::Stop);
            endDialog(DialogResult::Cancel);
            return;
        }
        if (engine->unitChecksum != 0) {
            std::snprintf(text, sizeof text, "Non-zero checksum %04x", engine->unitChecksum);
            ui_.messageBox(text, "CHECKSUM ERROR", MessageButtons::Ok, MessageIcon::Stop);
            endDialog(DialogResult::Cancel);
            return;
        }
    }
    endDialog(DialogResult::Ok);
}

// The bar reaches 100 % when the last byte has gone; a padding byte never takes it past.
void FlashUploadDialog::showPercentage() {
    const double share =
        imageTotal == 0 ? 0.0
                        : static_cast<double>(engine->bytesSent) / static_cast<double>(imageTotal);
    progress = std::min(100, static_cast<int>(share * 100.0 + 0.5));
    char text[16];
    std::snprintf(text, sizeof text, "%d%%", progress);
    percentText = text;
}

void FlashUploadDialog::onCancel() {
    if (ended()) return;
    if (ui_.messageBox(kStopQuestion, "WARNING", MessageButtons::OkCancel, MessageIcon::Warning) !=
        MessageAnswer::Ok)
        return;
    stopTimer(kTimerId);
    link_.autoMode = false;
    endDialog(DialogResult::Cancel);
}

}  // namespace zamel
