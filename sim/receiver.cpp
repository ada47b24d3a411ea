#include "receiver.h"

#include <algorithm>

namespace zamel::sim {

namespace {

// A zero byte after the second upload command hands over to the boot loader.
constexpr std::uint8_t kHandOverByte = 0x00;
constexpr int kUploadCommandRepeats = 2;
constexpr int kMaxNoiseBytes = 6;
constexpr char kFirmwareState[] = "Firmware";

std::optional<UploadCommand> uploadCommandOf(const std::string& body) {
    if (body == "CMD,DBUPLOAD") return UploadCommand::Database;
    if (body == "CMD,MPUPLOAD,1") return UploadCommand::BaseMap;
    if (body == "CMD,MPUPLOAD,2") return UploadCommand::DetailMap;
    return std::nullopt;
}

// Noise never holds a sentence start, and garbage never looks like a greeting.
bool isHarmlessNoise(std::uint8_t byte) {
    return byte != '$' && byte != loader_byte::kHello && byte != loader_byte::kRecWait;
}

BootLoaderTiming timingOf(const ReceiverConfig& config) {
    return {config.restartTime, config.eraseTimePerSector, config.programTime};
}

}  // namespace

Receiver::Receiver(ReceiverConfig config, FaultPlan& faults, OutputQueue& output, SimTime now)
    : config_(std::move(config)),
      faults_(faults),
      output_(output),
      bootLoader_(faults, output, breaches_, timingOf(config_)),
      random_(config_.seed) {
    if (config_.identity.reloadsBootBlockAfterCode()) bootBlock_.emplace();
    if (config_.startInLoader) enterBootLoader(*config_.startInLoader, now, false);
}

std::string Receiver::stateName() const {
    if (mode_ == Mode::Firmware) return kFirmwareState;
    return std::string("BootLoader/") + bootLoader_.stateName();
}

bool Receiver::receive(std::uint8_t byte, long sentAtBaud, SimTime now) {
    if (mode_ == Mode::Firmware) return receiveInFirmware(byte, sentAtBaud, now);
    // A busy unit loses whatever arrives, at any rate.
    if (sentAtBaud != config_.loaderBaud && !bootLoader_.busyAt(now)) return false;
    const bool taken = bootLoader_.receive(byte, now);
    if (bootLoader_.state() == BootLoader::State::Done) afterTransfer(now);
    return taken;
}

bool Receiver::receiveInFirmware(std::uint8_t byte, long sentAtBaud, SimTime now) {
    if (sentAtBaud != config_.baud) {
        sentences_.reset();
        lineFeedDue_.reset();
        uploadCommandCount_ = 0;
        if (faults_.has(FaultKind::Garble)) sendGarbage(now);
        return false;
    }
    switch (sentences_.push(byte)) {
        case SentenceReader::Result::Sentence:
            lineFeedDue_.reset();
            onSentence(sentences_.body(), now);
            break;
        case SentenceReader::Result::Rejected:
            uploadCommandCount_ = 0;
            break;
        case SentenceReader::Result::Breach:
            sentenceBreach();
            break;
        case SentenceReader::Result::Partial:
            if (sentences_.awaitingLineFeed() && !lineFeedDue_) lineFeedDue_ = now + kLineFeedWait;
            break;
        case SentenceReader::Result::Outside:
            if (byte == kHandOverByte && uploadCommandCount_ >= kUploadCommandRepeats &&
                pendingUpload_) {
                enterBootLoader(config_.identity.uploadModeFor(*pendingUpload_), now, true);
            }
            break;
    }
    return true;
}

void Receiver::sentenceBreach() {
    // The unit reads no such sentence: it is lost, and with it a pending upload command.
    lineFeedDue_.reset();
    uploadCommandCount_ = 0;
    breaches_.report(kFirmwareState, sentences_.breach(), sentences_.sentenceBytes());
}

void Receiver::onSentence(const std::string& body, SimTime now) {
    if (const auto upload = uploadCommandOf(body)) {
        if (uploadCommandCount_ >= kUploadCommandRepeats) {
            // The unit already waits for its zero byte and drops the sentence.
            breaches_.report(kFirmwareState,
                             "upload command sent again after the two that hand over",
                             sentences_.sentenceBytes());
            return;
        }
        uploadCommandCount_ = pendingUpload_ == upload ? uploadCommandCount_ + 1 : 1;
        pendingUpload_ = upload;
        return;
    }
    uploadCommandCount_ = 0;
    pendingUpload_.reset();
    if (body == "CMD,VERSION") {
        reply(config_.identity.versionReply(), now);
    } else if (body == "CMD,MEMORY") {
        reply(config_.identity.memoryReply(), now);
    } else if (body == "CMD,PIH") {
        reply(config_.identity.poiHeaderReply(), now);
    } else if (body == "CMD,MPH") {
        reply(config_.identity.mapHeaderReply(), now);
    }
}

void Receiver::reply(const std::vector<std::uint8_t>& sentence, SimTime now) {
    if (faults_.has(FaultKind::Noise)) sendNoise(now);
    output_.send(sentence, now);
    if (faults_.has(FaultKind::Noise)) sendNoise(now);
}

void Receiver::sendNoise(SimTime now) {
    std::uniform_int_distribution<int> count(1, kMaxNoiseBytes);
    std::uniform_int_distribution<int> value(0, 255);
    for (int n = count(random_); n > 0;) {
        const auto byte = static_cast<std::uint8_t>(value(random_));
        if (!isHarmlessNoise(byte)) continue;
        output_.send(byte, now);
        --n;
    }
}

void Receiver::sendGarbage(SimTime now) {
    std::uniform_int_distribution<int> value(0, 255);
    std::uint8_t byte = 0;
    do {
        byte = static_cast<std::uint8_t>(value(random_));
    } while (!isHarmlessNoise(byte));
    output_.send(byte, now);
}

void Receiver::enterBootLoader(UploadMode mode, SimTime now, bool restarting) {
    mode_ = Mode::BootLoader;
    uploadCommandCount_ = 0;
    pendingUpload_.reset();
    sentences_.reset();
    lineFeedDue_.reset();
    bootLoader_.start(mode, now, restarting);
}

void Receiver::afterTransfer(SimTime now) {
    if (bootBlock_) {
        bootBlock_->transferCompleted(bootLoader_.eraseStart());
        if (bootBlock_->awaited()) {
            enterBootLoader(UploadMode::Address, now, true);
            return;
        }
        if (auto problem = bootBlock_->startProblem(bootLoader_.flash()))
            events_.push_back({TransferEvent::Kind::ProtocolError, std::move(*problem)});
    }
    mode_ = Mode::Firmware;
    sentences_.reset();
}

std::optional<std::string> Receiver::switchOffProblem() const {
    // A unit running its firmware was judged when it started it.
    if (mode_ == Mode::Firmware || !bootBlock_) return std::nullopt;
    return bootBlock_->startProblem(bootLoader_.flash());
}

void Receiver::tick(SimTime now) {
    breaches_.tick(now);
    if (lineFeedDue_ && now >= *lineFeedDue_) {
        sentences_.abandonLineFeed();
        sentenceBreach();
    }
    if (mode_ == Mode::BootLoader) bootLoader_.tick(now, lineRate_ == config_.loaderBaud);
}

std::optional<SimTime> Receiver::nextWake() const {
    std::optional<SimTime> wake = breaches_.nextWake();
    const auto earliest = [&wake](std::optional<SimTime> at) {
        if (at && (!wake || *at < *wake)) wake = at;
    };
    earliest(lineFeedDue_);
    if (mode_ == Mode::BootLoader && lineRate_ == config_.loaderBaud)
        earliest(bootLoader_.nextWake());
    return wake;
}

std::optional<TransferEvent> Receiver::takeEvent() {
    // What the loader did wrong on the way is told before the outcome.
    if (bootLoader_.hasEvent()) breaches_.endRun();
    if (auto text = breaches_.take())
        return TransferEvent{TransferEvent::Kind::ProtocolError, std::move(*text)};
    if (auto event = bootLoader_.takeEvent()) return event;
    if (events_.empty()) return std::nullopt;
    TransferEvent event = events_.front();
    events_.erase(events_.begin());
    return event;
}

}  // namespace zamel::sim
