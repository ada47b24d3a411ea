#include "loader_app.h"

#include <cstdio>

#include "expert_setup_dialog.h"
#include "file_filters.h"
#include "flash_map_dialog.h"
#include "flash_plain_dialog.h"
#include "identification_sequence.h"
#include "legacy_upload_dialog.h"
#include "link_field_text.h"
#include "package_file.h"
#include "receiver_link.h"
#include "ui.h"
#include "upload_confirm_dialog.h"
#include "upload_dialog_line.h"

namespace zamel {

namespace {
// The display name of the package's map starts at the eighth character of its line.
constexpr std::size_t kMapNameColumn = 7;

bool fileCanBeRead(const std::string& path) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) return false;
    std::fclose(file);
    return true;
}
}  // namespace

LoaderApp::LoaderApp(ReceiverLink& link, Ui& ui, Clock& clock)
    : link_(link), ui_(ui), clock_(clock) {}

LoaderApp::~LoaderApp() = default;

void LoaderApp::start() {
    readPackage();
    if (!packageMissing) autoUpload();
}

void LoaderApp::readPackage() {
    packageUnitType = 1;
    packageMissing = true;
    const auto section = readPackageSection(kPackageFile);
    if (!section) return;
    packageUnitType = section->unitType;

    const std::string code = packageValue(section->lines[0], "CODE=");
    link_.codeSelected = !code.empty();
    if (link_.codeSelected) setLinkField(link_.codePath, code);

    const std::string map = packageValue(section->lines[2], "MAP=");
    link_.dataSelected = false;
    if (!map.empty()) {
        setLinkField(link_.dataPath, map);
        if (fileCanBeRead(link_.dataPath)) {
            link_.dataSelected = true;
            const std::string& nameLine = section->lines[3];
            setLinkField(link_.mapName,
                         nameLine.size() > kMapNameColumn ? nameLine.substr(kMapNameColumn) : "");
        }
    }
    packageMissing = !(link_.codeSelected || link_.dataSelected);
}

bool LoaderApp::uploadEnabled() const { return packageMissing || link_.expertUpload; }

void LoaderApp::selectCodeFile() {
    if (const auto file = ui_.openFile("Open", "bin", kCodeFileFilter, ""))
        setLinkField(link_.codePath, *file);
}

void LoaderApp::selectDatabaseFile() {
    if (const auto file = ui_.openFile("Open", "bin", kBinaryFileFilter, ""))
        setLinkField(link_.dataPath, *file);
}

void LoaderApp::report(const char* text) {
    ui_.messageBox(text, "STATUS", MessageButtons::Ok, MessageIcon::Information);
}

void LoaderApp::upload() {
    if (link_.expertUpload) {
        if (!link_.portOpen) link_.open(link_.comIndex, link_.baud, true);
        ui_.messageBox("Expert upload mode is turned ON.", "REMINDER", MessageButtons::Ok,
                       MessageIcon::Information);
    } else if (!identifyReceiver(link_, ui_, clock_)) {
        return;
    }
    switch (link_.receiverClass) {
        case ReceiverClass::Legacy:
            uploadToLegacy();
            break;
        case ReceiverClass::FlashMapping:
            uploadToFlashMapping();
            break;
        case ReceiverClass::FlashPlain:
            uploadToFlashPlain();
            break;
        default:
            break;
    }
}

// Older NAV 415/420 firmware needs its boot block reloaded after new code: the
// receiver is powered on again and a second pass sends the boot block (or, when the
// first pass did not complete, the second pass is an ordinary one).
void LoaderApp::uploadToLegacy() {
    if (runLegacyPass()) {
        switch (legacyDialog_->uploadType) {
            case kLegacyCode:
                report("Upload of CODE complete");
                link_.codeSelected = false;
                break;
            case kLegacyDatabase:
                report("Upload of DATABASE complete");
                link_.dataSelected = false;
                break;
            default:
                report("Upload complete");
                break;
        }
        if (legacyDialog_->bootReloadNeeded) link_.reloadBootBlock = true;
    }
    if (legacyDialog_->bootReloadNeeded) {
        legacyDialog_.reset();
        ui_.messageBox("Power on unit to continue loading\nand click OK", "Reload Boot Loader",
                       MessageButtons::Ok, MessageIcon::Information);
        if (runLegacyPass()) report("Upload complete");
        link_.reloadBootBlock = false;
    }
    legacyDialog_.reset();
}

