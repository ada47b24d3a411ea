#include "frame_reader.h"

namespace zamel::sim {

namespace {

constexpr std::uint8_t kFrameStart = 0x5B;
constexpr std::uint8_t kFrameEnd = 0x5D;

std::uint16_t xorOfWords(std::span<const std::uint8_t> payload) {
    std::uint16_t sum = 0;
    for (std::size_t i = 0; i + 1 < payload.size(); i += 2)
        sum ^= static_cast<std::uint16_t>(payload[i] << 8 | payload[i + 1]);
    return sum;
}

}  // namespace

FrameReader::Result FrameReader::push(std::uint8_t byte) {
    if (state_ == State::Start) {
        if (byte != kFrameStart) return Result::Outside;
        frameBytes_.clear();
    }
    frameBytes_.push_back(byte);
    switch (state_) {
        case State::Start:
            payload_.clear();
            state_ = State::LengthHigh;
            return Result::Partial;
        case State::LengthHigh:
            words_ = static_cast<std::uint16_t>(byte << 8);
            state_ = State::LengthLow;
            return Result::Partial;
        case State::LengthLow:
            words_ = static_cast<std::uint16_t>(words_ | byte);
            if (words_ > kMaxWords) {
                state_ = State::Start;
                return Result::Bad;
            }
            state_ = words_ == 0 ? State::CheckHigh : State::Payload;
            return Result::Partial;
        case State::Payload:
            return onPayloadByte(byte);
        case State::CheckHigh:
            check_ = static_cast<std::uint16_t>(byte << 8);
            state_ = State::CheckLow;
            return Result::Partial;
        case State::CheckLow:
            check_ = static_cast<std::uint16_t>(check_ | byte);
            state_ = State::End;
            return Result::Partial;
        case State::End:
            return onEnd(byte);
    }
    return Result::Outside;
}

FrameReader::Result FrameReader::onPayloadByte(std::uint8_t byte) {
    payload_.push_back(byte);
    if (payload_.size() == std::size_t{words_} * 2) state_ = State::CheckHigh;
    return Result::Partial;
}

FrameReader::Result FrameReader::onEnd(std::uint8_t byte) {
    state_ = State::Start;
    if (byte != kFrameEnd || xorOfWords(payload_) != check_) return Result::Bad;
    return Result::Frame;
}

}  // namespace zamel::sim
