#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

namespace zamel {

// Reading the hex text of S-record lines. Every function checks its bounds: a
// short or damaged line yields nothing rather than bytes from beyond its end.
namespace srecord {

// Value of a hex digit in either case, or -1.
int hexDigitValue(char c);

// The number written by `digits` hex digits (at most 8) starting at `first`.
std::optional<std::uint32_t> parseHex(std::string_view text, std::size_t first, int digits);

// Consecutive valid hex pairs from `first` on.
std::size_t countHexPairs(std::string_view text, std::size_t first);

// Decodes out.size() hex pairs from `first`; the caller has counted them.
void decodeHexPairs(std::string_view text, std::size_t first, std::span<std::uint8_t> out);

// Data bytes of a record whose line starts its data at `dataStart`: what the byte
// count claims (count minus address and checksum bytes), but never more than the
// pairs the line really holds before its checksum pair.
std::size_t dataLength(std::string_view text, std::size_t dataStart, std::int32_t byteCount,
                       int overheadBytes);

// Address of the last data byte of the last S3 record that begins (after a line
// feed) within the tail of a file, cut to 24 bits when it lies at or above 16 MiB.
// Nothing when the tail holds no complete S3 record start.
std::optional<std::uint32_t> lastDataAddressInTail(std::span<const std::uint8_t> tail);

// The same value for one S3 line on its own.
std::optional<std::uint32_t> lastDataAddressOfLine(std::string_view text);

}  // namespace srecord
}  // namespace zamel
