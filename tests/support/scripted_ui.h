#pragma once

#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "clock.h"
#include "dialog_controller.h"
#include "ui.h"

namespace zamel::testing {

// A Ui for tests: every message box must match the next scripted question
// (text, title, icon) and gets its scripted answer; so must every file dialog and
// dialog of buttons; modal controllers are run by calling their timer handler until
// they end, with a bound so a test never hangs.
class ScriptedUi final : public Ui {
public:
    struct Question {
        std::string text;
        std::string title;
        MessageIcon icon;
        MessageAnswer answer;
    };

    void expectMessage(std::string text, std::string title, MessageIcon icon,
                       MessageAnswer answer = MessageAnswer::Ok);
    void expectOpenFile(std::optional<std::string> chosenPath);
    // The next modal dialog must carry this caption; the action plays the user on
    // it after onInit (a dialog that has not ended then runs on its timers).
    void expectDialog(std::string caption, std::function<void(DialogController&)> action);
    // The next modal dialog must carry this caption; the button is pressed.
    void expectChoice(std::string caption, std::string choice);

    // Ticks advance this clock by the timer's period before each onTimer call.
    void setClock(Clock* clock) { clock_ = clock; }
    // Called before every tick with the tick number (1-based); a test plays the
    // receiver here. Returning false presses Cancel instead of ticking.
    void setTickHook(std::function<bool(int tick)> hook) { tickHook_ = std::move(hook); }
    void setTickLimit(int ticks) { tickLimit_ = ticks; }
    // Called as each message box is asked, with its title, before it is answered:
    // a test plays the time the user takes here.
    void setQuestionHook(std::function<void(const std::string& title)> hook) {
        questionHook_ = std::move(hook);
    }
    // Between ticks, run a dialog as soon as its port has bytes (needs a real clock).
    void setWakeOnInput(bool wake) { wakeOnInput_ = wake; }

    // Questions not yet asked; a test ends by checking this is empty.
    std::size_t pendingQuestions() const {
        return questions_.size() + fileChoices_.size() + dialogs_.size();
    }
    const std::vector<std::string>& statusTexts() const { return statusTexts_; }
    const std::vector<std::string>& askedTexts() const { return askedTexts_; }
    // The buttons of each message box asked, in order.
    const std::vector<MessageButtons>& askedButtons() const { return askedButtons_; }
    int ticksRun() const { return ticksRun_; }
    // The caption of the modal dialog being run, for a tick hook.
    const std::string& currentCaption() const { return currentCaption_; }
    bool quitCalled() const { return quitCalled_; }

    MessageAnswer messageBox(const std::string& text, const std::string& title,
                             MessageButtons buttons, MessageIcon icon) override;
    std::optional<std::string> openFile(const std::string& title, const std::string& defaultExt,
                                        const std::string& filter,
                                        const std::string& defaultName) override;
    DialogResult runModal(DialogController& controller) override;
    void setStatusPane(const std::string& text) override { statusTexts_.push_back(text); }
    void quit() override { quitCalled_ = true; }
    void pumpMessages() override {}

private:
    std::deque<Question> questions_;
    struct ExpectedDialog {
        std::string caption;
        std::function<void(DialogController&)> action;
    };

    std::deque<std::optional<std::string>> fileChoices_;
    std::deque<ExpectedDialog> dialogs_;
    std::vector<std::string> statusTexts_;
    std::vector<std::string> askedTexts_;
    std::vector<MessageButtons> askedButtons_;
    Clock* clock_ = nullptr;
    std::function<bool(int)> tickHook_;
    std::function<void(const std::string&)> questionHook_;
    int tickLimit_ = 1000;
    int ticksRun_ = 0;
    std::string currentCaption_;
    bool quitCalled_ = false;
    bool wakeOnInput_ = false;
};

}  // namespace zamel::testing
