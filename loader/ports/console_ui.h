#pragma once

#include <cstdint>
#include <cstdio>

#include "ui.h"

namespace zamel {

class Clock;

// A Ui on a text stream, so the loader's core can run before any window exists.
// Message boxes and status texts are printed; every question gets the positive
// answer (OK or Yes) unless told otherwise; file dialogs are declined; a dialog of
// buttons gets its default button. Modal dialogs run on the clock: the shortest
// timer's period is slept between ticks.
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

  private:
    std::FILE* out_;
    Clock& clock_;
    Options options_;
    bool quitRequested_ = false;
};

}  // namespace zamel
