#pragma once

#include <array>
#include <bitset>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>

namespace zamel::soak {

// Bytes at 32-bit addresses, most of them absent: what an image puts into a
// receiver's flash, or what a flash dump says was programmed. Kept in 64 KiB
// pages, so half a megabyte costs half a megabyte.
class SparseBytes {
  public:
    void set(std::uint32_t address, std::uint8_t value);
    std::optional<std::uint8_t> at(std::uint32_t address) const;
    bool has(std::uint32_t address) const { return at(address).has_value(); }
    std::uint64_t size() const { return count_; }
    // visit(address, byte) for every byte present, in ascending address order.
    void forEach(const std::function<void(std::uint32_t, std::uint8_t)>& visit) const;

  private:
    static constexpr std::uint32_t kPageBytes = 0x10000;
    struct Page {
        std::array<std::uint8_t, kPageBytes> data{};
        std::bitset<kPageBytes> present;
    };
    std::map<std::uint32_t, std::unique_ptr<Page>> pages_;
    std::uint64_t count_ = 0;
};

}  // namespace zamel::soak
