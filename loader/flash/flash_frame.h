#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

namespace zamel {

// The frames the loader sends to a receiver's boot loader:
//   '[' , word count L (16-bit), L payload words, XOR of the words (16-bit), ']'
// All numbers big-endian. A frame is 2L + 6 bytes.
inline constexpr std::uint8_t kFrameStart = 0x5B;
inline constexpr std::uint8_t kFrameEnd = 0x5D;
inline constexpr std::size_t kFrameOverhead = 6;
inline constexpr std::size_t kEraseFrameLength = 14;
inline constexpr std::size_t kEndFrameLength = 6;
// Start byte, word count and the 32-bit record address come before the data.
inline constexpr std::size_t kRecordHeaderLength = 7;
// Checksum and end byte follow the data.
inline constexpr std::size_t kRecordTrailerLength = 3;

inline constexpr std::array<std::uint8_t, kEndFrameLength> kEndFrame{kFrameStart, 0, 0,
                                                                     0,           0, kFrameEnd};

// XOR of the big-endian 16-bit words of an even-length payload.
std::uint16_t frameChecksum(std::span<const std::uint8_t> payload);

// The frame asking the unit to erase start..end.
std::array<std::uint8_t, kEraseFrameLength> buildEraseFrame(std::uint32_t start, std::uint32_t end);

// Completes a record frame whose dataLength data bytes already sit at
// frame[kRecordHeaderLength]: pads an odd length with one 0x00, then writes the
// start byte, word count, address, checksum and end byte in place. Returns the
// frame length, or 0 (touching nothing) when the frame would not fit in `frame`
// or its word count would not fit in 16 bits.
std::size_t completeRecordFrame(std::span<std::uint8_t> frame, std::uint32_t address,
                                std::size_t dataLength);

}  // namespace zamel
