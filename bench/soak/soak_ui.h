#pragma once

#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "clock.h"
#include "ui.h"

namespace zamel::soak {

// A message box as the user saw it, and the answer given.
struct ShownMessage {
    std::string text;
    std::string title;
    MessageIcon icon;
    MessageAnswer answer;
};

// The user at the keyboard during a soak run, answering as a careful user would:
// yes to the ordinary confirmations, the planned choice in the upload-type
// dialogs, the planned files in the file dialogs, and Cancel to a content warning
// unless told to trust the files. Every message box is kept so the run's outcome
// can be judged. Modal dialogs run on the clock and wake as soon as their port
// has bytes. A dialog that waits for the receiver to appear is cancelled after a
// minute (loader time), as a user would give up; an upload in progress is never
// cancelled: if it never ends, the run is bounded from outside.
class SoakUi final : public Ui {
  public:
    struct Answers {
        std::string typeChoice;
        bool trustsFiles = false;
        std::string codePath;
        std::string dataPath;
    };

    // log may be null; it then stays quiet.
    SoakUi(Clock& clock, Answers answers, std::FILE* log);

    // Called with the loader's time since the n-th upload dialog (from 1) opened,
    // on each of its wake-ups.
    void setTransferWatch(std::function<void(int transfer, std::int64_t elapsedMs)> watch) {
        transferWatch_ = std::move(watch);
    }

    MessageAnswer messageBox(const std::string& text, const std::string& title,
                             MessageButtons buttons, MessageIcon icon) override;
    std::optional<std::string> openFile(const std::string& title, const std::string& defaultExt,
                                        const std::string& filter,
                                        const std::string& defaultName) override;
    DialogResult runModal(DialogController& controller) override;
    void setStatusPane(const std::string& text) override;
    void quit() override { quitCalled = true; }
    void pumpMessages() override {}

    // Title of the entry kept in messages when the user gives up on a wait.
    static constexpr const char* kGaveUpTitle = "(the user gave up)";

    std::vector<ShownMessage> messages;
    bool quitCalled = false;

  private:
    static constexpr std::int64_t kPatienceMs = 60'000;

    void note(const char* format, const std::string& a, const std::string& b = "");
    std::string choose(const DialogController& controller) const;
    bool isTransferDialog(const DialogController& controller) const;

    Clock& clock_;
    Answers answers_;
    std::FILE* log_;
    std::function<void(int, std::int64_t)> transferWatch_;
    int transfersShown_ = 0;
};

}  // namespace zamel::soak
