#include "legacy_upload_dialog.h"

#include <cstdio>

#include "database_region.h"
#include "file_filters.h"
#include "link_field_text.h"
#include "package_state.h"
#include "protocol_probe_dialog.h"
#include "receiver_link.h"
#include "ui.h"
#include "upload_file_dialog.h"
#include "upload_preflight.h"

namespace zamel {

namespace {

constexpr const char* kCodeFileText = "Uploading code file -  %s";
// Before the transfer the database line has two blanks, once it follows the code one.
constexpr const char* kDatabaseFileText = "Uploading database file -  %s";
constexpr const char* kFollowingDatabaseFileText = "Uploading database file - %s";
constexpr const char* kBootBlockText = "Uploading boot block";
constexpr std::int32_t kFirstFirmwareWithoutBootReload = 3;
constexpr const char* kBootBlockNeeded =
    " This receiver's firmware needs its boot block reloaded from the code file.";

void showError(Ui& ui, const char* text, MessageIcon icon = MessageIcon::Information) {
    ui.messageBox(text, "ERROR", MessageButtons::Ok, icon);
}

}  // namespace

LegacyUploadDialog::LegacyUploadDialog(ReceiverLink& link, Ui& ui, Clock& clock,
                                       const PackageState& package,
                                       const LegacyPhaseSource* phaseSource)
    : TransferDialog(link, ui, clock),
      savedBaud(link.baud),
      package_(package),
      phaseSource_(phaseSource) {
    prepare();
}

LegacyUploadDialog::~LegacyUploadDialog() {
    if (databaseImage) databaseImage->close();
    databaseImage.reset();
    if (codeImage) codeImage->close();
    codeImage.reset();
    if (loader) loader->closeLog();
    loader.reset();
    link_.close();
    link_.codeSelected = false;
    link_.dataSelected = false;
    link_.autoMode = false;
}

bool LegacyUploadDialog::bootBlockPass() const { return link_.reloadBootBlock; }

void LegacyUploadDialog::prepare() {
    if (bootBlockPass()) {
        phase = kBootBlockPhase;
        uploadType = kLegacyCode;
        link_.dataSelected = false;
        link_.codeSelected = true;
    } else {
        link_.databaseRegion = databaseRegion(link_.poiHeader);
    }
    if (link_.autoMode) {
        uploadType = kLegacyCodeAndDatabase;
        includeDatabase = true;
        if (!package_.packageMissing && !link_.expertUpload && link_.dataSelected &&
            !packageSuits())
            return;
    } else if (!bootBlockPass()) {
        chooseUploadType();
    }
    if (uploadType != kLegacyNothing) {
        if (link_.autoMode || bootBlockPass()) {
            link_.codeSelected = true;
            link_.dataSelected = true;
        } else if (confirmFile(uploadType != kLegacyDatabase) &&
                   uploadType == kLegacyCodeAndDatabase) {
            confirmFile(false);
        }
    }
    if (uploadType == kLegacyDatabase && link_.dataSelected) {
        includeDatabase = true;
        phase = kDatabasePhase;
    } else if (!bootBlockPass()) {
        if (!decideDatabase()) return;
    }
    if (uploadType == kLegacyNothing) return;
    openImages();
    if (ready && imagesIntact()) startTransfer();
}

bool LegacyUploadDialog::packageSuits() {
    if (packageDatabaseSuits(link_.dataPath, link_.databaseRegion)) return true;
    showError(ui_, "Incorrect upload package for unit", MessageIcon::Stop);
    ui_.quit();
    return false;
}

void LegacyUploadDialog::chooseUploadType() {
    if (link_.codeSelected) {
        uploadType = kLegacyCode;
    } else if (link_.dataSelected) {
        uploadType = kLegacyDatabase;
    } else {
        uploadType = askLegacyUploadType(link_, ui_);
        includeDatabase = uploadType == kLegacyDatabase || uploadType == kLegacyCodeAndDatabase;
    }
}

bool LegacyUploadDialog::confirmFile(bool code) {
    switch (confirmUploadFile(ui_, code ? link_.codePath : link_.dataPath)) {
        case UploadFileDialog::Answer::UploadFile:
            return true;
        case UploadFileDialog::Answer::ChangeFile: {
            const auto file = ui_.openFile(code ? "Select code file" : "Select data file", "bin",
                                           kBinaryFileFilter, "");
            if (!file) {
                uploadType = kLegacyNothing;
                return false;
            }
            if (code) {
                setLinkField(link_.codePath, *file);
            } else {
                setLinkField(link_.dataPath, *file);
            }
            return true;
        }
        case UploadFileDialog::Answer::Cancel:
            break;
    }
    uploadType = kLegacyNothing;
    link_.codeSelected = false;
    link_.dataSelected = false;
    return false;
}

// Older firmware needs its boot block reloaded after new code, and the database
// goes along with the code: the one the receiver holds, by its region. Runs even
// when nothing is to be uploaded, so the reload still follows.
bool LegacyUploadDialog::decideDatabase() {
    if (link_.firmwareMajor < kFirstFirmwareWithoutBootReload) {
        bootReloadNeeded = true;
        switch (link_.databaseRegion) {
            case kNoDatabaseInformation:
                // A database the user chose would silently stay behind while the
                // upload is reported complete: refuse the pass instead.
                if (uploadType == kLegacyCodeAndDatabase && link_.dataPath[0] != '\0') {
                    showError(ui_, kNoDatabaseInformationText, MessageIcon::Stop);
                    fileRefused = true;
                    return false;
                }
                includeDatabase = false;
                break;
            case kCustomDatabase: {
                // Losing the user's own database is never the default.
                if (ui_.messageBox(kCustomDatabaseQuestion, "Database",
                                   MessageButtons::OkCancelDefaultCancel,
                                   MessageIcon::Warning) != MessageAnswer::Ok)
                    return false;
                const auto file = ui_.openFile("Select data file", "bin", kBinaryFileFilter,
                                               defaultDatabaseName(kWorldwide));
                includeDatabase = file.has_value();
                if (file) setLinkField(link_.dataPath, *file);
                break;
            }
            default:
                includeDatabase = true;
                break;
        }
    }
    if (includeDatabase && link_.dataPath[0] == '\0') {
        const char* name = defaultDatabaseName(link_.databaseRegion);
        if (name != nullptr) {
            setLinkField(link_.dataPath, name);
        } else {
            includeDatabase = false;
        }
    }
    return true;
}

void LegacyUploadDialog::openImages() {
    if (uploadType != kLegacyDatabase) {
        phase = bootBlockPass() ? kBootBlockPhase : kCodePhase;
        codeImage = std::make_unique<ImageFile>(link_.codePath);
        ready = codeImage->isOpen != 0;
        if (!ready) showError(ui_, "Error reading code file");
    }
    // With both files the database decides; the content check catches the code file.
    if (includeDatabase &&
        (uploadType == kLegacyDatabase || uploadType == kLegacyCodeAndDatabase || ready)) {
        databaseImage = std::make_unique<ImageFile>(link_.dataPath);
        ready = databaseImage->isOpen != 0;
        if (!ready) showError(ui_, "Error reading database file");
    }
}

bool LegacyUploadDialog::imagesIntact() {
    if (codeImage && codeImage->isOpen) {
        ready = checkFile(
            *codeImage,
            bootBlockPass() ? bootBlockWindow() : uploadWindow(UploadFileRole::LegacyCode),
            "Error reading code file", codeSegment_);
        // The code pass erases the boot block with the rest of the code region, and
        // only the code file can give it back: code without it would leave the unit
        // unable to start.
        if (ready && bootReloadNeeded && !bootBlockPass()) ready = codeHoldsBootBlock();
    }
    if (ready && includeDatabase && databaseImage) {
        ready = checkFile(*databaseImage, uploadWindow(UploadFileRole::LegacyDatabase),
                          "Error reading database file", databaseSegment_);
    }
    return ready;
}

// The boot block begins at its first byte: code with data only further up leaves
// the unit without the start of it.
bool LegacyUploadDialog::codeHoldsBootBlock() {
    const char* missing = nullptr;
    if (!codeSegment_->holdsAny(kBootBlockAddress, kCodeEnd)) {
        missing = "It holds no data from 0x00070000 to 0x0009FFFF.";
    } else if (!codeSegment_->holdsAny(kBootBlockAddress, kBootBlockAddress)) {
        missing = "It holds no data at 0x00070000, where the boot block begins.";
    }
    if (missing == nullptr) return true;
    showPreflightRefusal(ui_, "Error reading code file", codeImage->path,
                         std::string(missing) + kBootBlockNeeded);
    fileRefused = true;
    return false;
}

bool LegacyUploadDialog::checkFile(ImageFile& image, const SegmentWindow& window,
                                   const char* firstLine, std::optional<TransferSegment>& segment,
                                   const char* why) {
    PreflightResult checked = preflightImage(image, window);
    if (!checked.ok) {
        showPreflightRefusal(ui_, firstLine, image.path, checked.reason + why);
        fileRefused = true;
        return false;
    }
    segment = std::move(checked.segment);
    return true;
}

void LegacyUploadDialog::startTransfer() {
    receiverSwitched = true;
    if (!link_.expertUpload && !bootBlockPass()) {
        link_.sendCommand("CMD,DBUPLOAD");
        link_.sendCommand("CMD,DBUPLOAD");
        link_.settle();
    }
    ProtocolProbeDialog probe(link_, clock_);
    if (ui_.runModal(probe) != DialogResult::Ok || !link_.portOpen) {
        link_.ensureOpen(link_.comIndex, savedBaud, true);
        ready = false;
        return;
    }
    if (!contentSuits()) return;

    TransferPlan segments;
    if (codeSegment_ && uploadType != kLegacyDatabase) {
        codeBytes_ = codeSegment_->data.size();
        segments.push_back(std::move(*codeSegment_));
    }
    if (databaseSegment_ && includeDatabase && !bootBlockPass()) {
        databaseBytes_ = databaseSegment_->data.size();
        segments.push_back(std::move(*databaseSegment_));
    }
    const std::uint32_t eraseEnd = includeDatabase && !bootBlockPass() ? kDatabaseEnd : kCodeEnd;
    loader = std::make_unique<FlashLoader>(std::move(segments), *link_.port, false, eraseEnd, true,
                                           link_, clock_, phaseSource_);
    loader->statusText(statusLine);
    if (uploadType == kLegacyDatabase) {
        showFile(kDatabaseFileText, link_.dataPath);
        fileSize = static_cast<std::int32_t>(databaseBytes_);
    } else if (bootBlockPass()) {
        currentFileText = kBootBlockText;
        fileSize = static_cast<std::int32_t>(codeBytes_);
    } else {
        showFile(kCodeFileText, link_.codePath);
        fileSize = static_cast<std::int32_t>(codeBytes_);
    }
}

// Asked once the receiver waits in its boot loader.
bool LegacyUploadDialog::contentSuits() {
    if (uploadType != kLegacyDatabase) {
        ready = codeImage->checkContent(ContentCheck::LegacyCode, false, link_, ui_);
        if (!ready) showError(ui_, "Error reading code file");
    }
    if (includeDatabase && ready) {
        ready = databaseImage->checkContent(ContentCheck::LegacyDatabase, false, link_, ui_);
        if (!ready) showError(ui_, "Error reading database file");
    }
    return ready;
}

void LegacyUploadDialog::showFile(const char* format, const char* path) {
    char text[320];
    std::snprintf(text, sizeof text, format, path);
    currentFileText = text;
}

bool LegacyUploadDialog::startNextFile() {
    if (phase == kCodePhase && includeDatabase) {
        loader->startNextSegment();
        showFile(kFollowingDatabaseFileText, link_.dataPath);
        phase = kDatabasePhase;
        fileSize = static_cast<std::int32_t>(databaseBytes_);
        return true;
    }
    phase = kFinishedPhase;
    return false;
}

// A unit that starts over, or asks again for the code's last record, while the
// database goes takes the engine back into the code: the dialog follows it.
void LegacyUploadDialog::followEngine() {
    if (phase != kDatabasePhase || uploadType == kLegacyDatabase || loader->segmentIndex() != 0)
        return;
    phase = kCodePhase;
    showFile(kCodeFileText, link_.codePath);
    fileSize = static_cast<std::int32_t>(codeBytes_);
}

std::uint64_t LegacyUploadDialog::fileTotal() const {
    return fileSize > 0 ? static_cast<std::uint64_t>(fileSize) : 0;
}

void LegacyUploadDialog::showPercentage(int percent) {
    progress = percent;
    char text[16];
    std::snprintf(text, sizeof text, "%d%%", progress);
    percentText = text;
}

}  // namespace zamel
