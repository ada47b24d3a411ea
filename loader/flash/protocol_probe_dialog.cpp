#include "protocol_probe_dialog.h"

#include <cstdio>

#include "clock.h"
#include "receiver_link.h"

namespace zamel {

ProtocolProbeDialog::ProtocolProbeDialog(ReceiverLink& link, const Clock& clock)
    : link_(link), clock_(clock), startTimeMs_(clock.wallMs()) {
    char text[64];
    std::snprintf(text, sizeof text, "%s on COM%d", link.modelName, link.comIndex + 1);
    connectionText_ = text;
    openAtProbeBaud();
}

void ProtocolProbeDialog::onInit() { startTimer(kTimerId, kTimerPeriodMs); }

void ProtocolProbeDialog::onTimer(int timerId) {
    if (timerId != kTimerId) return;
    // A port that failed to open is tried again rather than waited on.
    if (!link_.portOpen) openAtProbeBaud();
    if (!greeted() && ++tickCount_ >= kTicksPerRate) {
        probeBaud_ = probeBaud_ == kSlowBaud ? kFastBaud : kSlowBaud;
        openAtProbeBaud();
        tickCount_ = 0;
    }
    const std::int64_t elapsedSeconds = (clock_.wallMs() - startTimeMs_) / 1000;
    const int hours = static_cast<int>(elapsedSeconds / 3600);
    const int minutes = static_cast<int>(elapsedSeconds / 60 % 60);
    const int seconds = static_cast<int>(elapsedSeconds % 60);
    char text[32];
    std::snprintf(text, sizeof text, "%02d:%02d:%02d", hours, minutes, seconds);
    elapsedText_ = text;
}

InputSource* ProtocolProbeDialog::waitSource() const {
    // A hung-up line would wake the host for ever: the ticks go on trying instead.
    if (ended() || !link_.portOpen || !link_.portDevice || link_.portDevice->hungUp())
        return nullptr;
    return link_.portDevice.get();
}

void ProtocolProbeDialog::onReadable() {
    if (!ended()) greeted();
}

bool ProtocolProbeDialog::greeted() {
    if (!link_.portOpen || link_.waitLoaderByte() != 1) return false;
    stopTimer(kTimerId);
    endDialog(DialogResult::Ok);
    return true;
}

void ProtocolProbeDialog::onCancel() {
    stopTimer(kTimerId);
    link_.autoMode = false;
    endDialog(DialogResult::Cancel);
}

void ProtocolProbeDialog::openAtProbeBaud() { link_.ensureOpen(link_.comIndex, probeBaud_, false); }

}  // namespace zamel
