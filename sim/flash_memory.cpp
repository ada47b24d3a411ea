#include "flash_memory.h"

#include <algorithm>

namespace zamel::sim {

namespace {

std::uint32_t sectorOf(std::uint32_t address) { return address / FlashMemory::kSectorSize; }
std::uint32_t offsetIn(std::uint32_t address) { return address % FlashMemory::kSectorSize; }

}  // namespace

std::uint32_t FlashMemory::sectorCount(std::uint32_t first, std::uint32_t last) {
    if (first > last) return 0;
    return sectorOf(last) - sectorOf(first) + 1;
}

std::uint32_t FlashMemory::eraseRange(std::uint32_t first, std::uint32_t last) {
    const std::uint32_t count = sectorCount(first, last);
    for (std::uint32_t i = 0; i < count; ++i) eraseSector(sectorOf(first) + i);
    return count;
}

void FlashMemory::ensureErased(std::uint32_t first, std::uint32_t last) {
    const std::uint32_t count = sectorCount(first, last);
    for (std::uint32_t i = 0; i < count; ++i) {
        const std::uint32_t sector = sectorOf(first) + i;
        if (erasedInTransfer_.count(sector) == 0) eraseSector(sector);
    }
}

void FlashMemory::eraseSector(std::uint32_t sector) {
    erasedInTransfer_.insert(sector);
    everErased_.insert(sector);
    sectors_.erase(sector);
}

bool FlashMemory::isErased(std::uint32_t address) const {
    return erasedInTransfer_.count(sectorOf(address)) != 0;
}

bool FlashMemory::wasErased(std::uint32_t address) const {
    return everErased_.count(sectorOf(address)) != 0;
}

FlashMemory::Sector* FlashMemory::sectorFor(std::uint32_t address) {
    auto& slot = sectors_[sectorOf(address)];
    if (!slot) {
        slot = std::make_unique<Sector>();
        std::fill(std::begin(slot->data), std::end(slot->data), kErasedByte);
    }
    return slot.get();
}

FlashMemory::WriteResult FlashMemory::program(std::uint32_t address,
                                              std::span<const std::uint8_t> bytes) {
    if (bytes.empty()) return WriteResult::Ok;
    const std::uint64_t last = std::uint64_t{address} + bytes.size() - 1;
    if (last > 0xFFFFFFFFu) return WriteResult::NotErased;
    for (std::uint64_t a = address; a <= last; ++a) {
        const auto at = static_cast<std::uint32_t>(a);
        if (!isErased(at)) return WriteResult::NotErased;
        if (isProgrammed(at)) return WriteResult::AlreadyProgrammed;
    }
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const auto at = static_cast<std::uint32_t>(address + i);
        Sector* sector = sectorFor(at);
        sector->data[offsetIn(at)] = bytes[i];
        sector->programmed.set(offsetIn(at));
    }
    return WriteResult::Ok;
}

void FlashMemory::unprogram(std::uint32_t address, std::uint32_t length) {
    for (std::uint64_t i = 0; i < length; ++i) {
        const std::uint64_t a = std::uint64_t{address} + i;
        if (a > 0xFFFFFFFFu) break;
        const auto found = sectors_.find(sectorOf(static_cast<std::uint32_t>(a)));
        if (found == sectors_.end()) continue;
        const std::uint32_t offset = offsetIn(static_cast<std::uint32_t>(a));
        found->second->data[offset] = kErasedByte;
        found->second->programmed.reset(offset);
    }
}

std::uint8_t FlashMemory::read(std::uint32_t address) const {
    const auto found = sectors_.find(sectorOf(address));
    if (found == sectors_.end()) return kErasedByte;
    return found->second->data[offsetIn(address)];
}

bool FlashMemory::isProgrammed(std::uint32_t address) const {
    const auto found = sectors_.find(sectorOf(address));
    return found != sectors_.end() && found->second->programmed.test(offsetIn(address));
}

std::uint64_t FlashMemory::programmedCount() const {
    std::uint64_t count = 0;
    for (const auto& [index, sector] : sectors_) count += sector->programmed.count();
    return count;
}

void FlashMemory::forEachProgrammed(
    const std::function<void(std::uint32_t, std::uint8_t)>& visit) const {
    for (const auto& [index, sector] : sectors_) {
        for (std::uint32_t offset = 0; offset < kSectorSize; ++offset) {
            if (sector->programmed.test(offset))
                visit(index * kSectorSize + offset, sector->data[offset]);
        }
    }
}

}  // namespace zamel::sim
