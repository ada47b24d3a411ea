#include "breach_log.h"

#include <cstdio>

namespace zamel::sim {

namespace {

std::string describe(std::span<const std::uint8_t> bytes) {
    std::string text = std::to_string(bytes.size()) + (bytes.size() == 1 ? " byte:" : " bytes:");
    for (std::size_t i = 0; i < bytes.size() && i < BreachLog::kBytesShown; ++i) {
        char hex[4];
        std::snprintf(hex, sizeof hex, " %02X", bytes[i]);
        text += hex;
    }
    if (bytes.size() > BreachLog::kBytesShown) text += " ...";
    return text;
}

}  // namespace

void BreachLog::report(const std::string& state, const std::string& what,
                       std::span<const std::uint8_t> bytes) {
    endRun();
    reports_.push_back("protocol error: " + what + " (state " + state + ", " + describe(bytes) +
                       ")");
}

void BreachLog::lose(SimTime now, const std::string& state, const std::string& what,
                     std::uint8_t byte) {
    if (run_ && (run_->what != what || run_->state != state)) endRun();
    if (!run_) run_ = Run{state, what, {}, now};
    run_->bytes.push_back(byte);
    run_->last = now;
}

void BreachLog::endRun() {
    if (!run_) return;
    Run run = std::move(*run_);
    run_.reset();
    report(run.state, run.what, run.bytes);
}

void BreachLog::tick(SimTime now) {
    if (run_ && now - run_->last >= kRunQuiet) endRun();
}

std::optional<SimTime> BreachLog::nextWake() const {
    if (!run_) return std::nullopt;
    return run_->last + kRunQuiet;
}

std::optional<std::string> BreachLog::take() {
    if (reports_.empty()) return std::nullopt;
    std::string text = std::move(reports_.front());
    reports_.pop_front();
    return text;
}

}  // namespace zamel::sim
