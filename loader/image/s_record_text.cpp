#include "s_record_text.h"

#include <algorithm>
#include <array>

namespace zamel::srecord {

namespace {

constexpr std::array<std::int8_t, 256> makeHexTable() {
    std::array<std::int8_t, 256> table{};
    for (auto& v : table) v = -1;
    for (int i = 0; i < 10; ++i) table['0' + i] = static_cast<std::int8_t>(i);
    for (int i = 0; i < 6; ++i) {
        table['A' + i] = static_cast<std::int8_t>(10 + i);
        table['a' + i] = static_cast<std::int8_t>(10 + i);
    }
    return table;
}

constexpr std::array<std::int8_t, 256> kHexTable = makeHexTable();

// Count and 8-digit address of an S3 record whose "S3" stands at `at`.
constexpr std::size_t kS3CountOffset = 2;
constexpr std::size_t kS3AddressOffset = 4;
constexpr int kS3AddressDigits = 8;
constexpr std::uint32_t kWindowBytes = 0x1000000;

std::uint32_t lastDataAddress(std::uint32_t count, std::uint32_t address) {
    // A record without data ends at its own address rather than wrapping below it.
    std::uint32_t last = address + std::max<std::uint32_t>(count, 6) - 6;
    if (last >= kWindowBytes) last &= kWindowBytes - 1;
    return last;
}

}  // namespace

int hexDigitValue(char c) { return kHexTable[static_cast<std::uint8_t>(c)]; }

std::optional<std::uint32_t> parseHex(std::string_view text, std::size_t first, int digits) {
    if (digits < 1 || digits > 8 || first > text.size() ||
        text.size() - first < static_cast<std::size_t>(digits))
        return std::nullopt;
    std::uint32_t value = 0;
    for (int i = 0; i < digits; ++i) {
        const int d = hexDigitValue(text[first + static_cast<std::size_t>(i)]);
        if (d < 0) return std::nullopt;
        value = (value << 4) | static_cast<std::uint32_t>(d);
    }
    return value;
}

std::size_t countHexPairs(std::string_view text, std::size_t first) {
    std::size_t pairs = 0;
    for (std::size_t i = first; i + 1 < text.size(); i += 2) {
        if (hexDigitValue(text[i]) < 0 || hexDigitValue(text[i + 1]) < 0) break;
        ++pairs;
    }
    return pairs;
}

void decodeHexPairs(std::string_view text, std::size_t first, std::span<std::uint8_t> out) {
    const char* p = text.data() + first;
    for (std::uint8_t& byte : out) {
        byte = static_cast<std::uint8_t>((kHexTable[static_cast<std::uint8_t>(p[0])] << 4) |
                                         kHexTable[static_cast<std::uint8_t>(p[1])]);
        p += 2;
    }
}

std::size_t dataLength(std::string_view text, std::size_t dataStart, std::int32_t byteCount,
                       int overheadBytes) {
    const std::int32_t claimed = byteCount - overheadBytes;
    if (claimed <= 0) return 0;
    const std::size_t pairs = countHexPairs(text, dataStart);
    const std::size_t held = pairs > 0 ? pairs - 1 : 0;
    return std::min(static_cast<std::size_t>(claimed), held);
}

std::optional<std::uint32_t> lastDataAddressOfLine(std::string_view text) {
    if (text.size() < 2 || text[0] != 'S' || text[1] != '3') return std::nullopt;
    const auto count = parseHex(text, kS3CountOffset, 2);
    const auto address = parseHex(text, kS3AddressOffset, kS3AddressDigits);
    if (!count || !address) return std::nullopt;
    return lastDataAddress(*count, *address);
}

std::optional<std::uint32_t> lastDataAddressInTail(std::span<const std::uint8_t> tail) {
    const std::string_view text(reinterpret_cast<const char*>(tail.data()), tail.size());
    // "\nS3" + count + address must lie wholly within the tail.
    constexpr std::size_t kNeeded = 1 + kS3AddressOffset + kS3AddressDigits;
    if (text.size() < kNeeded) return std::nullopt;
    for (std::size_t i = text.size() - kNeeded + 1; i-- > 0;) {
        if (text[i] != '\n') continue;
        if (const auto last = lastDataAddressOfLine(text.substr(i + 1))) return last;
    }
    return std::nullopt;
}

}  // namespace zamel::srecord
