#include "windows1252.h"

#include <gtest/gtest.h>

namespace tagwright {
namespace {

TEST(Windows1252, EveryByteSurvivesARoundTrip) {
    for (int byte = 0; byte < 256; ++byte) {
        const char32_t codePoint = decodeWindows1252(static_cast<unsigned char>(byte));
        const auto back = encodeWindows1252(codePoint);
        ASSERT_TRUE(back.has_value()) << byte;
        EXPECT_EQ(*back, byte);
    }
}

TEST(Windows1252, MapsTheLettersTheFirmwareUses) {
    const struct {
        char32_t codePoint;
        int byte;
    } cases[] = {
        {U'A', 0x41},      {U'\u00E9', 0xE9}, {U'\u00DC', 0xDC}, {U'\u00E4', 0xE4},
        {U'\u00E3', 0xE3}, {U'\u00A0', 0xA0}, {U'\u20AC', 0x80}, {U'\u201C', 0x93},
        {U'\u0178', 0x9F}, {U'\u0152', 0x8C}, {U'\u2122', 0x99}, {U'\u0081', 0x81},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(encodeWindows1252(c.codePoint), c.byte) << static_cast<int>(c.codePoint);
        EXPECT_EQ(decodeWindows1252(static_cast<unsigned char>(c.byte)), c.codePoint) << c.byte;
    }
}

TEST(Windows1252, RefusesCharactersWithoutAByte) {
    for (const char32_t codePoint :
         {U'\u0080', U'\u009F', U'\u0100', U'\u03A9', U'\u20AD', U'\uFFFD', U'\U0001F600'}) {
        EXPECT_FALSE(encodeWindows1252(codePoint).has_value()) << static_cast<int>(codePoint);
    }
}

TEST(Windows1252, TypedTextBecomesBytesWithWindowsLineBreaks) {
    const Windows1252Text text = windowsTextOf(QString::fromUtf8("Caf\u00e9 \u20ac5\nfin"));
    EXPECT_FALSE(text.refused.has_value());
    EXPECT_EQ(text.bytes,
              "Caf\xE9 \x80"
              "5\r\nfin");

    const Windows1252Text refused = windowsTextOf(QString::fromUtf8("ok \U0001F600 no"));
    EXPECT_EQ(refused.refused, U'\U0001F600');
    EXPECT_TRUE(refused.bytes.empty());
    EXPECT_EQ(describeCharacter(U'\u03A9'), QString::fromUtf8("\"\u03A9\" (U+03A9)"));
}

TEST(Windows1252, CoreTextsAreShownWithLineBreaks) {
    EXPECT_EQ(displayTextOf("Menu Name\r( 11 chars max )"), "Menu Name\n( 11 chars max )");
    EXPECT_EQ(displayTextOf("one\r\ntwo\rthree\n"), "one\ntwo\nthree\n");
    EXPECT_EQ(displayTextOf("Donn\xE9"
                            "es"),
              QString::fromUtf8("Donn\u00e9es"));
}

}  // namespace
}  // namespace tagwright
