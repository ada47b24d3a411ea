#include "unit_bench.h"

#include <gtest/gtest.h>

#include "loader_frames.h"

namespace zamel::sim::testing {

UnitBench::UnitBench(const std::vector<std::string>& faults, const std::string& model,
                     const std::string& firmware) {
    for (const std::string& text : faults) {
        std::string error;
        if (!faults_.add(text, error)) ADD_FAILURE() << text << ": " << error;
    }
    ReceiverConfig config;
    config.identity = UnitIdentity::fromModel(*findModel(model), firmware, PoiRegion::Worldwide);
    config.baud = kBaud;
    config.loaderBaud = kLoaderBaud;
    config.eraseTimePerSector = std::chrono::milliseconds(20);
    restartTime_ = config.restartTime;
    unit_ = std::make_unique<Receiver>(config, faults_, output_, now_);
    unit_->setLineRate(kBaud);
}

std::vector<std::uint8_t> UnitBench::sendAt(const std::vector<std::uint8_t>& bytes, long baud) {
    for (std::uint8_t b : bytes) {
        now_ += byteTime(baud);
        unit_->receive(b, baud, now_);
    }
    std::vector<std::uint8_t> answers;
    for (const auto& entry : takeEntries()) {
        answers.push_back(entry.byte);
        now_ = std::max(now_, entry.due);
    }
    return answers;
}

void UnitBench::feed(const std::vector<std::uint8_t>& bytes) {
    for (std::uint8_t b : bytes) {
        now_ += byteTime(unit_->lineRate());
        unit_->receive(b, unit_->lineRate(), now_);
    }
}

std::vector<std::uint8_t> UnitBench::send(const std::vector<std::uint8_t>& bytes) {
    return sendAt(bytes, unit_->lineRate());
}

std::vector<std::uint8_t> UnitBench::advance(SimTime by) {
    now_ += by;
    unit_->tick(now_);
    return takeBytes();
}

std::vector<OutputQueue::Entry> UnitBench::takeEntries() {
    std::vector<OutputQueue::Entry> entries;
    while (!output_.empty()) {
        entries.push_back(output_.front());
        output_.pop();
    }
    return entries;
}

std::vector<std::uint8_t> UnitBench::takeBytes() {
    std::vector<std::uint8_t> bytes;
    for (const auto& entry : takeEntries()) bytes.push_back(entry.byte);
    return bytes;
}

void UnitBench::enterBootLoader(const std::string& command) {
    setLineRate(kBaud);
    send(sentence(command));
    send(sentence(command));
    send(0x00);
    setLineRate(kLoaderBaud);
    now_ += restartTime_;
}

std::vector<std::uint8_t> UnitBench::handshake() {
    std::vector<std::uint8_t> seen = advance(SimTime{0});
    const auto answer = send(0x55);
    seen.insert(seen.end(), answer.begin(), answer.end());
    return seen;
}

std::vector<std::uint8_t> UnitBench::eraseAndColdStart(std::uint32_t first, std::uint32_t last) {
    std::vector<std::uint8_t> seen = send(0x6A);
    const auto erase = send(eraseFrame(first, last));
    seen.insert(seen.end(), erase.begin(), erase.end());
    now_ += std::chrono::seconds(2);
    const auto cold = send(0x69);
    seen.insert(seen.end(), cold.begin(), cold.end());
    return seen;
}

}  // namespace zamel::sim::testing
