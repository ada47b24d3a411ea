#pragma once

#include <cstdint>
#include <string>

#include "dialog_controller.h"

namespace zamel {

class Clock;
class ReceiverLink;

// "Determing Upload Protocol": waits for the receiver's boot loader to greet
// (0xAA or 0x77) after an upload command, switching the port between 115200
// and 19200 baud every two seconds, and shows how long it has waited. Ends with
// Ok when the greeting was seen (the greeting is consumed; the port stays at
// the rate it was seen at) and with Cancel when the user cancels.
//
// A port that cannot be reopened at the next rate does not stop the dialog: it
// tries again on every tick until it opens or the user cancels.
class ProtocolProbeDialog final : public DialogController {
  public:
    static constexpr int kTimerId = 10;
    static constexpr int kTimerPeriodMs = 1000;
    static constexpr std::int32_t kFastBaud = 115200;
    static constexpr std::int32_t kSlowBaud = 19200;
    // Ticks spent at one rate before switching.
    static constexpr std::int32_t kTicksPerRate = 2;
    static constexpr const char* kCaption = "Determing Upload Protocol";
    static constexpr const char* kInstruction =
        "If unit comes out of software upload mode \"cancel\" and restart";
    static constexpr const char* kElapsedLabel = "Elapsed Time";

    // Opens the port at 115200 baud (no error messages).
    ProtocolProbeDialog(ReceiverLink& link, const Clock& clock);

    std::string caption() const override { return kCaption; }
    void onInit() override;
    void onTimer(int timerId) override;
    void onCancel() override;
    // The greeting is taken as soon as it arrives, not at the next tick.
    InputSource* waitSource() const override;
    void onReadable() override;

    const std::string& connectionText() const { return connectionText_; }
    const std::string& elapsedText() const { return elapsedText_; }
    // The rate the dialog wants the port at now.
    std::int32_t probeBaud() const { return probeBaud_; }

  private:
    void openAtProbeBaud();
    bool greeted();

    ReceiverLink& link_;
    const Clock& clock_;
    std::string connectionText_;
    std::string elapsedText_ = "00:00:00";
    std::int64_t startTimeMs_;
    std::int32_t tickCount_ = 0;
    std::int32_t probeBaud_ = kFastBaud;
};

}  // namespace zamel
