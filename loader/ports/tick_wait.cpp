#include "tick_wait.h"

#include <poll.h>

#include <cstdint>

#include "clock.h"
#include "dialog_controller.h"

namespace zamel {

void waitForNextTick(DialogController& controller, Clock& clock, int periodMs) {
    const std::int64_t deadline = clock.tickMs() + periodMs;
    bool hangUpReported = false;
    while (!controller.ended()) {
        const std::int64_t remaining = deadline - clock.tickMs();
        if (remaining <= 0) return;
        const int descriptor = hangUpReported ? -1 : controller.waitDescriptor();
        if (descriptor < 0) {
            clock.sleepMs(remaining);
            return;
        }
        pollfd watched{descriptor, POLLIN, 0};
        if (::poll(&watched, 1, static_cast<int>(remaining)) <= 0) continue;
        hangUpReported = (watched.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0;
        controller.onReadable();
    }
}

}  // namespace zamel
