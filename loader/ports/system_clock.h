#pragma once

#include "clock.h"

namespace zamel {

// The real clock: system calendar time, steady ticks, thread sleep.
class SystemClock final : public Clock {
public:
    std::int64_t wallMs() const override;
    std::int64_t tickMs() const override;
    void sleepMs(std::int64_t ms) override;
};

}  // namespace zamel
