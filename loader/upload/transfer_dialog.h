#pragma once

#include <cstdint>
#include <string>

#include "dialog_controller.h"

namespace zamel {

class Clock;
class FlashLoader;
class ReceiverLink;
class Ui;

// The running half shared by the upload dialogs: drives the engine on the 100 ms
// timer and whenever the port has bytes, lets the dialog go on with its next file
// or sends the end frame when a file is done, and shows the status and the
// percentage of the file being sent. A transfer is never reported complete on
// trust: the dialog ends with OK only once the engine has seen the receiver
// acknowledge the end frame after every record of the transfer (and, for maps, the
// end report agrees with what was sent). A hung-up port, no acknowledgement within
// kEndAcknowledgeLimitMs, or the user's confirmed stop end it with Cancel. A receiver
// that stops answering is sent to again for as long as the user lets it; after
// kSilenceNoticeMs the dialog says what to check, and a host with no one to press
// Cancel ends it. Time spent on the user's question never counts as the receiver's
// silence or delay.
//
// The dialog that derives from it owns the engine and its images and keeps its own
// fields; this part borrows the link, the Ui and the clock.
class TransferDialog : public DialogController {
  public:
    static constexpr int kTimerId = 11;
    static constexpr int kTimerPeriodMs = 100;
    // How long the receiver may take to acknowledge the end frame (and report).
    static constexpr std::int64_t kEndAcknowledgeLimitMs = 5000;
    static constexpr const char* kConnectionLostStatus = "CONNECTION LOST  ";
    static constexpr const char* kConnectionLostText =
        "The connection to the receiver was lost.\n"
        "The upload did not complete: connect the receiver again and upload the file again.";
    static constexpr const char* kNoEndAcknowledgeText =
        "The receiver did not confirm the end of the upload.\n"
        "The upload may be incomplete: upload the file again.";
    static constexpr const char* kNoPortText =
        "The port reported an error before the upload could begin (NO PORT).\n"
        "The upload did not complete: check the cable and upload the file again.";
    static constexpr const char* kInvalidFlashText =
        "The receiver cannot take this upload (INVALID FLASH).\n"
        "The upload did not complete.";
    static constexpr const char* kPlanNotSentText =
        "The receiver confirmed an end before every record of the upload was sent.\n"
        "The upload did not complete: upload the file again.";
    // Without a word from the receiver this long, the dialog says what to check.
    static constexpr std::int64_t kSilenceNoticeMs = 10000;
    static constexpr const char* kSilenceNotice =
        "The receiver does not answer. Check that it is switched on and still in its upload "
        "mode, that the cable is in, and that no other program uses the port. zamel keeps "
        "trying until you stop the upload.";
    static constexpr const char* kSilentStatus = "NO ANSWER  ";
    static constexpr const char* kReceiverSilentText =
        "The receiver stopped answering.\n"
        "The upload did not complete: switch the receiver off and on, check the cable and "
        "upload the file again.";
    static constexpr const char* kStopQuestion =
        "UPLOAD HAS NOT COMPLETED!\nTHIS COULD CAUSE FAILURE OF THE UNIT\n\nClick OK to stop "
        "upload";

    // With an engine (the preparation succeeded): 0 % and the timer.
    void onInit() override;
    void onTimer(int timerId) override;
    void onCancel() override;
    // The engine also advances as soon as the receiver's bytes arrive.
    InputSource* waitSource() const override;
    void onReadable() override;

    std::int64_t silentMs(std::int64_t openMs) const override;
    // Ends the upload unfinished, saying that the receiver stopped answering.
    void onReceiverSilent() override;
    std::string progressText() const override { return fileLine(); }
    int progressPercent() const override { return percent_; }
    std::string report() const override;

    // The receiver was told to enter its upload mode (or, in expert mode, its boot
    // loader was waited for): from here an upload that does not complete has failed
    // rather than been refused.
    bool receiverSwitched = false;

    // The percentage of `sent` out of `total`, rounded, never past 100 (a padding
    // byte may take the bytes sent one past the file).
    static int percentOf(std::uint64_t sent, std::uint64_t total);

  protected:
    TransferDialog(ReceiverLink& link, Ui& ui, Clock& clock);

    // The engine of the transfer; none while the preparation has not made one.
    virtual FlashLoader* transferEngine() const = 0;
    // Called when the engine has sent a whole file: start the next file of the same
    // transfer and return true, or return false to end the transfer.
    virtual bool startNextFile() = 0;
    // Called after the engine ran: a dialog that follows which file the engine is
    // on catches up here.
    virtual void followEngine() {}
    // The 100 % mark of the file being sent, in data bytes.
    virtual std::uint64_t fileTotal() const = 0;
    // The line that says which file is being sent.
    virtual const std::string& fileLine() const = 0;
    // The dialog's fields for the engine's status text and the percentage.
    virtual std::string& statusField() = 0;
    virtual void showPercentage(int percent) = 0;

    ReceiverLink& link_;
    Ui& ui_;
    Clock& clock_;

  private:
    void advance(FlashLoader& engine);
    bool connectionLost();
    void finishTransfer(FlashLoader& engine);
    void stop(const char* error);
    // Notes the moment the engine moved on, as a sign that the receiver answered.
    void noteEngineMoved(const FlashLoader& engine);

    // What the engine was at when the receiver was last heard.
    struct EngineMark {
        int state = -1;
        std::uint32_t bytesSent = 0;
        std::int32_t sectorsErased = 0;
        std::size_t segment = 0;
        bool operator==(const EngineMark&) const = default;
    };

    // Bytes of the last file when the engine reached its end.
    std::uint32_t sentTotal_ = 0;
    bool endSent_ = false;
    std::int64_t endSentMs_ = 0;
    EngineMark heardMark_;
    std::int64_t heardMs_ = 0;
    int percent_ = -1;
};

}  // namespace zamel
