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
// The end report's checksum is what the unit read back less what it was sent:
// 0 when every byte landed, 1 when one read back one off.
constexpr std::uint16_t kGoodChecksum = 0;
constexpr std::uint16_t kBadChecksum = 1;

// In record mode a frame carries the loader's 16-bit record counter, sign-extended.
std::uint32_t recordNumberField(std::size_t counter) {
    return static_cast<std::uint32_t>(
        static_cast<std::int32_t>(static_cast<std::int16_t>(counter)));
}

std::string recordName(std::uint32_t ordinal) { return "record " + std::to_string(ordinal); }

}  // namespace

BootLoader::BootLoader(FaultPlan& faults, OutputQueue& output, BreachLog& breaches,
                       BootLoaderTiming timing)
    : faults_(faults), output_(output), breaches_(breaches), timing_(timing) {}

void BootLoader::start(UploadMode mode, SimTime now, bool restarting) {
    ++transfer_;
    mode_ = mode;
    backToGreeting(now);
    SimTime ready = now;
    if (restarting) {
        ready += timing_.restart;
        state_ = State::Restarting;
        beBusy(ready, "restarting into its boot loader after the zero byte");
    }
    greetFrom_ = ready + std::chrono::seconds(faults_.lateGreetingSeconds());
    nextGreeting_ = greetFrom_;
}

