#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "content_check.h"
#include "dialog_controller.h"
#include "flash_loader.h"
#include "flash_upload_type.h"
#include "image_file.h"

namespace zamel {

class Clock;
class ReceiverLink;
class Ui;
struct PackageState;

// "Upload status": one upload of one file to a flash receiver. The two variants'
// constructors do the whole preparation and leave `ready` set or clear; shown, the
// dialog drives the engine on its 100 ms timer until the receiver has confirmed the
// end of the transfer (OK) or the user stops it (Cancel); a host may also wake it
// when the port has bytes to read, so the line is kept busy. An upload is never
// reported complete on trust: the dialog waits for the end acknowledgement, and for
// maps compares the unit's end report with what was sent.
//
// The dialog owns its image and engine; it borrows the link, the Ui, the clock and
// the application's package state. Destroying it closes the port.
class FlashUploadDialog : public DialogController {
  public:
    static constexpr int kTimerId = 11;
    static constexpr int kTimerPeriodMs = 100;
    // How long the receiver may take to acknowledge the end frame (and report).
    static constexpr std::int64_t kEndAcknowledgeLimitMs = 5000;
    static constexpr const char* kConnectionLostStatus = "CONNECTION LOST  ";
    static constexpr const char* kConnectionLostText =
        "The connection to the receiver was lost.\n"
        "The upload did not complete: connect the receiver again and upload the file again.";
    static constexpr const char* kStopQuestion =
        "UPLOAD HAS NOT COMPLETED!\nTHIS COULD CAUSE FAILURE OF THE UNIT\n\nClick OK to stop upload";

    ~FlashUploadDialog() override;

    std::string caption() const override { return "Upload status"; }
    void onInit() override;
    void onTimer(int timerId) override;
    void onCancel() override;
    // The engine also advances as soon as the receiver's bytes arrive.
    int waitDescriptor() const override;
    void onReadable() override;

    int progress = 0;
    std::string percentText;
    std::string statusText;
    std::string fileText;
    std::unique_ptr<ImageFile> image;
    bool ready = false;
    FlashUploadType uploadType = kProgramCode;
    std::unique_ptr<FlashLoader> engine;
    std::int32_t savedBaud;
    // The 100 % mark: the data bytes the upload sends.
    std::uint64_t imageTotal = 0;

  protected:
    FlashUploadDialog(FlashVariant variant, ReceiverLink& link, Ui& ui, Clock& clock,
                      PackageState& package);

    // Lets the user go on with the file of the upload type, change it or stop.
    // False when the upload type became cancelled.
    bool confirmChosenFile();
    // Opens the file of the upload type and checks it whole and against the
    // receiver; sets `ready`.
    void openChosenFile();
    // Sends the upload command (outside expert mode), waits for the boot loader and
    // creates the engine; clears `ready` when the loader does not greet.
    void startTransfer();
    // Closes image, engine and port.
    void release();

    FlashVariant variant_;
    ReceiverLink& link_;
    Ui& ui_;
    Clock& clock_;
    PackageState& package_;

  private:
    void advance();
    void finishTransfer();
    bool connectionLost();
    void showPercentage();
    const char* chosenPath() const;

    // Bytes sent when the engine reached the end of the file.
    std::uint32_t sentTotal_ = 0;
    bool endSent_ = false;
    std::int64_t endSentMs_ = 0;
};

}  // namespace zamel
