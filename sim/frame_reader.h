#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace zamel::sim {

// Push parser for the boot loader's input frames: "[" (0x5B), a 16-bit big-endian
// word count L, 2·L payload bytes, the XOR of the payload words (big-endian), "]".
class FrameReader {
  public:
    // Record frames carry a 4-byte address and 1980 data bytes, but a block read from
    // S-records closes only once it holds 1980 bytes or more, so it may run over by
    // one record's data (at most 250 bytes, rounded up to a whole word).
    static constexpr std::size_t kMaxRecordData = 1980 + 250;
    static constexpr std::uint16_t kMaxWords = (4 + kMaxRecordData) / 2;

    enum class Result {
        Outside,  // the byte is not part of a frame
        Partial,  // the byte belongs to a frame still arriving
        Frame,    // a frame with good checksum and end mark ended; payload() holds it
        Bad,      // a frame ended or broke off with a wrong length, checksum or end mark
    };

    Result push(std::uint8_t byte);
    std::span<const std::uint8_t> payload() const { return payload_; }
    // Every byte of the last frame from its "[" on, whole or broken off.
    std::span<const std::uint8_t> frameBytes() const { return frameBytes_; }
    bool inFrame() const { return state_ != State::Start; }
    void reset() { state_ = State::Start; }

  private:
    enum class State { Start, LengthHigh, LengthLow, Payload, CheckHigh, CheckLow, End };

    Result onPayloadByte(std::uint8_t byte);
    Result onEnd(std::uint8_t byte);

    State state_ = State::Start;
    std::uint16_t words_ = 0;
    std::uint16_t check_ = 0;
    std::vector<std::uint8_t> payload_;
    std::vector<std::uint8_t> frameBytes_;
};

}  // namespace zamel::sim
