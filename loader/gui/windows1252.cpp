#include "windows1252.h"

#include <QList>
#include <array>

namespace zamel {

namespace {

constexpr unsigned char kFirstHigh = 0x80;
constexpr unsigned char kLastHigh = 0x9F;

// What the bytes 0x80 to 0x9F stand for; the undefined ones keep their value.
constexpr std::array<char16_t, 32> kHighBytes = {
    u'\u20AC', u'\u0081', u'\u201A', u'\u0192', u'\u201E', u'\u2026', u'\u2020', u'\u2021',
    u'\u02C6', u'\u2030', u'\u0160', u'\u2039', u'\u0152', u'\u008D', u'\u017D', u'\u008F',
    u'\u0090', u'\u2018', u'\u2019', u'\u201C', u'\u201D', u'\u2022', u'\u2013', u'\u2014',
    u'\u02DC', u'\u2122', u'\u0161', u'\u203A', u'\u0153', u'\u009D', u'\u017E', u'\u0178',
};

std::optional<char> byteFor(char32_t codePoint) {
    if (codePoint < kFirstHigh || (codePoint > kLastHigh && codePoint <= 0xFF))
        return static_cast<char>(codePoint);
    for (std::size_t i = 0; i < kHighBytes.size(); ++i)
        if (kHighBytes[i] == codePoint) return static_cast<char>(kFirstHigh + i);
    return std::nullopt;
}

}  // namespace

QString fromWindows1252(std::string_view bytes) {
    QString text;
    text.reserve(static_cast<qsizetype>(bytes.size()));
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        text.append(byte >= kFirstHigh && byte <= kLastHigh ? QChar(kHighBytes[byte - kFirstHigh])
                                                            : QChar(byte));
    }
    return text;
}

std::optional<std::string> toWindows1252(const QString& text) {
    std::string bytes;
    for (const char32_t codePoint : text.toUcs4()) {
        const std::optional<char> byte = byteFor(codePoint);
        if (!byte) return std::nullopt;
        bytes.push_back(*byte);
    }
    return bytes;
}

}  // namespace zamel
