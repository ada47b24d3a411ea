#include "loader_app.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

#include "clock.h"
#include "expert_setup_dialog.h"
#include "file_filters.h"
#include "flash_map_dialog.h"
#include "flash_plain_dialog.h"
#include "identification_sequence.h"
#include "legacy_upload_dialog.h"
#include "link_field_text.h"
#include "package_file.h"
#include "package_preflight.h"
#include "receiver_link.h"
#include "serial_port_map.h"
#include "transfer_dialog.h"
#include "ui.h"
#include "upload_confirm_dialog.h"
#include "upload_dialog_line.h"

namespace zamel {

namespace {
// The display name of the package's map starts at the eighth character of its line.
constexpr std::size_t kMapNameColumn = 7;

// Why the file cannot be opened for reading; empty when it can.
std::string whyUnreadable(const std::string& path) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) return std::strerror(errno);
    std::fclose(file);
    return {};
}

const char* modelNameOf(UnitType unitType) {
    for (const ReceiverModel& row : ReceiverModelTable)
        if (row.unitType == unitType) return row.modelName;
    return "another receiver";
}

std::string trimmed(const std::string& text) {
    const auto first = text.find_first_not_of(' ');
    if (first == std::string::npos) return {};
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}
}  // namespace

LoaderApp::LoaderApp(ReceiverLink& link, Ui& ui, Clock& clock)
    : link_(link), ui_(ui), clock_(clock) {}

LoaderApp::~LoaderApp() = default;

void LoaderApp::start() {
    readPackage();
    if (!packageProblem.empty())
        ui_.setStatusPane(std::string(kPackageFile) + " not used: " + packageProblem);
    if (!packageMissing) autoUpload();
}

void LoaderApp::readPackage() {
    packageUnitType = 1;
    packageMissing = true;
    packageProblem.clear();
    packageMapPath_.clear();
    packageMapProblem_.clear();
    const PackageReading reading = readPackageFile(kPackageFile);
    packageFileFound = reading.fileFound;
    if (!reading.section) {
        if (reading.fileFound) packageProblem = whyNoPackage(reading, "");
        return;
    }
    const PackageSection& section = *reading.section;
    packageUnitType = section.unitType;

    const std::string code = packageValue(section.lines[0], "CODE=");
    link_.codeSelected = !code.empty();
    if (link_.codeSelected) setLinkField(link_.codePath, code);

    const std::string map = packageValue(section.lines[2], "MAP=");
    link_.dataSelected = false;
    if (!map.empty()) {
        setLinkField(link_.dataPath, map);
        packageMapPath_ = linkFieldText(link_.dataPath);
        packageMapProblem_ = whyUnreadable(packageMapPath_);
        if (packageMapProblem_.empty()) {
            link_.dataSelected = true;
            const std::string& nameLine = section.lines[3];
            setLinkField(link_.mapName,
                         nameLine.size() > kMapNameColumn ? nameLine.substr(kMapNameColumn) : "");
        }
    }
    packageMissing = !(link_.codeSelected || link_.dataSelected);
    if (packageMissing) {
        const std::string mapProblem = packageMapProblem_.empty()
                                           ? ""
                                           : "the map file \"" + packageMapPath_ +
                                                 "\" cannot be read (" + packageMapProblem_ + ")";
        packageProblem = whyNoPackage(reading, mapProblem);
    }
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
    noteOutcome(UploadOutcome::Kind::Completed, text);
    ui_.messageBox(text, "STATUS", MessageButtons::Ok, MessageIcon::Information);
}

void LoaderApp::noteOutcome(UploadOutcome::Kind kind, std::string text) {
    session_.lastUploads.push_back({kind, std::move(text), clock_.wallMs()});
    if (sessionListener_) sessionListener_();
}

void LoaderApp::noteUnfinished(const TransferDialog& dialog, bool ready,
                               const std::string& lastStatus) {
    if (!ready) {
        // Refused by its own checks, or the receiver did not greet once switched.
        noteOutcome(UploadOutcome::Kind::NotStarted,
                    dialog.receiverSwitched ? kNoLoaderGreeting : kNothingSent);
        noteRunOutcome(dialog.receiverSwitched ? RunOutcome::Failed : RunOutcome::Refused);
        return;
    }
    noteRunOutcome(RunOutcome::Failed);
    std::string text = kNotCompleted;
    if (const std::string status = trimmed(lastStatus); !status.empty())
        text += " (last status: " + status + ")";
    noteOutcome(UploadOutcome::Kind::NotCompleted, std::move(text));
}

