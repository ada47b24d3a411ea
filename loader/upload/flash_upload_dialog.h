#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "content_check.h"
#include "flash_loader.h"
#include "flash_upload_type.h"
#include "image_file.h"
#include "transfer_dialog.h"

namespace zamel {

class Clock;
class ReceiverLink;
class Ui;
struct PackageState;

// "Upload status": one upload of one file to a flash receiver. The two variants'
// constructors do the whole preparation and leave `ready` set or clear; shown, the
// dialog runs the transfer (TransferDialog) until the receiver has confirmed its end
// (OK) or the upload stops (Cancel); for maps the unit's end report must agree with
// what was sent.
//
// The dialog owns its image and engine; it borrows the link, the Ui, the clock and
// the application's package state. Destroying it closes the port.
class FlashUploadDialog : public TransferDialog {
  public:
    ~FlashUploadDialog() override;

    std::string caption() const override { return "Upload status"; }

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
    // Opens the file of the upload type, checks it whole (refusing it before the
    // receiver is told anything) and against the receiver; sets `ready`.
    void openChosenFile();
    // Sends the upload command (outside expert mode), waits for the boot loader and
    // creates the engine; clears `ready` when the loader does not greet.
    void startTransfer();
    // Closes image, engine and port.
    void release();

    FlashVariant variant_;
    PackageState& package_;
    // The chosen file, read whole and checked, until the engine takes it.
    std::optional<TransferSegment> checkedFile_;

  private:
    FlashLoader* transferEngine() const override { return engine.get(); }
    bool startNextFile() override { return false; }
    std::uint64_t fileTotal() const override { return imageTotal; }
    const std::string& fileLine() const override { return fileText; }
    std::string& statusField() override { return statusText; }
    void showPercentage(int percent) override;
    const char* chosenPath() const;
};

}  // namespace zamel
