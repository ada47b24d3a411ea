#pragma once

#include <cstdint>
#include <deque>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "line_timing.h"

namespace zamel::sim {

// Protocol errors of the far end: what a loader sent that a real unit would not
// take, each as one line "protocol error: WHAT (state S, N bytes: ..)". Bytes the
// unit loses one at a time (sent while it was busy, or where nothing belongs) are
// gathered into one report per run of the same cause.
class BreachLog {
  public:
    // A run of lost bytes ends when this long passes without another.
    static constexpr SimTime kRunQuiet = std::chrono::milliseconds(20);
    // Bytes shown in a report; the count says how many there were.
    static constexpr std::size_t kBytesShown = 16;

    void report(const std::string& state, const std::string& what,
                std::span<const std::uint8_t> bytes);
    void lose(SimTime now, const std::string& state, const std::string& what, std::uint8_t byte);
    // Closes the run of lost bytes, if any, into its report.
    void endRun();
    void tick(SimTime now);
    std::optional<SimTime> nextWake() const;
    std::optional<std::string> take();

  private:
    struct Run {
        std::string state;
        std::string what;
        std::vector<std::uint8_t> bytes;
        SimTime last;
    };

    std::optional<Run> run_;
    std::deque<std::string> reports_;
};

}  // namespace zamel::sim
