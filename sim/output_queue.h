#pragma once

#include <cstdint>
#include <deque>
#include <optional>
#include <span>

#include "line_timing.h"

namespace zamel::sim {

// Bytes the receiver has decided to send, each with the earliest time it may leave.
// Times never decrease along the queue, so bytes leave in the order they were queued.
class OutputQueue {
  public:
    struct Entry {
        std::uint8_t byte;
        SimTime due;
    };

    void send(std::span<const std::uint8_t> bytes, SimTime notBefore);
    void send(std::uint8_t byte, SimTime notBefore);

    bool empty() const { return entries_.empty(); }
    std::size_t size() const { return entries_.size(); }
    const Entry& front() const { return entries_.front(); }
    const Entry& at(std::size_t index) const { return entries_.at(index); }
    void pop() { entries_.pop_front(); }
    void clear() { entries_.clear(); }
    std::optional<SimTime> nextDue() const;

  private:
    std::deque<Entry> entries_;
};

}  // namespace zamel::sim
