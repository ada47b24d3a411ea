#pragma once

#include <cstdint>
#include <string>

#include "dialog_controller.h"

namespace zamel {

class ReceiverLink;

// "Establishing Communication with Receiver": probes COM1..COM4 at 4800, 9600,
// 19200 and 1200 baud, asking for version and memory once a second, until a
// reply identifies the receiver (OK) or the user cancels. It never gives up by
// itself. Borrows the link for its lifetime.
class ConnectDialog final : public DialogController {
  public:
    static constexpr int kTimerId = 10;
    static constexpr int kTimerPeriodMs = 1000;

    explicit ConnectDialog(ReceiverLink& link);

    std::string caption() const override { return "Establishing Communication with Receiver"; }
    void onInit() override;
    void onTimer(int timerId) override;
    void onCancel() override;

    // The upper field: the port and rate being tried.
    const std::string& portText() const { return portText_; }
    // The lower field.
    std::string promptText() const { return "Power on GPS unit"; }

    std::int32_t probeIndex() const { return probeIndex_; }
    std::int32_t probeRate() const { return probeRate_; }

  private:
    void moveToNextProbe();
    void openProbe();
    void showProbe();

    ReceiverLink& link_;
    std::int32_t probeRate_ = 4800;
    std::int32_t probeIndex_ = 0;
    int failedTicks_ = 0;
    int rateChanges_ = 0;
    std::string portText_;
};

}  // namespace zamel
