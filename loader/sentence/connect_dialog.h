#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "dialog_controller.h"
#include "port_open_outcome.h"

namespace zamel {

class ReceiverLink;

// "Establishing Communication with Receiver": probes COM1..COM4 at 4800, 9600,
// 19200 and 1200 baud, asking for version and memory once a second, until a
// reply identifies the receiver (OK) or the user cancels. It never gives up by
// itself, but after each full round without an answer its report says for each
// port what happened. Borrows the link for its lifetime.
class ConnectDialog final : public DialogController {
  public:
    static constexpr int kTimerId = 10;
    static constexpr int kTimerPeriodMs = 1000;

    explicit ConnectDialog(ReceiverLink& link);

    std::string caption() const override { return "Establishing Communication with Receiver"; }
    void onInit() override;
    void onTimer(int timerId) override;
    void onCancel() override;

    // The port, the device behind it and the rate being tried, for a host without
    // the dialog's window.
    std::string progressText() const override;

    // The upper field: the port and rate being tried.
    const std::string& portText() const { return portText_; }
    // The lower field.
    std::string promptText() const { return "Power on GPS unit"; }
    // The device behind the port being tried and how its open went.
    const std::string& deviceText() const { return deviceText_; }
    // Empty until a round over COM1 to COM4 ends without an answer; then, under
    // a line that counts the rounds, one line per port: its device and what
    // happened there (opened but silent at every rate, or why it did not open).
    std::string report() const override { return report_; }
    int roundsWithoutAnswer() const { return rounds_; }

    std::int32_t probeIndex() const { return probeIndex_; }
    std::int32_t probeRate() const { return probeRate_; }

    static constexpr int kPortCount = 4;

  private:
    // What one port did in the current round.
    struct PortRound {
        PortOpenOutcome lastOpen;
        bool opened = false;
    };

    void moveToNextProbe();
    void openProbe();
    void showProbe();
    void endRound();

    ReceiverLink& link_;
    std::int32_t probeRate_ = 4800;
    std::int32_t probeIndex_ = 0;
    int failedTicks_ = 0;
    int rateChanges_ = 0;
    int rounds_ = 0;
    std::array<PortRound, kPortCount> round_{};
    std::string portText_;
    std::string deviceText_;
    std::string report_;
};

}  // namespace zamel