bool LoaderApp::runLegacyPass() {
    legacyDialog_ = std::make_unique<LegacyUploadDialog>(link_, ui_, clock_, *this, this);
    return legacyDialog_->ready && ui_.runModal(*legacyDialog_) == DialogResult::Ok;
}

void LoaderApp::uploadToFlashMapping() {
    flashMapDialog_ = std::make_unique<FlashMapDialog>(link_, ui_, clock_, *this);
    const bool completed =
        flashMapDialog_->ready && ui_.runModal(*flashMapDialog_) == DialogResult::Ok;
    if (completed) {
        switch (flashMapDialog_->uploadType) {
            case kProgramCode:
                report("Upload of CODE complete");
                link_.codeSelected = false;
                break;
            case kBaseMap:
                report("Upload of BASE MAP complete");
                link_.dataSelected = false;
                break;
            case kDetailMap:
                report("Upload of DETAIL MAP complete");
                link_.dataSelected = false;
                break;
            default:
                report("Upload complete");
                break;
        }
    }
    flashMapDialog_.reset();
    if (!completed) {
        link_.codeSelected = false;
        link_.dataSelected = false;
    } else if (!link_.autoMode && link_.dataSelected) {
        mapFollowUp();
    }
}

void LoaderApp::uploadToFlashPlain() {
    flashPlainDialog_ = std::make_unique<FlashPlainDialog>(link_, ui_, clock_, *this);
    const bool completed =
        flashPlainDialog_->ready && ui_.runModal(*flashPlainDialog_) == DialogResult::Ok;
    if (completed) report("Upload complete");
    flashPlainDialog_.reset();
    if (!completed) {
        link_.codeSelected = false;
        link_.dataSelected = false;
    }
}

void LoaderApp::mapFollowUp() {
    ui_.messageBox("Power on GPS unit\nto upload map file.", "CONTINUE UPLOAD", MessageButtons::Ok,
                   MessageIcon::Information);
    const bool connected = link_.expertUpload ||
                           identifyReceiver(link_, ui_, clock_, IdentificationSteps::DialogsOnly);
    if (!connected || link_.receiverClass != ReceiverClass::FlashMapping || !link_.dataSelected)
        return;
    flashMapDialog_ = std::make_unique<FlashMapDialog>(link_, ui_, clock_, *this);
    if (flashMapDialog_->ready) {
        flashMapDialog_->uploadType = kCodeAndBaseMap;
        if (ui_.runModal(*flashMapDialog_) == DialogResult::Ok) {
            report("Upload complete");
            link_.dataSelected = false;
            link_.codeSelected = false;
        }
    }
    flashMapDialog_.reset();
}

void LoaderApp::autoUpload() {
    UploadConfirmDialog confirm(uploadDialogLine(link_, ui_));
    if (ui_.runModal(confirm) != DialogResult::Ok) return;
    link_.expertUpload = false;
    link_.autoMode = true;
    bool finalPass = true;
    if (link_.codeSelected) {
        upload();
        finalPass = link_.autoMode && link_.codeSelected;
        if (finalPass)
            ui_.messageBox("Power on GPS unit\nto upload code.", "CONTINUE AUTO UPLOAD",
                           MessageButtons::Ok, MessageIcon::Information);
    }
    if (finalPass) {
        link_.autoFirstPass = false;
        upload();
        link_.autoFirstPass = true;
    }
    link_.autoMode = false;
    link_.codeSelected = false;
    link_.dataSelected = false;
}

void LoaderApp::expertSetup() {
    ExpertSetupDialog dialog(link_, ui_);
    ui_.runModal(dialog);
}

std::optional<int> LoaderApp::legacyPhase() const {
    if (!legacyDialog_) return std::nullopt;
    return legacyDialog_->phase;
}

}  // namespace zamel
