#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "flash_memory.h"

namespace zamel::sim {

// The boot block of a NAV 415/420 with firmware older than 3, the flash from
// 0x70000 on, through which the unit starts its firmware. Once program code is
// written (an erase from 0) the unit comes back in its boot loader and waits for a
// transfer that erases from 0x70000 before its firmware runs again. It cannot
// start at all when the sector at 0x70000 was erased and the byte at 0x70000 was
// not programmed since.
class BootBlock {
  public:
    static constexpr std::uint32_t kStart = 0x70000;

    // A transfer ended with its end frame answered; eraseStart is the first address
    // of its erase, none when it had none.
    void transferCompleted(std::optional<std::uint32_t> eraseStart);
    // The unit stays in its boot loader for its boot block.
    bool awaited() const { return awaited_; }
    // What keeps the unit from starting its firmware if it were powered on now, as a
    // protocol error line; nothing when it would start.
    std::optional<std::string> startProblem(const FlashMemory& flash) const;

  private:
    bool awaited_ = false;
};

}  // namespace zamel::sim
