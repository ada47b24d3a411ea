#include "boot_loader.h"

#include <algorithm>

namespace zamel::sim {

using namespace loader_byte;

namespace {

std::uint32_t readBigEndian32(std::span<const std::uint8_t> bytes) {
    return std::uint32_t{bytes[0]} << 24 | std::uint32_t{bytes[1]} << 16 |
           std::uint32_t{bytes[2]} << 8 | std::uint32_t{bytes[3]};
}

// A record frame holds a 4-byte address and at least one data word.
constexpr std::size_t kMinRecordPayload = 6;
constexpr std::size_t kEraseFramePayload = 8;

}  // namespace

BootLoader::BootLoader(FaultPlan& faults, OutputQueue& output, SimTime eraseTimePerSector)
    : faults_(faults), output_(output), eraseTimePerSector_(eraseTimePerSector) {}

void BootLoader::start(UploadMode mode, SimTime now) {
    mode_ = mode;
    state_ = State::Greeting;
    frames_.reset();
    greetFrom_ = now + std::chrono::seconds(faults_.lateGreetingSeconds());
    nextGreeting_ = greetFrom_;
}

const char* BootLoader::stateName() const {
    switch (state_) {
        case State::Greeting:
            return "Greeting";
        case State::AwaitCommand:
            return "AwaitCommand";
        case State::AwaitErase:
            return "AwaitErase";
        case State::AwaitCold:
            return "AwaitCold";
        case State::Records:
            return "Records";
        case State::Done:
            return "Done";
        case State::Dead:
            return "Dead";
    }
    return "?";
}

void BootLoader::tick(SimTime now, bool atLoaderRate) {
    if (state_ != State::Greeting || faults_.has(FaultKind::SilentLoader)) return;
    if (now < nextGreeting_ || !atLoaderRate) return;
    send(kHello, now);
    nextGreeting_ = now + kGreetingPeriod;
}

std::optional<SimTime> BootLoader::nextWake() const {
    if (state_ != State::Greeting || faults_.has(FaultKind::SilentLoader)) return std::nullopt;
    return nextGreeting_;
}

std::optional<TransferEvent> BootLoader::takeEvent() {
    if (events_.empty()) return std::nullopt;
    TransferEvent event = events_.front();
    events_.erase(events_.begin());
    return event;
}

void BootLoader::receive(std::uint8_t byte, SimTime now) {
    switch (state_) {
        case State::Greeting:
            onGreetingByte(byte, now);
            return;
        case State::AwaitCommand:
            onCommandByte(byte, now);
            return;
        case State::AwaitErase:
        case State::AwaitCold:
        case State::Records:
            break;
        case State::Done:
        case State::Dead:
            return;
    }
    switch (frames_.push(byte)) {
        case FrameReader::Result::Partial:
            return;
        case FrameReader::Result::Frame:
            onFrame(now);
            return;
        case FrameReader::Result::Bad:
            send(kResend, now);
            return;
        case FrameReader::Result::Outside:
            break;
    }
    if (state_ == State::AwaitErase && byte == kEraseRequest) {
        // The loader repeats its request when our answer did not reach it.
        send(kOk, now);
    } else if (state_ == State::AwaitCold) {
        onColdStartByte(byte, now);
    }
}

void BootLoader::onGreetingByte(std::uint8_t byte, SimTime now) {
    if (byte != kOk) return;
    if (faults_.take(FaultKind::BadType)) {
        send(kBadType, now);
        state_ = State::Dead;
        events_.push_back({TransferEvent::Kind::Failed, "flash reported as unusable (bad-type)"});
        return;
    }
    send(kOk, now);
    flash_ = FlashMemory{};
    eraseRange_.reset();
    writePosition_ = 0;
    recordsReceived_ = 0;
    lastRecord_.reset();
    state_ = State::AwaitCommand;
}

void BootLoader::onCommandByte(std::uint8_t byte, SimTime now) {
    if (byte == kOk) {
        // A second answer to our greeting: our reply to the first was lost.
        send(kOk, now);
        return;
    }
    if (byte != kEraseRequest) return;
    if (mode_ == UploadMode::Record) {
        // Maps need no erase frame: records follow the request at once.
        state_ = State::Records;
        return;
    }
    if (faults_.take(FaultKind::BadCmd)) {
        send(kBadCommand, now);
        backToGreeting(now);
        return;
    }
    send(kOk, now);
    state_ = State::AwaitErase;
}

void BootLoader::onFrame(SimTime now) {
    if (state_ == State::AwaitErase || state_ == State::AwaitCold) {
        onEraseFrame(now);
    } else if (frames_.payload().empty()) {
        onEndFrame(now);
    } else {
        onRecordFrame(now);
    }
}

void BootLoader::onEraseFrame(SimTime now) {
    const auto payload = frames_.payload();
    if (payload.size() != kEraseFramePayload) {
        send(kResend, now);
        return;
    }
    const std::uint32_t first = readBigEndian32(payload.subspan(0, 4));
    const std::uint32_t last = readBigEndian32(payload.subspan(4, 4));
    if (faults_.take(FaultKind::FailErase)) {
        failTransfer(kFail, "erase failed (fail-erase)", now);
        return;
    }
    if (first > last) {
        send(kBadCommand, now);
        backToGreeting(now);
        return;
    }
    const std::uint32_t sectors = flash_.eraseRange(first, last);
    eraseRange_ = std::make_pair(first, last);
    send(kOk, now);
    for (std::uint32_t i = 1; i <= sectors; ++i)
        send(kSectorErased, now + eraseTimePerSector_ * static_cast<std::int64_t>(i));
    eraseDoneAt_ = now + eraseTimePerSector_ * static_cast<std::int64_t>(sectors);
    send(kOk, eraseDoneAt_);
    state_ = State::AwaitCold;
}

void BootLoader::onColdStartByte(std::uint8_t byte, SimTime now) {
    if (byte != kColdStart || now < eraseDoneAt_) return;
    send(kOk, now);
    state_ = State::Records;
}

void BootLoader::onRecordFrame(SimTime now) {
    const auto payload = frames_.payload();
    if (payload.size() < kMinRecordPayload) {
        send(kResend, now);
        return;
    }
    const std::uint32_t record = ++recordsReceived_;
    const std::uint32_t addressField = readBigEndian32(payload.subspan(0, 4));
    const auto data = payload.subspan(4);

    if (faults_.take(FaultKind::DropAck, record)) return;
    if (const Fault* fault = faults_.take(FaultKind::Resend, record)) {
        send(fault->code, now);
        return;
    }
    if (faults_.take(FaultKind::FailWrite, record)) {
        failTransfer(kFail, "write of record " + std::to_string(record) + " failed (fail-write)",
                     now);
        return;
    }
    if (faults_.take(FaultKind::Reset, record)) {
        restartFile(now);
        return;
    }
    if (faults_.take(FaultKind::RecNumber, record)) {
        rewindOneRecord(record, now);
        return;
    }
    if (lastRecord_ && lastRecord_->addressField == addressField &&
        std::equal(data.begin(), data.end(), lastRecord_->data.begin(), lastRecord_->data.end())) {
        // The loader resent a record whose acknowledgement it missed: already written.
        acknowledgeRecord(lastRecord_->target, now);
        return;
    }

    const std::uint32_t target = mode_ == UploadMode::Record ? writePosition_ : addressField;
    const std::uint64_t last = std::uint64_t{target} + data.size() - 1;
    if (last > 0xFFFFFFFFu) {
        failTransfer(kFail, "record " + std::to_string(record) + " runs past the flash", now);
        return;
    }
    if (mode_ == UploadMode::Record) {
        flash_.ensureErased(target, static_cast<std::uint32_t>(last));
    } else if (!eraseRange_ || target < eraseRange_->first || last > eraseRange_->second) {
        failTransfer(kFail, "record " + std::to_string(record) + " falls outside the erased range",
                     now);
        return;
    }
    if (flash_.program(target, data) != FlashMemory::WriteResult::Ok) {
        failTransfer(kFail, "record " + std::to_string(record) + " overwrites programmed flash",
                     now);
        return;
    }
    lastRecord_ = LastRecord{addressField, {data.begin(), data.end()}, target};
    if (mode_ == UploadMode::Record) writePosition_ = static_cast<std::uint32_t>(last + 1);
    acknowledgeRecord(target, now);
    if (faults_.take(FaultKind::Unplug, record))
        events_.push_back({TransferEvent::Kind::Unplug,
                           "line closed after record " + std::to_string(record) + " (unplug)"});
}

void BootLoader::acknowledgeRecord(std::uint32_t reportedAddress, SimTime now) {
    send(kOk, now);
    if (faults_.has(FaultKind::DebugEcho)) {
        sendDebugWord(static_cast<std::uint16_t>(reportedAddress >> 16), now);
        sendDebugWord(static_cast<std::uint16_t>(reportedAddress & 0xFFFF), now);
    }
    send(kOk, now);
}

void BootLoader::rewindOneRecord(std::uint32_t record, SimTime now) {
    send(kOk, now);
    send(kRecordNumber, now);
    // The number of the record wanted again, the one before this.
    const std::uint32_t wanted = record - 1;
    for (int shift = 24; shift >= 0; shift -= 8)
        send(static_cast<std::uint8_t>(wanted >> shift), now);
    if (lastRecord_) {
        flash_.unprogram(lastRecord_->target, static_cast<std::uint32_t>(lastRecord_->data.size()));
        if (mode_ == UploadMode::Record) writePosition_ = lastRecord_->target;
        lastRecord_.reset();
    }
}

void BootLoader::restartFile(SimTime now) {
    send(kReset, now);
    flash_ = FlashMemory{};
    writePosition_ = 0;
    lastRecord_.reset();
    SimTime ready = now;
    if (eraseRange_) {
        const std::uint32_t sectors = flash_.eraseRange(eraseRange_->first, eraseRange_->second);
        ready += eraseTimePerSector_ * static_cast<std::int64_t>(sectors);
    }
    send(kOk, ready);
}

void BootLoader::onEndFrame(SimTime now) {
    send(kOk, now);
    if (mode_ == UploadMode::Record) {
        // A unit whose records all verified reports a checksum of 0.
        const std::uint16_t checksum = 0;
        const auto count = static_cast<std::uint32_t>(flash_.programmedCount());
        sendDebugWord(checksum, now);
        send(kOk, now);
        sendDebugWord(static_cast<std::uint16_t>(count >> 16), now);
        sendDebugWord(static_cast<std::uint16_t>(count & 0xFFFF), now);
        send(kOk, now);
    }
    state_ = State::Done;
    events_.push_back({TransferEvent::Kind::Completed,
                       std::to_string(flash_.programmedCount()) + " bytes programmed"});
}

void BootLoader::failTransfer(std::uint8_t reply, const std::string& why, SimTime now) {
    send(reply, now);
    events_.push_back({TransferEvent::Kind::Failed, why});
    backToGreeting(now);
}

void BootLoader::backToGreeting(SimTime now) {
    state_ = State::Greeting;
    frames_.reset();
    nextGreeting_ = now + kGreetingPeriod;
}

void BootLoader::sendDebugWord(std::uint16_t word, SimTime now) {
    send(kDebug, now);
    send(static_cast<std::uint8_t>(word >> 8), now);
    send(static_cast<std::uint8_t>(word & 0xFF), now);
}

}  // namespace zamel::sim
