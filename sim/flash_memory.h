#pragma once

#include <bitset>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <span>

namespace zamel::sim {

// The receiver's flash as the boot loader sees it during one transfer: 64 KiB
// sectors that must be erased (all 0xFF) before a byte can be programmed, and each
// byte programmed at most once after an erase. Storage is sparse: only sectors
// that hold programmed bytes take memory.
class FlashMemory {
  public:
    static constexpr std::uint32_t kSectorSize = 0x10000;
    static constexpr std::uint8_t kErasedByte = 0xFF;

    enum class WriteResult { Ok, NotErased, AlreadyProgrammed };

    // Erases every sector that holds a byte of [first, last]; returns how many.
    std::uint32_t eraseRange(std::uint32_t first, std::uint32_t last);
    // Number of sectors eraseRange(first, last) touches.
    static std::uint32_t sectorCount(std::uint32_t first, std::uint32_t last);
    // Erases the sectors of [first, last] that are not erased yet, keeping what the
    // others hold: a unit that erases each sector as a map reaches it.
    void ensureErased(std::uint32_t first, std::uint32_t last);
    bool isErased(std::uint32_t address) const;

    // All or nothing: on any refusal nothing is written.
    WriteResult program(std::uint32_t address, std::span<const std::uint8_t> bytes);
    // Returns programmed bytes to the erased state (a record the unit takes back).
    void unprogram(std::uint32_t address, std::uint32_t length);

    std::uint8_t read(std::uint32_t address) const;
    bool isProgrammed(std::uint32_t address) const;
    std::uint64_t programmedCount() const;
    bool empty() const { return programmedCount() == 0; }

    // Calls visit(address, byte) for every programmed byte in ascending address order.
    void forEachProgrammed(const std::function<void(std::uint32_t, std::uint8_t)>& visit) const;

  private:
    struct Sector {
        std::uint8_t data[kSectorSize];
        std::bitset<kSectorSize> programmed;
    };

    Sector* sectorFor(std::uint32_t address);

    std::set<std::uint32_t> erasedSectors_;
    std::map<std::uint32_t, std::unique_ptr<Sector>> sectors_;
};

}  // namespace zamel::sim
