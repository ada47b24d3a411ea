#include "flash_frame.h"

#include <gtest/gtest.h>

#include <array>
#include <vector>

namespace zamel {
namespace {

using Bytes = std::vector<std::uint8_t>;

TEST(FlashFrame, EndFrameIsSixFixedBytes) {
    EXPECT_EQ(Bytes(kEndFrame.begin(), kEndFrame.end()),
              (Bytes{0x5B, 0x00, 0x00, 0x00, 0x00, 0x5D}));
}

TEST(FlashFrame, EraseFrameCarriesBothEndsAndTheirXor) {
    const auto frame = buildEraseFrame(0x2D004000, 0x2D0FFFFF);
    EXPECT_EQ(Bytes(frame.begin(), frame.end()), (Bytes{0x5B, 0x00, 0x04, 0x2D, 0x00, 0x40, 0x00,
                                                        0x2D, 0x0F, 0xFF, 0xFF, 0xBF, 0xF0, 0x5D}));
}

TEST(FlashFrame, RecordFrameOfFourBytesAtAddressZero) {
    std::array<std::uint8_t, 32> buffer{};
    buffer.fill(0xEE);
    const Bytes data{0x01, 0x02, 0x03, 0x04};
    std::copy(data.begin(), data.end(), buffer.begin() + kRecordHeaderLength);
    const std::size_t length = completeRecordFrame(buffer, 0, data.size());
    ASSERT_EQ(length, 14u);
    EXPECT_EQ(Bytes(buffer.begin(), buffer.begin() + 14),
              (Bytes{0x5B, 0x00, 0x04, 0x00, 0x00, 0x00, 0x00, 0x01, 0x02, 0x03, 0x04, 0x02, 0x06,
                     0x5D}));
    EXPECT_EQ(buffer[14], 0xEE) << "nothing written past the frame";
}

TEST(FlashFrame, OddBlockIsPaddedWithOneZero) {
    std::array<std::uint8_t, 32> buffer{};
    buffer.fill(0xEE);
    const Bytes data{0x01, 0x02, 0x03, 0x04, 0x05};
    std::copy(data.begin(), data.end(), buffer.begin() + kRecordHeaderLength);
    const std::size_t length = completeRecordFrame(buffer, 0x2D004000, data.size());
    ASSERT_EQ(length, 16u);
    // L = 5 words: address (2) and six data bytes (3); checksum 2D00^4000^0102^0304^0500.
    EXPECT_EQ(Bytes(buffer.begin(), buffer.begin() + 16),
              (Bytes{0x5B, 0x00, 0x05, 0x2D, 0x00, 0x40, 0x00, 0x01, 0x02, 0x03, 0x04, 0x05, 0x00,
                     0x6A, 0x06, 0x5D}));
}

TEST(FlashFrame, FullRecordFrameIs1990Bytes) {
    std::vector<std::uint8_t> buffer(1990);
    EXPECT_EQ(completeRecordFrame(buffer, 0, 1980), 1990u);
    EXPECT_EQ(buffer[1], 0x03);  // L = 990 + 2 = 0x03E0
    EXPECT_EQ(buffer[2], 0xE0);
    EXPECT_EQ(buffer[1989], 0x5D);
}

TEST(FlashFrame, FrameThatWouldNotFitIsRefusedUntouched) {
    struct Case {
        std::size_t bufferSize;
        std::size_t dataLength;
    };
    for (const Case c : {Case{13, 4}, Case{15, 5}, Case{1989, 1980}, Case{6, 0}}) {
        std::vector<std::uint8_t> buffer(c.bufferSize, 0xEE);
        EXPECT_EQ(completeRecordFrame(buffer, 0x12345678, c.dataLength), 0u)
            << c.bufferSize << " bytes for " << c.dataLength;
        EXPECT_EQ(buffer, std::vector<std::uint8_t>(c.bufferSize, 0xEE));
    }
}

}  // namespace
}  // namespace zamel
