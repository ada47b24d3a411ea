#include "console_ui.h"

#include <string>
#include <utility>

#include "clock.h"
#include "dialog_controller.h"
#include "tick_wait.h"

namespace zamel {

ConsoleUi::ConsoleUi(std::FILE* out, Clock& clock, Options options)
    : out_(out), clock_(clock), options_(options) {}

MessageAnswer ConsoleUi::messageBox(const std::string& text, const std::string& title,
                                    MessageButtons buttons, MessageIcon) {
    MessageAnswer answer = MessageAnswer::Ok;
    switch (buttons) {
        case MessageButtons::Ok:
            answer = MessageAnswer::Ok;
            break;
        case MessageButtons::OkCancel:
            answer = options_.answerPositive ? MessageAnswer::Ok : MessageAnswer::Cancel;
            break;
        case MessageButtons::YesNo:
            answer = options_.answerPositive ? MessageAnswer::Yes : MessageAnswer::No;
            break;
    }
    static constexpr const char* kAnswerNames[] = {"OK", "Cancel", "Yes", "No"};
    std::fprintf(out_, "[%s] %s -> %s\n", title.c_str(), text.c_str(),
                 kAnswerNames[static_cast<int>(answer)]);
    std::fflush(out_);
    return answer;
}

std::optional<std::string> ConsoleUi::openFile(const std::string& title, const std::string&,
                                               const std::string&, const std::string&) {
    std::fprintf(out_, "[%s] no file chosen\n", title.c_str());
    std::fflush(out_);
    return std::nullopt;
}

DialogResult ConsoleUi::runModal(DialogController& controller) {
    std::fprintf(out_, "[%s]\n", controller.caption().c_str());
    std::fflush(out_);
    controller.onInit();
    // A dialog of buttons gets its default one.
    if (const auto choices = controller.choices(); !choices.empty() && !controller.ended()) {
        std::fprintf(out_, "[%s] -> %s\n", controller.caption().c_str(), choices.front().c_str());
        std::fflush(out_);
        controller.choose(choices.front());
    }
    std::string reported;
    const auto printReport = [&] {
        if (std::string report = controller.report(); report != reported) {
            reported = std::move(report);
            if (!reported.empty()) std::fprintf(out_, "%s\n", reported.c_str());
            std::fflush(out_);
        }
    };
    const std::int64_t startTick = clock_.tickMs();
    while (!controller.ended()) {
        printReport();
        const bool overdue =
            options_.modalLimitMs > 0 && clock_.tickMs() - startTick >= options_.modalLimitMs;
        // A dialog without a timer could never end by itself: cancel it.
        if (overdue || controller.timers().empty()) {
            controller.onCancel();
            break;
        }
        const auto [timerId, periodMs] = controller.firstTimer();
        if (options_.wakeOnInput) {
            waitForNextTick(controller, clock_, periodMs);
            if (controller.ended()) break;
        } else {
            clock_.sleepMs(periodMs);
        }
        controller.onTimer(timerId);
    }
    printReport();
    return controller.result();
}

void ConsoleUi::setStatusPane(const std::string& text) {
    std::fprintf(out_, "status: %s\n", text.c_str());
    std::fflush(out_);
}

}  // namespace zamel
