#include "flash_frame.h"

namespace zamel {

namespace {

void putBigEndian16(std::span<std::uint8_t> out, std::uint16_t value) {
    out[0] = static_cast<std::uint8_t>(value >> 8);
    out[1] = static_cast<std::uint8_t>(value);
}

void putBigEndian32(std::span<std::uint8_t> out, std::uint32_t value) {
    putBigEndian16(out, static_cast<std::uint16_t>(value >> 16));
    putBigEndian16(out.subspan(2), static_cast<std::uint16_t>(value));
}

}  // namespace

std::uint16_t frameChecksum(std::span<const std::uint8_t> payload) {
    std::uint16_t sum = 0;
    for (std::size_t i = 0; i + 1 < payload.size(); i += 2)
        sum ^= static_cast<std::uint16_t>((payload[i] << 8) | payload[i + 1]);
    return sum;
}

std::array<std::uint8_t, kEraseFrameLength> buildEraseFrame(std::uint32_t start,
                                                            std::uint32_t end) {
    std::array<std::uint8_t, kEraseFrameLength> frame{};
    const std::span<std::uint8_t> out(frame);
    frame[0] = kFrameStart;
    putBigEndian16(out.subspan(1), 4);
    putBigEndian32(out.subspan(3), start);
    putBigEndian32(out.subspan(7), end);
    putBigEndian16(out.subspan(11), frameChecksum(out.subspan(3, 8)));
    frame[13] = kFrameEnd;
    return frame;
}

std::size_t completeRecordFrame(std::span<std::uint8_t> frame, std::uint32_t address,
                                std::size_t dataLength) {
    const std::size_t paddedLength = dataLength + (dataLength % 2);
    const std::size_t frameLength = kRecordHeaderLength + paddedLength + kRecordTrailerLength;
    const std::size_t words = paddedLength / 2 + 2;
    if (frameLength > frame.size() || words > 0xFFFF) return 0;
    if (paddedLength != dataLength) frame[kRecordHeaderLength + dataLength] = 0x00;
    frame[0] = kFrameStart;
    putBigEndian16(frame.subspan(1), static_cast<std::uint16_t>(words));
    putBigEndian32(frame.subspan(3), address);
    const std::size_t checksumAt = kRecordHeaderLength + paddedLength;
    putBigEndian16(frame.subspan(checksumAt), frameChecksum(frame.subspan(3, 4 + paddedLength)));
    frame[checksumAt + 2] = kFrameEnd;
    return frameLength;
}

}  // namespace zamel
