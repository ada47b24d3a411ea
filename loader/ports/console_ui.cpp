#include "console_ui.h"

#include <string>
#include <utility>

#include "clock.h"
#include "dialog_controller.h"
#include "tick_wait.h"

namespace zamel {

namespace {
constexpr int kPercentStep = 10;
}  // namespace

ConsoleUi::ConsoleUi(std::FILE* out, Clock& clock, Options options)
    : out_(out), clock_(clock), options_(std::move(options)) {}

void ConsoleUi::checkpoint() {
    if (options_.checkpoint) options_.checkpoint();
}

MessageAnswer ConsoleUi::messageBox(const std::string& text, const std::string& title,
                                    MessageButtons buttons, MessageIcon) {
    checkpoint();
    endProgressLine();
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
        case MessageButtons::OkCancelDefaultCancel:
            // Nobody here can look at the file: the safe answer.
            answer = MessageAnswer::Cancel;
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
    endProgressLine();
    std::fprintf(out_, "[%s] no file chosen\n", title.c_str());
    std::fflush(out_);
    return std::nullopt;
}

DialogResult ConsoleUi::runModal(DialogController& controller) {
    endProgressLine();
    std::fprintf(out_, "[%s]\n", controller.caption().c_str());
    std::fflush(out_);
    progressText_.clear();
    percentShown_ = -1;
    report_.clear();
    controller.onInit();
    // A dialog of buttons gets its default one.
    if (const auto choices = controller.choices(); !choices.empty() && !controller.ended()) {
        std::fprintf(out_, "[%s] -> %s\n", controller.caption().c_str(), choices.front().c_str());
        std::fflush(out_);
        controller.choose(choices.front());
    }
    const std::int64_t startTick = clock_.tickMs();
    while (!controller.ended()) {
        checkpoint();
        showProgress(controller);
        const std::int64_t openMs = clock_.tickMs() - startTick;
        const bool overdue = options_.modalLimitMs > 0 && openMs >= options_.modalLimitMs;
        // A dialog without a timer could never end by itself: cancel it.
        if (overdue || controller.timers().empty()) {
            controller.onCancel();
            break;
        }
        const std::int64_t limit = options_.receiverSilenceLimitMs;
        if (limit > 0 && controller.silentMs(openMs) >= limit) {
            endProgressLine();
            std::fprintf(out_,
                         "zamel: nothing from the receiver for %lld seconds: \"%s\" gives up.\n",
                         static_cast<long long>(limit / 1000), controller.caption().c_str());
            std::fflush(out_);
            controller.onReceiverSilent();
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
    showProgress(controller);
    endProgressLine();
    return controller.result();
}

void ConsoleUi::showProgress(const DialogController& controller) {
    // What the dialog tells below its fields, each time it changes.
    if (std::string report = controller.report(); report != report_) {
        report_ = std::move(report);
        if (!report_.empty()) {
            endProgressLine();
            std::fprintf(out_, "%s\n", report_.c_str());
        }
    }
    const std::string text = controller.progressText();
    const int percent = controller.progressPercent();
    if (percent < 0) {
        if (!text.empty() && text != progressText_) {
            endProgressLine();
            std::fprintf(out_, "%s\n", text.c_str());
        }
    } else if (options_.terminal) {
        if (percent != percentShown_ || text != progressText_) {
            std::fprintf(out_, "\r%s %3d%%", text.c_str(), percent);
            progressLineOpen_ = true;
            percentShown_ = percent;
        }
    } else {
        const int step = percent / kPercentStep * kPercentStep;
        if (step != percentShown_ || text != progressText_) {
            std::fprintf(out_, "%s %d%%\n", text.c_str(), step);
            percentShown_ = step;
        }
    }
    progressText_ = text;
    std::fflush(out_);
}

void ConsoleUi::endProgressLine() {
    if (!progressLineOpen_) return;
    std::fputc('\n', out_);
    progressLineOpen_ = false;
}

void ConsoleUi::setStatusPane(const std::string& text) {
    endProgressLine();
    std::fprintf(out_, "status: %s\n", text.c_str());
    std::fflush(out_);
}

}  // namespace zamel
