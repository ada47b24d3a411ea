#pragma once

#include <cstdint>
#include <random>
#include <utility>
#include <vector>

namespace zamel::soak {

// The soak's one source of chance: every draw of a run comes from the run's seed,
// so a seed replays the same plan. Draws are built on the raw generator output
// (not on the standard distributions, whose results differ between libraries).
class Rng {
  public:
    explicit Rng(std::uint32_t seed) : engine_(seed) {}

    // A number in [0, n); 0 when n is 0.
    std::uint32_t below(std::uint32_t n) { return n == 0 ? 0 : engine_() % n; }
    // A number in [low, high].
    std::uint32_t between(std::uint32_t low, std::uint32_t high) {
        return low + below(high - low + 1);
    }
    // True in `times` of `outOf` draws.
    bool chance(std::uint32_t times, std::uint32_t outOf) { return below(outOf) < times; }
    std::uint8_t byte() { return static_cast<std::uint8_t>(engine_()); }

    template <typename T>
    const T& pick(const std::vector<T>& items) {
        return items[below(static_cast<std::uint32_t>(items.size()))];
    }
    // One of the items, each as likely as its weight.
    template <typename T>
    const T& weighted(const std::vector<std::pair<std::uint32_t, T>>& items) {
        std::uint32_t total = 0;
        for (const auto& item : items) total += item.first;
        std::uint32_t at = below(total);
        for (const auto& item : items) {
            if (at < item.first) return item.second;
            at -= item.first;
        }
        return items.back().second;
    }

  private:
    std::mt19937 engine_;
};

}  // namespace zamel::soak
