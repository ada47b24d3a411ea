#pragma once

#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>

#include "ui.h"

namespace zamel {

class Clock;

// A Ui on a text stream, so the loader's core can run without a window. Message
// boxes and status texts are printed; every question gets its default button (OK
// or Yes, Cancel where Cancel is the default) unless told to answer negatively;
// file dialogs are declined; a dialog of buttons gets its default button. Modal
// dialogs run on the clock: the shortest timer's period is slept between ticks,
// and what they try or send is printed as they go.
// Borrows the stream and the clock.
class ConsoleUi final : public Ui {
  public:
    struct Options {
        bool answerPositive = true;
        // A modal dialog still open after this long is cancelled; 0 waits forever.
        std::int64_t modalLimitMs = 0;
        // A dialog that waits on a port also runs as soon as bytes arrive there;
        // off, it runs on its timer ticks alone.
        bool wakeOnInput = true;
        // A dialog that has heard nothing from the receiver this long is ended, since
        // no one can press Cancel; 0 waits forever.
        std::int64_t receiverSilenceLimitMs = 0;
        // The stream is a terminal: a percentage is rewritten in place on one line.
        // Otherwise a line is printed at every 10 %.
        bool terminal = false;
        // Runs between ticks and before every question: where the program notices
        // that it was asked to stop.
        std::function<void()> checkpoint = nullptr;
    };

    ConsoleUi(std::FILE* out, Clock& clock, Options options);

    MessageAnswer messageBox(const std::string& text, const std::string& title,
                             MessageButtons buttons, MessageIcon icon) override;
    std::optional<std::string> openFile(const std::string& title, const std::string& defaultExt,
                                        const std::string& filter,
                                        const std::string& defaultName) override;
    DialogResult runModal(DialogController& controller) override;
    void setStatusPane(const std::string& text) override;
    void quit() override { quitRequested_ = true; }
    void pumpMessages() override {}

    bool quitRequested() const { return quitRequested_; }
    // Ends a percentage line left open on a terminal, so that other output starts on
    // a line of its own.
    void endProgressLine();

  private:
    void showProgress(const DialogController& controller);
    void checkpoint();

    std::FILE* out_;
    Clock& clock_;
    Options options_;
    bool quitRequested_ = false;
    // What was last printed of the running dialog's progress.
    std::string progressText_;
    int percentShown_ = -1;
    std::string report_;
    bool progressLineOpen_ = false;
};

}  // namespace zamel
