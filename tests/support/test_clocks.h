#pragma once

#include <cstdint>

#include "clock.h"

namespace zamel::testing {

// A clock that moves only when told to; sleeping advances it at once.
class ManualClock final : public Clock {
public:
    explicit ManualClock(std::int64_t startWallMs = 1'700'000'000'000) : wallMs_(startWallMs) {}

    std::int64_t wallMs() const override { return wallMs_; }
    std::int64_t tickMs() const override { return tickMs_; }
    void sleepMs(std::int64_t ms) override { advanceMs(ms); }

    void advanceMs(std::int64_t ms) {
        wallMs_ += ms;
        tickMs_ += ms;
        sleptMs_ += ms;
    }
    void setWallMs(std::int64_t ms) { wallMs_ = ms; }
    std::int64_t sleptMs() const { return sleptMs_; }

private:
    std::int64_t wallMs_;
    std::int64_t tickMs_ = 0;
    std::int64_t sleptMs_ = 0;
};

// Real time run faster by a factor: a one-second dialog tick takes 10 ms at 100x.
class ScaledClock final : public Clock {
public:
    explicit ScaledClock(int factor = 100);

    std::int64_t wallMs() const override;
    std::int64_t tickMs() const override;
    void sleepMs(std::int64_t ms) override;

private:
    int factor_;
    std::int64_t startWallMs_;
    std::int64_t startSteadyUs_;
};

}  // namespace zamel::testing
