#include "test_clocks.h"

#include <chrono>
#include <thread>

namespace zamel::testing {

namespace {
std::int64_t steadyUs() {
    using namespace std::chrono;
    return duration_cast<microseconds>(steady_clock::now().time_since_epoch()).count();
}
}  // namespace

ScaledClock::ScaledClock(int factor)
    : factor_(factor), startWallMs_(1'700'000'000'000), startSteadyUs_(steadyUs()) {}

std::int64_t ScaledClock::wallMs() const { return startWallMs_ + tickMs(); }

std::int64_t ScaledClock::tickMs() const {
    return (steadyUs() - startSteadyUs_) * factor_ / 1000;
}

void ScaledClock::sleepMs(std::int64_t ms) {
    if (ms > 0) std::this_thread::sleep_for(std::chrono::microseconds(ms * 1000 / factor_));
}

}  // namespace zamel::testing
