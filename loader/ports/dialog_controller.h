#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "input_source.h"
#include "ui.h"

namespace zamel {

// The toolkit-free half of a modal dialog: it holds the dialog's fields and
// handlers; a view (Qt, or ScriptedUi in tests) shows the fields, runs the
// timers the controller asks for and forwards ticks and Cancel.
class DialogController {
  public:
    virtual ~DialogController() = default;

    virtual std::string caption() const = 0;
    virtual void onInit() = 0;
    virtual void onTimer(int timerId) = 0;
    virtual void onCancel() = 0;

    // A dialog that ends by the press of one of its buttons lists their captions,
    // the default button first, and presses one through choose(); a dialog that
    // runs on timers lists none.
    virtual std::vector<std::string> choices() const { return {}; }
    virtual void choose(const std::string& choice) { (void)choice; }

    // A dialog that waits for a serial port names it (nullptr: none, also while
    // the line is hung up); the host calls onReadable as soon as bytes arrive
    // there, besides the timer ticks, so the work goes on without waiting for the
    // next tick. Hosts ask again after every handler: the port may have changed.
    virtual InputSource* waitSource() const { return nullptr; }
    virtual void onReadable() {}

    // What the dialog has to tell below its fields as it runs, lines separated by
    // "\n"; empty when nothing. A window shows it; a console prints it each time
    // it changes.
    virtual std::string report() const { return {}; }

    // For a host with no one at the keyboard (the console), who cannot press Cancel.
    // A dialog that waits for the receiver says how long it has heard nothing that
    // moved it on: a dialog that ends as soon as it hears (the default) has heard
    // nothing for as long as it has been open. Such a host ends the dialog through
    // onReceiverSilent once that is too long; the dialog then ends with Cancel.
    virtual std::int64_t silentMs(std::int64_t openMs) const { return openMs; }
    virtual void onReceiverSilent() { onCancel(); }

    // What the dialog shows while it runs, for a host without the dialog's window:
    // what is being tried or sent, and the percentage done (-1: none).
    virtual std::string progressText() const { return {}; }
    virtual int progressPercent() const { return -1; }

    bool ended() const { return ended_; }
    DialogResult result() const { return result_; }

    // Running timers: identifier -> period in milliseconds.
    const std::map<int, int>& timers() const { return timers_; }

    // The running timer that fires first: the one with the shortest period.
    // Only meaningful while a timer runs.
    std::pair<int, int> firstTimer() const {
        auto first = timers_.begin();
        for (auto it = timers_.begin(); it != timers_.end(); ++it)
            if (it->second < first->second) first = it;
        return *first;
    }

  protected:
    void startTimer(int timerId, int periodMs) { timers_[timerId] = periodMs; }
    void stopTimer(int timerId) { timers_.erase(timerId); }
    void endDialog(DialogResult result) {
        ended_ = true;
        result_ = result;
    }

  private:
    std::map<int, int> timers_;
    bool ended_ = false;
    DialogResult result_ = DialogResult::Cancel;
};

}  // namespace zamel
