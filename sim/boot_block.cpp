#include "boot_block.h"

namespace zamel::sim {

namespace {

// Program code goes from address 0.
constexpr std::uint32_t kCodeStart = 0;

}  // namespace

void BootBlock::transferCompleted(std::optional<std::uint32_t> eraseStart) {
    if (eraseStart == kCodeStart) awaited_ = true;
    if (eraseStart == kStart) awaited_ = false;
}

std::optional<std::string> BootBlock::startProblem(const FlashMemory& flash) const {
    if (awaited_)
        return "protocol error: the unit cannot start its firmware: program code was written "
               "and no transfer erasing from 0x70000 reloaded its boot block";
    if (flash.wasErased(kStart) && !flash.isProgrammed(kStart))
        return "protocol error: the unit cannot start its firmware: its boot block at 0x70000 "
               "was erased and not written again";
    return std::nullopt;
}

}  // namespace zamel::sim
