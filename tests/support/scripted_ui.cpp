#include "scripted_ui.h"

#include <gtest/gtest.h>

#include <utility>

#include "tick_wait.h"

namespace zamel::testing {

void ScriptedUi::expectMessage(std::string text, std::string title, MessageIcon icon,
                               MessageAnswer answer) {
    questions_.push_back({std::move(text), std::move(title), icon, answer});
}

void ScriptedUi::expectOpenFile(std::optional<std::string> chosenPath) {
    fileChoices_.push_back(std::move(chosenPath));
}

void ScriptedUi::expectDialog(std::string caption,
                              std::function<void(DialogController&)> action) {
    dialogs_.push_back({std::move(caption), std::move(action)});
}

void ScriptedUi::expectChoice(std::string caption, std::string choice) {
    expectDialog(std::move(caption),
                 [choice = std::move(choice)](DialogController& c) { c.choose(choice); });
}

MessageAnswer ScriptedUi::messageBox(const std::string& text, const std::string& title,
                                     MessageButtons buttons, MessageIcon icon) {
    askedTexts_.push_back(text);
    askedButtons_.push_back(buttons);
    if (questionHook_) questionHook_(title);
    if (questions_.empty()) {
        ADD_FAILURE() << "unexpected message box \"" << text << "\" titled \"" << title << "\"";
        return buttons == MessageButtons::YesNo ? MessageAnswer::No : MessageAnswer::Cancel;
    }
    Question q = questions_.front();
    questions_.pop_front();
    EXPECT_EQ(q.text, text);
    EXPECT_EQ(q.title, title);
    EXPECT_EQ(static_cast<int>(q.icon), static_cast<int>(icon)) << "icon of \"" << text << "\"";
    return q.answer;
}

std::optional<std::string> ScriptedUi::openFile(const std::string& title, const std::string&,
                                                const std::string&, const std::string&) {
    if (fileChoices_.empty()) {
        ADD_FAILURE() << "unexpected file dialog \"" << title << "\"";
        return std::nullopt;
    }
    auto choice = fileChoices_.front();
    fileChoices_.pop_front();
    return choice;
}

DialogResult ScriptedUi::runModal(DialogController& controller) {
    const std::string outerCaption = std::exchange(currentCaption_, controller.caption());
    controller.onInit();
    if (!dialogs_.empty() && dialogs_.front().caption == controller.caption()) {
        const auto expected = dialogs_.front();
        dialogs_.pop_front();
        expected.action(controller);
    } else if (!controller.choices().empty()) {
        ADD_FAILURE() << "unexpected dialog \"" << controller.caption() << "\"";
        controller.onCancel();
    }
    ticksRun_ = 0;
    while (!controller.ended()) {
        if (ticksRun_ >= tickLimit_) {
            ADD_FAILURE() << "dialog \"" << controller.caption() << "\" still open after "
                          << tickLimit_ << " ticks";
            controller.onCancel();
            break;
        }
        if (controller.timers().empty()) {
            ADD_FAILURE() << "dialog \"" << controller.caption() << "\" waits with no timer";
            controller.onCancel();
            break;
        }
        const auto [timerId, periodMs] = controller.firstTimer();
        if (clock_ != nullptr && wakeOnInput_) {
            waitForNextTick(controller, *clock_, periodMs);
            if (controller.ended()) break;
        } else if (clock_ != nullptr) {
            clock_->sleepMs(periodMs);
        }
        ++ticksRun_;
        if (tickHook_ && !tickHook_(ticksRun_)) {
            controller.onCancel();
            continue;
        }
        controller.onTimer(timerId);
    }
    currentCaption_ = outerCaption;
    return controller.result();
}

}  // namespace zamel::testing