const char* BootLoader::stateName() const {
    switch (state_) {
        case State::Restarting:
            return "Restarting";
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

std::string BootLoader::where() const { return std::string("BootLoader/") + stateName(); }

void BootLoader::catchUp(SimTime now) {
    if (state_ == State::Restarting && !busyAt(now)) state_ = State::Greeting;
}

bool BootLoader::greetsWithRecWait() const { return faults_.has(FaultKind::Greet77); }

void BootLoader::tick(SimTime now, bool atLoaderRate) {
    catchUp(now);
    if (state_ != State::Greeting || faults_.has(FaultKind::SilentLoader)) return;
    if (now < nextGreeting_ || !atLoaderRate) return;
    send(greetsWithRecWait() ? kRecWait : kHello, now);
    nextGreeting_ = now + kGreetingPeriod;
}

std::optional<SimTime> BootLoader::nextWake() const {
    if (state_ != State::Greeting && state_ != State::Restarting) return std::nullopt;
    if (faults_.has(FaultKind::SilentLoader)) return std::nullopt;
    return nextGreeting_;
}

std::optional<TransferEvent> BootLoader::takeEvent() {
    if (events_.empty()) return std::nullopt;
    TransferEvent event = events_.front();
    events_.erase(events_.begin());
    return event;
}

bool BootLoader::receive(std::uint8_t byte, SimTime now) {
    catchUp(now);
    if (busyAt(now)) {
        breaches_.lose(now, where(), "bytes sent while the unit was " + busyDoing_, byte);
        return false;
    }
    switch (state_) {
        case State::Greeting:
            if (greetsWithRecWait()) {
                onFrameByte(byte, now);
            } else {
                onGreetingByte(byte, now);
            }
            break;
        case State::AwaitCommand:
            onCommandByte(byte, now);
            break;
        case State::AwaitErase:
        case State::AwaitCold:
        case State::Records:
            onFrameByte(byte, now);
            break;
        case State::Restarting:
        case State::Done:
        case State::Dead:
            break;
    }
    return true;
}

void BootLoader::onGreetingByte(std::uint8_t byte, SimTime now) {
    if (byte != kOk) {
        loseStray(byte, "bytes other than 0x55 answering the greeting", now);
        return;
    }
    breaches_.endRun();
    if (takeFault(FaultKind::BadType)) {
        send(kBadType, now);
        state_ = State::Dead;
        events_.push_back({TransferEvent::Kind::Failed, "flash reported as unusable (bad-type)"});
        return;
    }
    send(kOk, now);
    beginTransfer();
    state_ = State::AwaitCommand;
}

void BootLoader::onCommandByte(std::uint8_t byte, SimTime now) {
    if (byte != kOk && byte != kEraseRequest) {
        loseStray(byte, "bytes other than the erase request 0x6A", now);
        return;
    }
    breaches_.endRun();
    if (byte == kOk) {
        // A second answer to our greeting: our reply to the first was lost.
        send(kOk, now);
        return;
    }
    if (mode_ == UploadMode::Record) {
        // Maps need no erase frame: records follow the request at once.
        state_ = State::Records;
        return;
    }
    if (takeFault(FaultKind::BadCmd)) {
        send(kBadCommand, now);
        backToGreeting(now);
        return;
    }
    send(kOk, now);
    state_ = State::AwaitErase;
}

void BootLoader::onFrameByte(std::uint8_t byte, SimTime now) {
    switch (frames_.push(byte)) {
        case FrameReader::Result::Partial:
            return;
        case FrameReader::Result::Frame:
            breaches_.endRun();
            onFrame(now);
            return;
        case FrameReader::Result::Bad:
            breach("frame with a wrong length, checksum or end mark", frames_.frameBytes());
            send(kResend, now);
            return;
        case FrameReader::Result::Outside:
            onOutsideByte(byte, now);
            return;
    }
}

void BootLoader::onOutsideByte(std::uint8_t byte, SimTime now) {
    if (state_ == State::AwaitErase && byte == kEraseRequest) {
        // The loader repeats its request when our answer did not reach it.
        breaches_.endRun();
        send(kOk, now);
    } else if (state_ == State::AwaitCold && byte == kColdStart) {
        breaches_.endRun();
        send(kOk, now);
        eraseAckLost_ = false;
        state_ = State::Records;
    } else if (takesEraseAgain(byte, now)) {
        return;
    } else if (state_ == State::Records && byte == kColdStart) {
        breach(mode_ == UploadMode::Record ? "cold start 0x69 in record mode, where none belongs"
                                           : "cold start 0x69 again after the cold start",
               std::span(&byte, 1));
    } else {
        loseStray(byte,
                  state_ == State::AwaitCold ? "bytes other than the cold start 0x69"
                                             : "bytes outside a frame",
                  now);
    }
}

void BootLoader::onFrame(SimTime now) {
    switch (state_) {
        case State::AwaitErase:
            onEraseFrame(now);
            return;
        case State::AwaitCold:
            if (eraseAckLost_ && frames_.payload().size() == kEraseFramePayload) {
                // The erase frame again, sent by a loader that never heard the erase end.
                onEraseFrame(now);
            } else {
                breach("frame before the cold start 0x69", frames_.frameBytes());
            }
            return;
        case State::Greeting:
            // Greeting with 0x77 the unit waits for records: the first one starts the transfer.
            beginTransfer();
            state_ = State::Records;
            break;
        default:
            break;
    }
    if (frames_.payload().empty()) {
        onEndFrame(now);
    } else {
        onRecordFrame(now);
    }
}

bool BootLoader::takesEraseAgain(std::uint8_t byte, SimTime now) {
    // A loader that never heard the erase end may start the erase over.
    if (state_ != State::AwaitCold || !eraseAckLost_ || byte != kEraseRequest) return false;
    breaches_.endRun();
    send(kOk, now);
    state_ = State::AwaitErase;
    return true;
}

void BootLoader::onEraseFrame(SimTime now) {
    const auto payload = frames_.payload();
    if (payload.size() != kEraseFramePayload) {
        breach("frame other than the erase frame after the erase request", frames_.frameBytes());
        send(kResend, now);
        return;
    }
    const std::uint32_t first = readBigEndian32(payload.subspan(0, 4));
    const std::uint32_t last = readBigEndian32(payload.subspan(4, 4));
    if (takeFault(FaultKind::FailErase)) {
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
        send(kSectorErased, now + timing_.erasePerSector * static_cast<std::int64_t>(i));
    const SimTime erased = now + timing_.erasePerSector * static_cast<std::int64_t>(sectors);
    if (takeFault(FaultKind::LoseEraseAck)) {
        eraseAckLost_ = true;
    } else {
        send(kOk, erased);
    }
    beBusy(erased, "erasing");
    state_ = State::AwaitCold;
}

void BootLoader::onRecordFrame(SimTime now) {
    const auto payload = frames_.payload();
    if (payload.size() < kMinRecordPayload) {
        breach("record frame without data", frames_.frameBytes());
        send(kResend, now);
        return;
    }
    const std::uint32_t addressField = readBigEndian32(payload.subspan(0, 4));
    const auto data = payload.subspan(4);
    if (!taken_.empty() && taken_.back().addressField == addressField &&
        std::equal(data.begin(), data.end(), taken_.back().data.begin(),
                   taken_.back().data.end())) {
        // The loader resent a record whose acknowledgement it missed: already written.
        acknowledgeRecord(taken_.back().target, static_cast<std::uint32_t>(taken_.size()), now);
        return;
    }
    if (mode_ == UploadMode::Record && addressField != recordNumberField(taken_.size())) {
        breach("record number " + std::to_string(static_cast<std::int32_t>(addressField)) +
                   " where record number " + std::to_string(taken_.size()) + " belongs",
               frames_.frameBytes());
        send(kResend, now);
        return;
    }
    const auto ordinal = static_cast<std::uint32_t>(taken_.size() + 1);
    if (injectRecordFault(ordinal, now)) return;
    programRecord(addressField, data, ordinal, now);
}

bool BootLoader::injectRecordFault(std::uint32_t ordinal, SimTime now) {
    if (takeFault(FaultKind::DropAck, ordinal)) return true;
    if (const Fault* fault = takeFault(FaultKind::Resend, ordinal)) {
        send(fault->code, now);
        return true;
    }
    if (takeFault(FaultKind::FailWrite, ordinal)) {
        failTransfer(kFail, "write of " + recordName(ordinal) + " failed (fail-write)", now);
        return true;
    }
    if (takeFault(FaultKind::Reset, ordinal)) {
        restartFile(now);
        return true;
    }
    if (takeFault(FaultKind::RecNumber, ordinal)) {
        rewindOneRecord(ordinal, now);
        return true;
    }
    return false;
}

void BootLoader::programRecord(std::uint32_t addressField, std::span<const std::uint8_t> data,
                               std::uint32_t ordinal, SimTime now) {
    const std::uint32_t target = mode_ == UploadMode::Record ? writePosition_ : addressField;
    const std::uint64_t last = std::uint64_t{target} + data.size() - 1;
    if (last > 0xFFFFFFFFu) {
        failTransfer(kFail, recordName(ordinal) + " runs past the flash", now);
        return;
    }
    // Without an erase frame the unit erases each sector as the records reach it.
    if (mode_ == UploadMode::Record || greetsWithRecWait())
        flash_.ensureErased(target, static_cast<std::uint32_t>(last));
    switch (flash_.program(target, data)) {
        case FlashMemory::WriteResult::NotErased:
            failTransfer(kFail, recordName(ordinal) + " lies outside the erased sectors", now);
            return;
        case FlashMemory::WriteResult::AlreadyProgrammed:
            failTransfer(kFail, recordName(ordinal) + " overwrites programmed flash", now);
            return;
        case FlashMemory::WriteResult::Ok:
            break;
    }
    taken_.push_back({addressField, {data.begin(), data.end()}, target});
    if (mode_ == UploadMode::Record) writePosition_ = static_cast<std::uint32_t>(last + 1);
    if (const Fault* fault = takeFault(FaultKind::ProgResend, ordinal)) {
        // Read back wrong: the unit takes the record back and asks for it again.
        send(kOk, now);
        const SimTime programmed = now + timing_.program;
        beBusy(programmed, "programming " + recordName(ordinal));
        send(fault->code, programmed);
        takeBackLastRecord();
        return;
    }
    acknowledgeRecord(target, ordinal, now);
    if (takeFault(FaultKind::Unplug, ordinal))
        events_.push_back({TransferEvent::Kind::Unplug,
                           "line closed after " + recordName(ordinal) + " (unplug)"});
}

void BootLoader::acknowledgeRecord(std::uint32_t reportedAddress, std::uint32_t ordinal,
                                   SimTime now) {
    // A lost acknowledgement never reaches the loader; the record is programmed all the same.
    const bool firstLost = takeFault(FaultKind::LoseFirstAck, ordinal) != nullptr;
    const bool secondLost = takeFault(FaultKind::LoseSecondAck, ordinal) != nullptr;
    if (faults_.has(FaultKind::EarlyDebug)) sendDebugWord(static_cast<std::uint16_t>(ordinal), now);
    if (!firstLost) send(kOk, now);
    const SimTime programmed = now + timing_.program;
    beBusy(programmed, "programming " + recordName(ordinal));
    if (faults_.has(FaultKind::DebugEcho)) {
        sendDebugWord(static_cast<std::uint16_t>(reportedAddress >> 16), programmed);
        sendDebugWord(static_cast<std::uint16_t>(reportedAddress & 0xFFFF), programmed);
    }
    if (!secondLost) send(faults_.has(FaultKind::RecWait) ? kRecWait : kOk, programmed);
}

void BootLoader::rewindOneRecord(std::uint32_t ordinal, SimTime now) {
    send(kOk, now);
    send(kRecordNumber, now);
    // The number of the record wanted again, the one before this.
    const std::uint32_t wanted = ordinal - 1;
    for (int shift = 24; shift >= 0; shift -= 8)
        send(static_cast<std::uint8_t>(wanted >> shift), now);
    takeBackLastRecord();
}

void BootLoader::takeBack(const TakenRecord& record) {
    flash_.unprogram(record.target, static_cast<std::uint32_t>(record.data.size()));
    if (mode_ == UploadMode::Record) writePosition_ = record.target;
}

void BootLoader::takeBackLastRecord() {
    if (taken_.empty()) return;
    takeBack(taken_.back());
    taken_.pop_back();
}

void BootLoader::restartFile(SimTime now) {
    send(kReset, now);
    while (!taken_.empty()) takeBackLastRecord();
    writePosition_ = 0;
    SimTime ready = now;
    if (eraseRange_) {
        const std::uint32_t sectors = flash_.eraseRange(eraseRange_->first, eraseRange_->second);
        ready += timing_.erasePerSector * static_cast<std::int64_t>(sectors);
        beBusy(ready, "erasing again to restart the file");
    }
    send(kOk, ready);
}

void BootLoader::onEndFrame(SimTime now) {
    // The answer never reaches the loader, which sends the end frame again.
    if (takeFault(FaultKind::LostEndAck)) return;
    send(kOk, now);
    if (mode_ == UploadMode::Record) {
        const std::uint16_t checksum =
            takeFault(FaultKind::BadChecksum) ? kBadChecksum : kGoodChecksum;
        const auto count = static_cast<std::uint32_t>(transferByteCount());
        sendDebugWord(checksum, now);
        send(kOk, now);
        sendDebugWord(static_cast<std::uint16_t>(count >> 16), now);
        sendDebugWord(static_cast<std::uint16_t>(count & 0xFFFF), now);
        send(kOk, now);
    }
    state_ = State::Done;
    events_.push_back({TransferEvent::Kind::Completed,
                       std::to_string(transferByteCount()) + " bytes programmed"});
}

void BootLoader::failTransfer(std::uint8_t reply, const std::string& why, SimTime now) {
    send(reply, now);
    events_.push_back({TransferEvent::Kind::Failed, why});
    backToGreeting(now);
}

void BootLoader::backToGreeting(SimTime now) {
    state_ = State::Greeting;
    eraseAckLost_ = false;
    frames_.reset();
    nextGreeting_ = now + kGreetingPeriod;
}

void BootLoader::beginTransfer() {
    flash_.beginTransfer();
    eraseRange_.reset();
    writePosition_ = 0;
    taken_.clear();
}

std::uint64_t BootLoader::transferByteCount() const {
    std::uint64_t count = 0;
    for (const TakenRecord& record : taken_) count += record.data.size();
    return count;
}

FlashMemory BootLoader::transferFlash() const {
    FlashMemory written;
    for (const TakenRecord& record : taken_) {
        const auto last = static_cast<std::uint32_t>(record.target + record.data.size() - 1);
        written.ensureErased(record.target, last);
        written.program(record.target, record.data);
    }
    return written;
}

void BootLoader::beBusy(SimTime until, std::string doing) {
    if (until <= busyUntil_) return;
    busyUntil_ = until;
    busyDoing_ = std::move(doing);
}

void BootLoader::breach(const std::string& what, std::span<const std::uint8_t> bytes) {
    breaches_.report(where(), what, bytes);
}

void BootLoader::loseStray(std::uint8_t byte, const std::string& what, SimTime now) {
    breaches_.lose(now, where(), what, byte);
}

void BootLoader::sendDebugWord(std::uint16_t word, SimTime now) {
    send(kDebug, now);
    send(static_cast<std::uint8_t>(word >> 8), now);
    send(static_cast<std::uint8_t>(word & 0xFF), now);
}

}  // namespace zamel::sim