bool LoaderApp::identify(IdentificationSteps steps) {
    std::optional<std::string> device;
    const bool identified = identifyReceiver(
        link_, ui_, clock_, steps, [&] { device = describePort(link_.openOutcome.mapping); });
    // Recorded after the whole sequence: the map header can still change the model.
    if (device) {
        const bool supported = link_.receiverClass != ReceiverClass::Unsupported;
        session_.receiver =
            IdentifiedReceiver{supported,           std::string(linkFieldText(link_.modelName)),
                               link_.firmwareMajor, link_.firmwareMinor,
                               link_.comIndex,      *device,
                               link_.baud};
        if (sessionListener_) sessionListener_();
    }
    if (!identified) {
        const char* why = !device ? kNoReceiverFound
                          : link_.receiverClass == ReceiverClass::Unsupported
                              ? kReceiverNotSupported
                              : kIdentificationUnfinished;
        noteOutcome(UploadOutcome::Kind::NotStarted, why);
        noteRunOutcome(why == kReceiverNotSupported ? RunOutcome::Refused : RunOutcome::NoReceiver,
                       why == kReceiverNotSupported ? "the receiver is not supported" : "");
    }
    return identified;
}

void LoaderApp::noteRunOutcome(RunOutcome outcome, std::string note) {
    if (outcome == RunOutcome::Completed || autoOutcome_ != RunOutcome::Completed) return;
    autoOutcome_ = outcome;
    autoOutcomeNote_ = std::move(note);
}

bool LoaderApp::transferRunning() const {
    const auto running = [](const TransferDialog* dialog) {
        return dialog != nullptr && dialog->receiverSwitched && !dialog->ended();
    };
    return running(legacyDialog_.get()) || running(flashMapDialog_.get()) ||
           running(flashPlainDialog_.get());
}

bool LoaderApp::packageSuitsReceiver() {
    if (!link_.autoMode || packageMissing || packageUnitType == link_.unitType) return true;
    ui_.messageBox("Incorrect upload package for unit", "ERROR", MessageButtons::Ok,
                   MessageIcon::Stop);
    link_.autoMode = false;
    noteOutcome(UploadOutcome::Kind::NotStarted, kOtherModelPackage);
    noteRunOutcome(RunOutcome::Refused, std::string("the package is for the ") +
                                            modelNameOf(packageUnitType) + ", the receiver is a " +
                                            std::string(linkFieldText(link_.modelName)));
    return false;
}

void LoaderApp::upload() {
    session_.lastUploads.clear();
    uploadPass();
}

void LoaderApp::uploadPass() {
    if (link_.expertUpload) {
        if (!link_.portOpen) link_.open(link_.comIndex, link_.baud, true);
        // The port's error has been shown: nothing can go on without it.
        if (!link_.portOpen) {
            noteOutcome(UploadOutcome::Kind::NotStarted, kNoReceiverFound);
            noteRunOutcome(RunOutcome::NoReceiver);
            return;
        }
        ui_.messageBox("Expert upload mode is turned ON.", "REMINDER", MessageButtons::Ok,
                       MessageIcon::Information);
    } else if (!identify(IdentificationSteps::All) || !packageSuitsReceiver()) {
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
            noteOutcome(UploadOutcome::Kind::NotStarted, kNoUploadPath);
            noteRunOutcome(RunOutcome::Refused, "the receiver has no upload path");
            break;
    }
}

// Older NAV 415/420 firmware needs its boot block reloaded after new code: the
// receiver is powered on again and a pass sends the boot block. A first pass that
// did not complete is run once more as an ordinary pass, and the reload follows
// whichever code pass completed, so the unit is never left without its boot block
// while an upload is reported complete.
void LoaderApp::uploadToLegacy() {
    bool completed = runLegacyPass();
    if (completed) reportLegacyPass();
    for (int pass = 1;
         legacyDialog_->bootReloadNeeded && !legacyDialog_->fileRefused && (completed || pass < 2);
         ++pass) {
        legacyDialog_.reset();
        ui_.messageBox("Power on unit to continue loading\nand click OK", "Reload Boot Loader",
                       MessageButtons::Ok, MessageIcon::Information);
        if (completed) {
            link_.reloadBootBlock = true;
            if (runLegacyPass()) report("Upload complete");
            link_.reloadBootBlock = false;
            break;
        }
        completed = runLegacyPass();
        if (completed) report("Upload complete");
    }
    legacyDialog_.reset();
}

void LoaderApp::reportLegacyPass() {
    switch (legacyDialog_->uploadType) {
        case kLegacyCode:
            report("Upload of CODE complete");
            link_.codeSelected = false;
            codeSent_ = true;
            break;
        case kLegacyDatabase:
            report("Upload of DATABASE complete");
            link_.dataSelected = false;
            dataSent_ = true;
            break;
        default:
            report("Upload complete");
            codeSent_ = dataSent_ = true;
            break;
    }
}

