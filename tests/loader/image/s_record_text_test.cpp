#include "s_record_text.h"

#include <gtest/gtest.h>

#include <string>

namespace zamel::srecord {
namespace {

std::optional<std::uint32_t> tailOf(const std::string& text) {
    return lastDataAddressInTail(
        std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()));
}

TEST(SRecordTextTest, LastDataAddressInTail) {
    struct Case {
        const char* name;
        std::string tail;
        std::optional<std::uint32_t> last;
    };
    const Case cases[] = {
        {"last of two", "\nS3092D0040000102030400\nS3092D0040040102030400\nS70500000000FA\n",
         0x2D004007u & 0xFFFFFF},
        {"16 MiB cut", "\nS325010000000000\n", 0x1Fu},
        {"just below the cut", "\nS32500FFFFE00000\n", 0xFFFFFFu},
        {"lower case", "\nS3092d004e000102030400\n", 0x2D004E03u & 0xFFFFFF},
        {"no data does not wrap", "\nS30300000000\n", 0u},
        {"digits cut off by the tail end", "\nS3092D0040000102\nS3092D00", 0x2D004003u & 0xFFFFFF},
        {"bad hex passed over", "\nS3092D0040000102\nS309ZZ004000\n", 0x2D004003u & 0xFFFFFF},
        {"S1 is no S3", "\nS1070100AABBCC\n", std::nullopt},
        {"first character of a short file", "S3092D004000", std::nullopt},
        {"empty", "", std::nullopt},
    };
    for (const Case& c : cases) EXPECT_EQ(tailOf(c.tail), c.last) << c.name;
}

}  // namespace
}  // namespace zamel::srecord
