#include "header_query_dialog.h"

#include <algorithm>
#include <cstdio>

#include "clock.h"
#include "receiver_link.h"

namespace zamel {

HeaderQueryDialog::HeaderQueryDialog(ReceiverLink& link, const Clock& clock)
    : link_(link), clock_(clock), startWallMs_(clock.wallMs()) {
    char text[64];
    std::snprintf(text, sizeof text, "%s on COM%d", link_.modelName,
                  static_cast<int>(link_.comIndex + 1));
    connectionText_ = text;
}

void HeaderQueryDialog::onInit() {
    startTimer(kTimerId, kTimerPeriodMs);
    sendQueries();
}

void HeaderQueryDialog::onTimer(int timerId) {
    if (timerId != kTimerId || ended()) return;
    if (link_.pollReplies() == 1 && headersArrived()) {
        stopTimer(kTimerId);
        endDialog(DialogResult::Ok);
    }
    // The tick that ends the dialog, too, shows the time it took and sends the
    // queries: the receiver sees the same sentences as on every other tick.
    const std::int64_t elapsedSeconds =
        std::max<std::int64_t>(0, (clock_.wallMs() - startWallMs_) / 1000);
    char text[16];
    std::snprintf(text, sizeof text, "%02d:%02d:%02d", static_cast<int>(elapsedSeconds / 3600 % 24),
                  static_cast<int>(elapsedSeconds / 60 % 60),
                  static_cast<int>(elapsedSeconds % 60));
    elapsedText_ = text;
    // Refreshing the fields asks, and the tick asks once more.
    sendQueries();
    sendQueries();
}

void HeaderQueryDialog::onCancel() {
    stopTimer(kTimerId);
    link_.autoMode = false;
    endDialog(DialogResult::Cancel);
}

bool HeaderQueryDialog::headersArrived() const {
    return (!link_.hasPoiHeader || link_.poiHeader[0] != 0) &&
           (!link_.hasMapHeader || link_.mapHeader[0] != 0);
}

void HeaderQueryDialog::sendQueries() {
    if (!link_.portOpen) return;
    if (link_.hasPoiHeader) link_.sendCommand("CMD,PIH");
    if (link_.hasMapHeader) link_.sendCommand("CMD,MPH");
}

}  // namespace zamel
