#pragma once

#include <cstdint>
#include <string>

#include "dialog_controller.h"

namespace zamel {

class Clock;
class ReceiverLink;

// "Determining Database Type": asks the identified receiver for the headers its
// model has (point-of-interest and/or map) every second until they have arrived
// (OK) or the user cancels, showing the time since it was created. It never
// gives up by itself. Borrows the link and the clock for its lifetime.
class HeaderQueryDialog final : public DialogController {
  public:
    static constexpr int kTimerId = 10;
    static constexpr int kTimerPeriodMs = 1000;

    HeaderQueryDialog(ReceiverLink& link, const Clock& clock);

    std::string caption() const override { return "Determining Database Type"; }
    void onInit() override;
    void onTimer(int timerId) override;
    void onCancel() override;

    // "<model> on COM<n>".
    const std::string& connectionText() const { return connectionText_; }
    std::string elapsedLabel() const { return "Elapsed Time"; }
    // "hh:mm:ss" since creation.
    const std::string& elapsedText() const { return elapsedText_; }

  private:
    bool headersArrived() const;
    void sendQueries();

    ReceiverLink& link_;
    const Clock& clock_;
    std::int64_t startWallMs_;
    std::string connectionText_;
    std::string elapsedText_ = "00:00:00";
};

}  // namespace zamel
