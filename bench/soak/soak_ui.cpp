#include "soak_ui.h"

#include "dialog_controller.h"
#include "tick_wait.h"

namespace zamel::soak {

namespace {

constexpr const char* kContentWarningTitle = "WARNING - FIRMWARE PROBLEM";
constexpr const char* kAnswerNames[] = {"OK", "Cancel", "Yes", "No"};

bool contains(const std::string& text, const char* part) {
    return text.find(part) != std::string::npos;
}

}  // namespace

SoakUi::SoakUi(Clock& clock, Answers answers, std::FILE* log)
    : clock_(clock), answers_(std::move(answers)), log_(log) {}

void SoakUi::note(const char* format, const std::string& a, const std::string& b) {
    if (log_ == nullptr) return;
    std::fprintf(log_, format, a.c_str(), b.c_str());
    std::fflush(log_);
}

MessageAnswer SoakUi::messageBox(const std::string& text, const std::string& title,
                                 MessageButtons buttons, MessageIcon icon) {
    MessageAnswer answer = MessageAnswer::Ok;
    if (buttons == MessageButtons::YesNo) {
        answer = MessageAnswer::Yes;
    } else if (buttons == MessageButtons::OkCancelDefaultCancel && title == kContentWarningTitle &&
               !answers_.trustsFiles) {
        answer = MessageAnswer::Cancel;
    }
    messages.push_back({text, title, icon, answer});
    note("  [%s] %s", title, text);
    note(" -> %s\n", kAnswerNames[static_cast<int>(answer)]);
    return answer;
}

std::optional<std::string> SoakUi::openFile(const std::string& title, const std::string&,
                                            const std::string&, const std::string&) {
    std::optional<std::string> path;
    if (contains(title, "code")) {
        path = answers_.codePath;
    } else if (contains(title, "map") || contains(title, "data")) {
        path = answers_.dataPath;
    }
    if (path && path->empty()) path.reset();
    note("  [%s] file dialog -> %s\n", title, path.value_or("(cancelled)"));
    return path;
}

void SoakUi::setStatusPane(const std::string& text) { note("  status bar: %s%s\n", text); }

bool SoakUi::isTransferDialog(const DialogController& controller) const {
    const std::string caption = controller.caption();
    return caption == "Upload status" || caption == "Upload of NAV 415/420";
}

std::string SoakUi::choose(const DialogController& controller) const {
    const std::string caption = controller.caption();
    if (caption == "Select upload type" || caption == "NAV 415/420 - select upload type")
        return answers_.typeChoice;
    if (caption == "UPLOAD FILE") return "Upload File";
    if (caption == "Upload") return "YES";
    return controller.choices().front();
}

DialogResult SoakUi::runModal(DialogController& controller) {
    const std::string caption = controller.caption();
    const bool transfer = isTransferDialog(controller);
    const int transferNumber = transfer ? ++transfersShown_ : 0;
    note("  [%s]%s\n", caption);
    controller.onInit();
    if (!controller.choices().empty() && !controller.ended()) {
        const std::string choice = choose(controller);
        note("  [%s] -> %s\n", caption, choice);
        controller.choose(choice);
    }
    const std::int64_t openedMs = clock_.tickMs();
    while (!controller.ended()) {
        const std::int64_t elapsedMs = clock_.tickMs() - openedMs;
        if (transfer && transferWatch_) transferWatch_(transferNumber, elapsedMs);
        // A dialog that is neither a transfer nor waiting on a timer could never end.
        if (controller.timers().empty() || (!transfer && elapsedMs > kPatienceMs)) {
            messages.push_back({"waiting in \"" + caption + "\"", kGaveUpTitle, MessageIcon::None,
                                MessageAnswer::Cancel});
            note("  [%s] the user gives up waiting%s\n", caption);
            controller.onCancel();
            break;
        }
        const auto [timerId, periodMs] = controller.firstTimer();
        waitForNextTick(controller, clock_, periodMs);
        if (!controller.ended()) controller.onTimer(timerId);
    }
    note("  [%s] closed with %s\n", caption,
         controller.result() == DialogResult::Ok ? "OK" : "Cancel");
    return controller.result();
}

}  // namespace zamel::soak
