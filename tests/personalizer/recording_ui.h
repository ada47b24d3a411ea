#pragma once

#include <deque>
#include <string>
#include <vector>

#include "personalizer_ui.h"

namespace tagwright::testing {

// A PersonalizerUi that records every message and answers from a queue
// (Ok when the queue is empty), and counts pumpMessages calls.
class RecordingUi final : public PersonalizerUi {
  public:
    struct Shown {
        std::string text;
        MessageIcon icon;
        MessageButtons buttons;
    };

    MessageAnswer showMessage(const std::string& text, MessageIcon icon,
                              MessageButtons buttons) override {
        shown.push_back({text, icon, buttons});
        if (answers.empty()) {
            return MessageAnswer::Ok;
        }
        const MessageAnswer answer = answers.front();
        answers.pop_front();
        return answer;
    }
    void pumpMessages() override { ++pumps; }

    std::vector<Shown> shown;
    std::deque<MessageAnswer> answers;
    long pumps = 0;
};

}  // namespace tagwright::testing
