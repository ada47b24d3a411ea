#include "transfer_dialog.h"

#include <algorithm>
#include <cstdio>

#include "clock.h"
#include "flash_loader.h"
#include "receiver_link.h"
#include "ui.h"

namespace zamel {

TransferDialog::TransferDialog(ReceiverLink& link, Ui& ui, Clock& clock)
    : link_(link), ui_(ui), clock_(clock) {}

int TransferDialog::percentOf(std::uint64_t sent, std::uint64_t total) {
    if (total == 0) return 0;
    const double share = static_cast<double>(sent) / static_cast<double>(total);
    return std::min(100, static_cast<int>(share * 100.0 + 0.5));
}

void TransferDialog::onInit() {
    if (transferEngine() == nullptr) return;
    percent_ = 0;
    showPercentage(0);
    heardMs_ = clock_.tickMs();
    startTimer(kTimerId, kTimerPeriodMs);
}

void TransferDialog::onTimer(int timerId) {
    FlashLoader* engine = transferEngine();
    if (timerId != kTimerId || engine == nullptr || ended()) return;
    advance(*engine);
}

InputSource* TransferDialog::waitSource() const {
    const FlashLoader* engine = transferEngine();
    if (engine == nullptr || ended() || !link_.portDevice) return nullptr;
    // An engine that has stopped reads nothing: waking it would only spin.
    if (engine->state == FlashLoaderState::NoPort ||
        engine->state == FlashLoaderState::InvalidFlash)
        return nullptr;
    return link_.portDevice.get();
}

void TransferDialog::onReadable() {
    FlashLoader* engine = transferEngine();
    if (engine != nullptr && !ended()) advance(*engine);
}

// A hung-up port never brings the receiver's answer: the upload stops there rather
// than wait for time-outs that cannot help, and it is not reported complete.
bool TransferDialog::connectionLost() {
    if (!link_.portDevice || !link_.portDevice->hungUp()) return false;
    statusField() = kConnectionLostStatus;
    link_.autoMode = false;
    stop(kConnectionLostText);
    return true;
}

void TransferDialog::advance(FlashLoader& engine) {
    if (connectionLost()) return;
    // AllDone starts the protocol over on the next step: the dialog stops there.
    while (engine.step() && engine.state != FlashLoaderState::AllDone) {
    }
    // The engine ends in these states for good: waiting on would only hide it.
    if (engine.state == FlashLoaderState::NoPort ||
        engine.state == FlashLoaderState::InvalidFlash) {
        engine.statusText(statusField());
        link_.autoMode = false;
        stop(engine.state == FlashLoaderState::NoPort ? kNoPortText : kInvalidFlashText);
        return;
    }
    followEngine();
    noteEngineMoved(engine);
    if (engine.state == FlashLoaderState::FileDone && !endSent_) {
        sentTotal_ = engine.bytesSent;
        if (!startNextFile()) {
            engine.sendEnd();
            endSent_ = true;
            endSentMs_ = clock_.tickMs();
        }
    }
    engine.statusText(statusField());
    percent_ = percentOf(engine.bytesSent, fileTotal());
    showPercentage(percent_);
    if (!endSent_) return;
    if (engine.state == FlashLoaderState::AllDone) {
        finishTransfer(engine);
    } else if (clock_.tickMs() - endSentMs_ > kEndAcknowledgeLimitMs) {
        stop(kNoEndAcknowledgeText);
    }
}

void TransferDialog::finishTransfer(FlashLoader& engine) {
    stopTimer(kTimerId);
    if (!engine.wholePlanSent()) {
        stop(kPlanNotSentText);
        return;
    }
    if (engine.recordMode) {
        char text[96];
        if (engine.unitSize != sentTotal_) {
            std::snprintf(text, sizeof text, "Sent %ld bytes\nUnit received %ld",
                          static_cast<long>(sentTotal_), static_cast<long>(engine.unitSize));
            ui_.messageBox(text, "SIZE ERROR", MessageButtons::Ok, MessageIcon::Stop);
            endDialog(DialogResult::Cancel);
            return;
        }
        if (engine.unitChecksum != 0) {
            std::snprintf(text, sizeof text, "Non-zero checksum %04x", engine.unitChecksum);
            ui_.messageBox(text, "CHECKSUM ERROR", MessageButtons::Ok, MessageIcon::Stop);
            endDialog(DialogResult::Cancel);
            return;
        }
    }
    endDialog(DialogResult::Ok);
}

void TransferDialog::stop(const char* error) {
    stopTimer(kTimerId);
    ui_.messageBox(error, "ERROR", MessageButtons::Ok, MessageIcon::Stop);
    endDialog(DialogResult::Cancel);
}

void TransferDialog::noteEngineMoved(const FlashLoader& engine) {
    const EngineMark mark{static_cast<int>(engine.state), engine.bytesSent, engine.sectorsErased,
                          engine.segmentIndex()};
    if (mark == heardMark_) return;
    heardMark_ = mark;
    heardMs_ = clock_.tickMs();
}

std::int64_t TransferDialog::silentMs(std::int64_t) const {
    if (transferEngine() == nullptr || ended()) return 0;
    return clock_.tickMs() - heardMs_;
}

std::string TransferDialog::report() const {
    return silentMs(0) >= kSilenceNoticeMs ? kSilenceNotice : "";
}

void TransferDialog::onReceiverSilent() {
    if (ended()) return;
    statusField() = kSilentStatus;
    link_.autoMode = false;
    stop(kReceiverSilentText);
}

void TransferDialog::onCancel() {
    if (ended()) return;
    const std::int64_t askedMs = clock_.tickMs();
    const MessageAnswer answer =
        ui_.messageBox(kStopQuestion, "WARNING", MessageButtons::OkCancel, MessageIcon::Warning);
    // The receiver's answers wait while the user thinks: none of that time is its delay.
    const std::int64_t thinkingMs = clock_.tickMs() - askedMs;
    heardMs_ += thinkingMs;
    endSentMs_ += thinkingMs;
    if (answer != MessageAnswer::Ok) return;
    stopTimer(kTimerId);
    link_.autoMode = false;
    endDialog(DialogResult::Cancel);
}

}  // namespace zamel
