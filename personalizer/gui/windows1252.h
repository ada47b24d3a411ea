#pragma once

#include <QString>
#include <optional>
#include <string>
#include <string_view>

namespace tagwright {

// The core keeps every text as Windows-1252 bytes, the firmware's own code
// page; the window shows Unicode. Conversion happens only here, at the edge.
// The five bytes that Windows-1252 leaves undefined map to the C1 control
// characters of the same value, so every byte survives a round trip.

char32_t decodeWindows1252(unsigned char byte);
// The byte for a code point, or nothing when Windows-1252 has none.
std::optional<unsigned char> encodeWindows1252(char32_t codePoint);

QString fromWindows1252(std::string_view bytes);

struct Windows1252Text {
    std::string bytes;
    // The first character that has no Windows-1252 byte; bytes is then empty.
    std::optional<char32_t> refused;
};
Windows1252Text toWindows1252(const QString& text);

// A text as the window shows it: decoded, each carriage return and line feed
// pair (or lone carriage return) a line break.
QString displayTextOf(std::string_view windowsBytes);
// A text typed in the window as the core keeps it: each line break a carriage
// return and line feed, every character one Windows-1252 byte.
Windows1252Text windowsTextOf(const QString& displayed);

// How a character is named in messages: the character itself and U+XXXX.
QString describeCharacter(char32_t codePoint);

}  // namespace tagwright
