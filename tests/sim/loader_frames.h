#pragma once

#include <cstdint>
#include <cstdio>
#include <span>
#include <string>
#include <vector>

namespace zamel::sim::testing {

// Bytes a loader sends, built here from the wire rules so the tests do not borrow
// the simulator's own framing code.

inline std::vector<std::uint8_t> sentence(const std::string& body) {
    std::uint8_t sum = 0;
    const std::string covered = "PQVX" + body;
    for (char c : covered) sum ^= static_cast<std::uint8_t>(c);
    char digits[3];
    std::snprintf(digits, sizeof digits, "%02X", sum);
    const std::string text = "$" + covered + "*" + digits + "\r\n";
    return {text.begin(), text.end()};
}

inline void appendWord(std::vector<std::uint8_t>& out, std::uint16_t word) {
    out.push_back(static_cast<std::uint8_t>(word >> 8));
    out.push_back(static_cast<std::uint8_t>(word & 0xFF));
}

// "[" L payload checksum "]", the payload padded to whole words.
inline std::vector<std::uint8_t> loaderFrame(std::vector<std::uint8_t> payload) {
    if (payload.size() % 2 != 0) payload.push_back(0x00);
    std::vector<std::uint8_t> frame{0x5B};
    appendWord(frame, static_cast<std::uint16_t>(payload.size() / 2));
    std::uint16_t check = 0;
    for (std::size_t i = 0; i < payload.size(); i += 2)
        check ^= static_cast<std::uint16_t>(payload[i] << 8 | payload[i + 1]);
    frame.insert(frame.end(), payload.begin(), payload.end());
    appendWord(frame, check);
    frame.push_back(0x5D);
    return frame;
}

inline std::vector<std::uint8_t> addressBytes(std::uint32_t address) {
    return {static_cast<std::uint8_t>(address >> 24), static_cast<std::uint8_t>(address >> 16),
            static_cast<std::uint8_t>(address >> 8), static_cast<std::uint8_t>(address)};
}

inline std::vector<std::uint8_t> eraseFrame(std::uint32_t first, std::uint32_t last) {
    std::vector<std::uint8_t> payload = addressBytes(first);
    const auto end = addressBytes(last);
    payload.insert(payload.end(), end.begin(), end.end());
    return loaderFrame(payload);
}

inline std::vector<std::uint8_t> recordFrame(std::uint32_t address,
                                             std::span<const std::uint8_t> data) {
    std::vector<std::uint8_t> payload = addressBytes(address);
    payload.insert(payload.end(), data.begin(), data.end());
    return loaderFrame(payload);
}

inline std::vector<std::uint8_t> endFrame() { return {0x5B, 0x00, 0x00, 0x00, 0x00, 0x5D}; }

// Deterministic, non-repeating test data.
inline std::vector<std::uint8_t> patternBytes(std::size_t size, std::uint32_t seed) {
    std::vector<std::uint8_t> out(size);
    std::uint32_t x = seed * 2654435761u + 12345;
    for (auto& b : out) {
        x = x * 1103515245u + 12345;
        b = static_cast<std::uint8_t>(x >> 16);
    }
    return out;
}

}  // namespace zamel::sim::testing
