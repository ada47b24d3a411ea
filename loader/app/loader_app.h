#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "identification_sequence.h"
#include "legacy_phase_source.h"
#include "package_state.h"
#include "run_outcome.h"
#include "session_record.h"

namespace zamel {

class Clock;
class FlashMapDialog;
class FlashPlainDialog;
class LegacyUploadDialog;
class ReceiverLink;
class TransferDialog;
class Ui;

// The loader's one application object: the upload package read from zamel.ini,
// the map names, and the menu commands, each a method the window (or a test)
// calls. A command runs identification, hands the work to the upload dialog of
// the receiver's class and reports the outcome; the receiver it found and how each
// upload pass of the last upload command ended are kept in the session record.
// Borrows the link, the Ui and the clock; owns the upload dialog of the running
// command.
class LoaderApp final : public PackageState, public LegacyPhaseSource {
  public:
    static constexpr const char* kTitle = "Corvath Firmware Loader - version 1.14";
    static constexpr const char* kPackageFile = "zamel.ini";
    static constexpr const char* kCodeFileFilter =
        "hex Files (*.hex)|*.hex|S-record Files (*.srec;*.sre;*.s19;*.s28;*.s37;*.mot)|"
        "*.srec;*.sre;*.s19;*.s28;*.s37;*.mot|Binary Files (*.bin;*.img)|*.bin;*.img|All Files "
        "(*.*)|*.*||";
    // How an upload pass that did not complete is recorded.
    static constexpr const char* kNoReceiverFound = "Not started: no receiver found";
    static constexpr const char* kReceiverNotSupported = "Not started: receiver not supported";
    static constexpr const char* kIdentificationUnfinished =
        "Not started: identification did not finish";
    static constexpr const char* kNoUploadPath = "Not started: no upload path for this receiver";
    static constexpr const char* kNothingSent = "Not started: nothing was sent";
    static constexpr const char* kNotCompleted = "Did not complete";
    static constexpr const char* kNoLoaderGreeting =
        "Not started: the receiver's boot loader did not answer";
    static constexpr const char* kOtherModelPackage = "Not started: package for another model";
    static constexpr const char* kPackageFileUnusable =
        "Not started: a file of the package cannot be used";
    // The status-bar prompts of the file commands.
    static constexpr const char* kCodeFilePrompt = "Choose file containing binary program code";
    static constexpr const char* kDataFilePrompt = "Choose file containing binary database data";

    LoaderApp(ReceiverLink& link, Ui& ui, Clock& clock);
    ~LoaderApp() override;
    LoaderApp(const LoaderApp&) = delete;
    LoaderApp& operator=(const LoaderApp&) = delete;

    // After the window is shown: reads the package and, with one, runs the
    // automatic upload at once.
    void start();
    // Reads zamel.ini in the working directory into the package state and the
    // link's pending files.
    void readPackage();

    // Whether the working directory holds zamel.ini, and why it gave no upload
    // package (empty when it gave one or is not there).
    bool packageFileFound = false;
    std::string packageProblem;

    // The menu commands.
    void selectCodeFile();
    void selectDatabaseFile();
    void upload();
    void autoUpload();
    void expertSetup();
    // "&Upload" is offered without a package, or in expert mode.
    bool uploadEnabled() const;

    // The phase of the running NAV 415/420 upload, for the engine; none without one.
    std::optional<int> legacyPhase() const override;
    // The NAV 415/420 upload dialog of the running command, or none.
    const LegacyUploadDialog* legacyUploadDialog() const { return legacyDialog_.get(); }

    // How the last automatic upload ended, and what it left undone (empty when that
    // says nothing more than the outcome).
    RunOutcome autoOutcome() const { return autoOutcome_; }
    const std::string& autoOutcomeNote() const { return autoOutcomeNote_; }
    // An upload dialog is running its transfer: the receiver's flash is being written.
    bool transferRunning() const;

    const ReceiverLink& link() const { return link_; }
    const SessionRecord& session() const { return session_; }
    // Called whenever the session record changes, also in the middle of a command.
    void setSessionListener(std::function<void()> listener) {
        sessionListener_ = std::move(listener);
    }

  private:
    // One pass of the upload command, inside "&Upload" or "&Auto".
    void uploadPass();
    // Identification that records the receiver found and, failing, the outcome.
    bool identify(IdentificationSteps steps);
    void noteOutcome(UploadOutcome::Kind kind, std::string text);
    // A pass whose dialog did not end with OK: refused in its preparation, or
    // stopped after the receiver was switched into its upload mode.
    void noteUnfinished(const TransferDialog& dialog, bool ready, const std::string& lastStatus);
    // Keeps the first outcome of the automatic upload that is not Completed.
    void noteRunOutcome(RunOutcome outcome, std::string note = {});
    // A package for one model does not go into another.
    bool packageSuitsReceiver();
    // Every file the package's automatic upload will send is checked whole before
    // any receiver is touched, and a map file it names that cannot be read is
    // refused too; false after a refusal.
    bool packageFilesUsable();
    // The files of the package that the automatic upload did not send.
    void noteFilesNotSent();
    void uploadToLegacy();
    // Creates the legacy dialog, shows it when ready; true when it ended with OK.
    bool runLegacyPass();
    void reportLegacyPass();
    void uploadToFlashMapping();
    void uploadToFlashPlain();
    void mapFollowUp();
    void report(const char* text);

    ReceiverLink& link_;
    Ui& ui_;
    Clock& clock_;
    std::unique_ptr<LegacyUploadDialog> legacyDialog_;
    std::unique_ptr<FlashMapDialog> flashMapDialog_;
    std::unique_ptr<FlashPlainDialog> flashPlainDialog_;
    SessionRecord session_;
    std::function<void()> sessionListener_;
    // The map file zamel.ini names and why it cannot be read (empty when it can).
    std::string packageMapPath_;
    std::string packageMapProblem_;
    RunOutcome autoOutcome_ = RunOutcome::Completed;
    std::string autoOutcomeNote_;
    // The files the automatic upload was asked to send, and those it sent.
    bool codeWanted_ = false;
    bool dataWanted_ = false;
    bool codeSent_ = false;
    bool dataSent_ = false;
};

}  // namespace zamel
