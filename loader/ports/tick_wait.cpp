#include "tick_wait.h"

#include <cstdint>

#include "clock.h"
#include "dialog_controller.h"
#include "input_source.h"

namespace zamel {

void waitForNextTick(DialogController& controller, Clock& clock, int periodMs) {
    const std::int64_t deadline = clock.tickMs() + periodMs;
    bool hangUpReported = false;
    while (!controller.ended()) {
        const std::int64_t remaining = deadline - clock.tickMs();
        if (remaining <= 0) return;
        InputSource* source = hangUpReported ? nullptr : controller.waitSource();
        if (source == nullptr) {
            clock.sleepMs(remaining);
            return;
        }
        if (source->hungUp()) {
            hangUpReported = true;
        } else if (source->waitReadable(static_cast<int>(remaining)) == 0) {
            continue;
        }
        controller.onReadable();
    }
}

}  // namespace zamel
