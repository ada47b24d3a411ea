#pragma once

#include <cstdint>

namespace zamel {

// Time as the core sees it. Nothing in the core reads the system clock or sleeps
// directly, so tests can set the time by hand or run it faster.
class Clock {
public:
    virtual ~Clock() = default;

    // Calendar time in milliseconds since the epoch.
    virtual std::int64_t wallMs() const = 0;
    // Monotonic milliseconds, for measuring intervals.
    virtual std::int64_t tickMs() const = 0;
    virtual void sleepMs(std::int64_t ms) = 0;

    // Calendar time in whole seconds, as time() gives it.
    std::int64_t calendarSeconds() const {
        const std::int64_t ms = wallMs();
        return ms >= 0 ? ms / 1000 : -((-ms + 999) / 1000);
    }
};

}  // namespace zamel
