#pragma once

#include <bitset>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <span>

namespace zamel::sim {

// The receiver's flash: 64 KiB sectors that must be erased (all 0xFF) before a
// byte can be programmed, and each byte programmed at most once after an erase. It
// keeps what it holds from transfer to transfer, but a transfer writes only to the
// sectors it erased itself. Storage is sparse: only sectors that hold programmed
// bytes take memory.
class FlashMemory {
  public:
    static constexpr std::uint32_t kSectorSize = 0x10000;
    static constexpr std::uint8_t kErasedByte = 0xFF;

    enum class WriteResult { Ok, NotErased, AlreadyProgrammed };

    // Erases every sector that holds a byte of [first, last]; returns how many.
    std::uint32_t eraseRange(std::uint32_t first, std::uint32_t last);
    // Number of sectors eraseRange(first, last) touches.
    static std::uint32_t sectorCount(std::uint32_t first, std::uint32_t last);
    // Erases the sectors of [first, last] that this transfer has not erased yet,
    // keeping what the others hold: a unit that erases each sector as a map reaches it.
    void ensureErased(std::uint32_t first, std::uint32_t last);
    // A new transfer: no sector takes bytes until it erases it; the contents stay.
    void beginTransfer() { erasedInTransfer_.clear(); }
    // Erased in this transfer, so its unprogrammed bytes may be programmed.
    bool isErased(std::uint32_t address) const;
    // Erased at some time since the unit started: its unprogrammed bytes read 0xFF.
    bool wasErased(std::uint32_t address) const;

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
    void eraseSector(std::uint32_t sector);

    std::set<std::uint32_t> erasedInTransfer_;
    std::set<std::uint32_t> everErased_;
    std::map<std::uint32_t, std::unique_ptr<Sector>> sectors_;
};

}  // namespace zamel::sim
