#pragma once

#include <QString>
#include <optional>
#include <string>
#include <string_view>

namespace zamel {

// The loader's core keeps its texts as Windows-1252 bytes; the window shows
// Unicode. These two functions are the only crossing between the two.
// Windows-1252 leaves five bytes of 0x80-0x9F undefined: they stand for the C1
// control characters of the same value, so any byte string survives a round trip.
QString fromWindows1252(std::string_view bytes);
// Nothing when the text holds a character that has no Windows-1252 byte.
std::optional<std::string> toWindows1252(const QString& text);

}  // namespace zamel
