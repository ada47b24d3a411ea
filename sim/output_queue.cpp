#include "output_queue.h"

#include <algorithm>

namespace zamel::sim {

void OutputQueue::send(std::uint8_t byte, SimTime notBefore) {
    const SimTime due = entries_.empty() ? notBefore : std::max(notBefore, entries_.back().due);
    entries_.push_back({byte, due});
}

void OutputQueue::send(std::span<const std::uint8_t> bytes, SimTime notBefore) {
    for (std::uint8_t b : bytes) send(b, notBefore);
}

std::optional<SimTime> OutputQueue::nextDue() const {
    if (entries_.empty()) return std::nullopt;
    return entries_.front().due;
}

}  // namespace zamel::sim
