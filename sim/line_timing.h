#pragma once

#include <chrono>
#include <cstdint>

namespace zamel::sim {

// Time as the simulated receiver sees it: elapsed since the simulator started.
using SimTime = std::chrono::microseconds;

// A byte on an asynchronous line takes ten bit times: start bit, eight data bits, stop bit.
inline constexpr int kBitsPerByte = 10;

// Time one byte occupies the line at the given rate; zero for an unknown rate.
inline SimTime byteTime(long baud) {
    if (baud <= 0) return SimTime{0};
    return SimTime{(kBitsPerByte * 1'000'000LL + baud - 1) / baud};
}

}  // namespace zamel::sim