bool LoaderApp::runLegacyPass() {
    legacyDialog_ = std::make_unique<LegacyUploadDialog>(link_, ui_, clock_, *this, this);
    const bool completed = legacyDialog_->ready && ui_.runModal(*legacyDialog_) == DialogResult::Ok;
    if (!completed) noteUnfinished(*legacyDialog_, legacyDialog_->ready, legacyDialog_->statusLine);
    return completed;
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
                codeSent_ = true;
                break;
            case kBaseMap:
                report("Upload of BASE MAP complete");
                link_.dataSelected = false;
                dataSent_ = true;
                break;
            case kDetailMap:
                report("Upload of DETAIL MAP complete");
                link_.dataSelected = false;
                dataSent_ = true;
                break;
            default:
                report("Upload complete");
                break;
        }
    } else {
        noteUnfinished(*flashMapDialog_, flashMapDialog_->ready, flashMapDialog_->statusText);
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
    if (completed) {
        report("Upload complete");
        // The file is in: a later "&Upload" must not send it again unasked.
        if (flashPlainDialog_->uploadType == kProgramCode) {
            link_.codeSelected = false;
            codeSent_ = true;
        } else {
            link_.dataSelected = false;
            dataSent_ = true;
        }
    } else {
        noteUnfinished(*flashPlainDialog_, flashPlainDialog_->ready, flashPlainDialog_->statusText);
    }
    flashPlainDialog_.reset();
    if (!completed) {
        link_.codeSelected = false;
        link_.dataSelected = false;
    }
}

void LoaderApp::mapFollowUp() {
    ui_.messageBox("Power on GPS unit\nto upload map file.", "CONTINUE UPLOAD", MessageButtons::Ok,
                   MessageIcon::Information);
    const bool connected = link_.expertUpload || identify(IdentificationSteps::DialogsOnly);
    if (!connected) return;
    if (link_.receiverClass != ReceiverClass::FlashMapping || !link_.dataSelected) {
        noteOutcome(UploadOutcome::Kind::NotStarted, kNoUploadPath);
        return;
    }
    flashMapDialog_ = std::make_unique<FlashMapDialog>(link_, ui_, clock_, *this);
    bool completed = false;
    if (flashMapDialog_->ready) {
        flashMapDialog_->uploadType = kCodeAndBaseMap;
        completed = ui_.runModal(*flashMapDialog_) == DialogResult::Ok;
        if (completed) {
            report("Upload complete");
            link_.dataSelected = false;
            link_.codeSelected = false;
        }
    }
    if (!completed)
        noteUnfinished(*flashMapDialog_, flashMapDialog_->ready, flashMapDialog_->statusText);
    flashMapDialog_.reset();
}

void LoaderApp::noteFilesNotSent() {
    const bool codeLeft = codeWanted_ && !codeSent_;
    const bool dataLeft = dataWanted_ && !dataSent_;
    if (!codeLeft && !dataLeft) return;
    std::string note = "the package's ";
    if (codeLeft) note += "code file " + std::string(linkFieldText(link_.codePath));
    if (codeLeft && dataLeft) note += " and its ";
    if (dataLeft) note += "map file " + std::string(linkFieldText(link_.dataPath));
    noteRunOutcome(RunOutcome::Refused,
                   note + (codeLeft && dataLeft ? " were" : " was") + " not sent");
}

bool LoaderApp::packageFilesUsable() {
    std::string problem;
    if (!packageMapProblem_.empty()) {
        // A map file the package names is not skipped in silence.
        const PackageUploadFile map = packageDataFile(packageUnitType, packageMapPath_);
        const PreflightResult result = preflightUploadFile(map.path, map.role);
        const std::string reason =
            result.ok ? "It could not be read when zamel started: start zamel again to use it."
                      : result.reason;
        showPreflightRefusal(ui_, map.errorText, map.path, reason);
        problem = map.path + ": " + reason;
    } else {
        problem = refuseUnusablePackageFile(
            ui_, packageUnitType,
            packageUploadFiles(packageUnitType, link_.codeSelected,
                               std::string(linkFieldText(link_.codePath)), link_.dataSelected,
                               std::string(linkFieldText(link_.dataPath))));
    }
    if (problem.empty()) return true;
    session_.lastUploads.clear();
    noteOutcome(UploadOutcome::Kind::NotStarted, kPackageFileUnusable);
    noteRunOutcome(RunOutcome::Refused, problem);
    return false;
}

void LoaderApp::autoUpload() {
    autoOutcome_ = RunOutcome::Completed;
    autoOutcomeNote_.clear();
    codeWanted_ = link_.codeSelected;
    dataWanted_ = link_.dataSelected;
    codeSent_ = dataSent_ = false;
    if (!packageMissing && !packageFilesUsable()) return;
    UploadConfirmDialog confirm(uploadDialogLine(link_, ui_));
    if (ui_.runModal(confirm) != DialogResult::Ok) {
        noteRunOutcome(RunOutcome::Refused, "the upload was not confirmed");
        return;
    }
    session_.lastUploads.clear();
    link_.expertUpload = false;
    link_.autoMode = true;
    bool finalPass = true;
    if (link_.codeSelected) {
        uploadPass();
        finalPass = link_.autoMode && link_.codeSelected;
        if (finalPass)
            ui_.messageBox("Power on GPS unit\nto upload code.", "CONTINUE AUTO UPLOAD",
                           MessageButtons::Ok, MessageIcon::Information);
    }
    if (finalPass) {
        link_.autoFirstPass = false;
        uploadPass();
        link_.autoFirstPass = true;
    }
    noteFilesNotSent();
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
