#include "windows1252.h"

#include <QList>
#include <array>

namespace tagwright {

namespace {

// Code points of the bytes 0x80 to 0x9F; the undefined bytes keep their value.
constexpr std::array<char32_t, 32> kHighControls = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,  // 80-87
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,  // 88-8F
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 90-97
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,  // 98-9F
};

}  // namespace

char32_t decodeWindows1252(unsigned char byte) {
    if (byte >= 0x80 && byte <= 0x9F) {
        return kHighControls[byte - 0x80];
    }
    return byte;
}

std::optional<unsigned char> encodeWindows1252(char32_t codePoint) {
    if (codePoint < 0x80 || (codePoint >= 0xA0 && codePoint <= 0xFF)) {
        return static_cast<unsigned char>(codePoint);
    }
    for (std::size_t i = 0; i < kHighControls.size(); ++i) {
        if (kHighControls[i] == codePoint) {
            return static_cast<unsigned char>(0x80 + i);
        }
    }
    return std::nullopt;
}

QString fromWindows1252(std::string_view bytes) {
    QString text;
    text.reserve(static_cast<qsizetype>(bytes.size()));
    for (const char byte : bytes) {
        const char32_t codePoint = decodeWindows1252(static_cast<unsigned char>(byte));
        text.append(QChar(static_cast<char16_t>(codePoint)));
    }
    return text;
}

Windows1252Text toWindows1252(const QString& text) {
    Windows1252Text result;
    for (const char32_t codePoint : text.toUcs4()) {
        const std::optional<unsigned char> byte = encodeWindows1252(codePoint);
        if (!byte) {
            return Windows1252Text{{}, codePoint};
        }
        result.bytes.push_back(static_cast<char>(*byte));
    }
    return result;
}

QString displayTextOf(std::string_view windowsBytes) {
    QString text = fromWindows1252(windowsBytes);
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return text;
}

Windows1252Text windowsTextOf(const QString& displayed) {
    QString text = displayed;
    text.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
    return toWindows1252(text);
}

QString describeCharacter(char32_t codePoint) {
    const QString hex = QString::number(static_cast<uint>(codePoint), 16).toUpper();
    return QStringLiteral("\"%1\" (U+%2)")
        .arg(QString::fromUcs4(&codePoint, 1), hex.rightJustified(4, QLatin1Char('0')));
}

}  // namespace tagwright
