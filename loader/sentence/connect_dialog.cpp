#include "connect_dialog.h"

#include <cstdio>

#include "receiver_link.h"

namespace zamel {

namespace {

constexpr int kRatesPerPort = 4;
constexpr int kTicksPerProbe = 2;

std::int32_t nextRate(std::int32_t rate) {
    switch (rate) {
        case 4800:
            return 9600;
        case 9600:
            return 19200;
        case 19200:
            return 1200;
        default:
            return 4800;
    }
}

}  // namespace

ConnectDialog::ConnectDialog(ReceiverLink& link) : link_(link) {
    showProbe();
    openProbe();
}

void ConnectDialog::onInit() { startTimer(kTimerId, kTimerPeriodMs); }

void ConnectDialog::onTimer(int timerId) {
    if (timerId != kTimerId || ended()) return;
    const std::int32_t recognised = link_.pollReplies();
    if (recognised == 1 && link_.receiverClass != ReceiverClass::NotIdentified) {
        link_.baud = probeRate_;
        link_.comIndex = probeIndex_;
        stopTimer(kTimerId);
        endDialog(DialogResult::Ok);
    } else if (recognised == 0 && ++failedTicks_ >= kTicksPerProbe) {
        moveToNextProbe();
    }
    // Asked on the closing tick too: the receiver's answers wait in the queue.
    if (link_.portOpen) {
        link_.sendCommand("CMD,VERSION");
        link_.sendCommand("CMD,MEMORY");
    }
}

void ConnectDialog::onCancel() {
    stopTimer(kTimerId);
    link_.autoMode = false;
    endDialog(DialogResult::Cancel);
}

std::string ConnectDialog::progressText() const { return portText_ + " - " + deviceText_; }

void ConnectDialog::moveToNextProbe() {
    probeRate_ = nextRate(probeRate_);
    if (++rateChanges_ >= kRatesPerPort) {
        rateChanges_ = 0;
        probeIndex_ = (probeIndex_ + 1) % kPortCount;
        if (probeIndex_ == 0) endRound();
    }
    showProbe();
    openProbe();
}

void ConnectDialog::openProbe() {
    link_.ensureOpen(probeIndex_, probeRate_, false);
    // A port that would not open is left on the next tick, a silent one after two.
    failedTicks_ = link_.openFailed ? 1 : 0;
    PortRound& port = round_[static_cast<std::size_t>(probeIndex_)];
    port.lastOpen = link_.openOutcome;
    port.opened = port.opened || link_.portOpen;
    deviceText_ = portLine(probeIndex_, link_.openOutcome.mapping,
                           link_.portOpen ? "opened" : describeOpenFailure(link_.openOutcome));
}

void ConnectDialog::endRound() {
    ++rounds_;
    report_ = "No answer in round " + std::to_string(rounds_) + "; still searching:";
    for (int i = 0; i < kPortCount; ++i) {
        const PortRound& port = round_[static_cast<std::size_t>(i)];
        report_ += "\n" + portLine(i, port.lastOpen.mapping,
                                   port.opened ? "opened, no answer at any rate"
                                               : describeOpenFailure(port.lastOpen));
    }
    round_ = {};
}

void ConnectDialog::showProbe() {
    char text[64];
    std::snprintf(text, sizeof text, "Using COM%d at %ld baud", static_cast<int>(probeIndex_ + 1),
                  static_cast<long>(probeRate_));
    portText_ = text;
}

}  // namespace zamel
