#include "flash_upload_dialog.h"

#include <cstdio>

#include "file_filters.h"
#include "flash_engine_plan.h"
#include "link_field_text.h"
#include "package_state.h"
#include "protocol_probe_dialog.h"
#include "receiver_link.h"
#include "ui.h"
#include "upload_file_dialog.h"
#include "upload_preflight.h"

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

}  // namespace

FlashUploadDialog::FlashUploadDialog(FlashVariant variant, ReceiverLink& link, Ui& ui, Clock& clock,
                                     PackageState& package)
    : TransferDialog(link, ui, clock), savedBaud(link.baud), variant_(variant), package_(package) {}

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
            const auto file = code ? ui_.openFile("Select code file", "hex", kCodeFileFilter, "")
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
    PreflightResult checked =
        preflightImage(*image, uploadWindow(code                     ? UploadFileRole::FlashCode
                                            : uploadType == kBaseMap ? UploadFileRole::BaseMap
                                                                     : UploadFileRole::DetailMap));
    if (!checked.ok) {
        showPreflightRefusal(ui_, code ? "Error reading code file" : "Error reading map file",
                             chosenPath(), checked.reason);
        ready = false;
        return;
    }
    imageTotal = checked.dataBytes;
    checkedFile_ = std::move(checked.segment);
    ready = link_.expertUpload ||
            image->checkContent(code ? ContentCheck::FlashCode : ContentCheck::FlashMap, false,
                                link_, ui_);
}

void FlashUploadDialog::startTransfer() {
    receiverSwitched = true;
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
    TransferPlan segments;
    segments.push_back(std::move(*checkedFile_));
    checkedFile_.reset();
    engine = std::make_unique<FlashLoader>(std::move(segments), *link_.port, plan.recordMode,
                                           plan.eraseEnd, plan.verifyEcho, link_, clock_);
    char text[320];
    std::snprintf(text, sizeof text, fileTextFormat(uploadType), chosenPath());
    fileText = text;
    engine->statusText(statusText);
}

void FlashUploadDialog::showPercentage(int percent) {
    progress = percent;
    char text[16];
    std::snprintf(text, sizeof text, "%d%%", progress);
    percentText = text;
}

}  // namespace zamel
