#include "receiver.h"

namespace zamel::sim {

namespace {

// A zero byte after the second upload command hands over to the boot loader.
constexpr std::uint8_t kHandOverByte = 0x00;
constexpr int kUploadCommandRepeats = 2;
constexpr int kMaxNoiseBytes = 6;

std::optional<UploadCommand> uploadCommandOf(const std::string& body) {
    if (body == "CMD,DBUPLOAD") return UploadCommand::Database;
    if (body == "CMD,MPUPLOAD,1") return UploadCommand::BaseMap;
    if (body == "CMD,MPUPLOAD,2") return UploadCommand::DetailMap;
    return std::nullopt;
}

// Noise never holds a sentence start, and garbage never looks like a greeting.
bool isHarmlessNoise(std::uint8_t byte) {
    return byte != '$' && byte != loader_byte::kHello && byte != 0x77;
}

}  // namespace

Receiver::Receiver(ReceiverConfig config, FaultPlan& faults, OutputQueue& output, SimTime now)
    : config_(std::move(config)),
      faults_(faults),
      output_(output),
      bootLoader_(faults, output, config_.eraseTimePerSector),
      random_(config_.seed) {
    if (config_.startInLoader) enterBootLoader(*config_.startInLoader, now);
}

std::string Receiver::stateName() const {
    if (mode_ == Mode::Firmware) return "Firmware";
    return std::string("BootLoader/") + bootLoader_.stateName();
}

bool Receiver::receive(std::uint8_t byte, long sentAtBaud, SimTime now) {
    if (mode_ == Mode::BootLoader) {
        if (sentAtBaud != config_.loaderBaud) return false;
        bootLoader_.receive(byte, now);
        if (bootLoader_.state() == BootLoader::State::Done) afterTransfer(now);
        return true;
    }
    if (sentAtBaud != config_.baud) {
        sentences_.reset();
        uploadCommandCount_ = 0;
        if (faults_.has(FaultKind::Garble)) sendGarbage(now);
        return false;
    }
    switch (sentences_.push(byte)) {
        case SentenceReader::Result::Sentence:
            onSentence(sentences_.body(), now);
            break;
        case SentenceReader::Result::Rejected:
            uploadCommandCount_ = 0;
            break;
        case SentenceReader::Result::Partial:
            break;
        case SentenceReader::Result::Outside:
            if (byte == kHandOverByte && uploadCommandCount_ >= kUploadCommandRepeats &&
                pendingUpload_) {
                enterBootLoader(config_.identity.uploadModeFor(*pendingUpload_), now);
            }
            break;
    }
    return true;
}

void Receiver::onSentence(const std::string& body, SimTime now) {
    if (const auto upload = uploadCommandOf(body)) {
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

void Receiver::enterBootLoader(UploadMode mode, SimTime now) {
    mode_ = Mode::BootLoader;
    uploadCommandCount_ = 0;
    pendingUpload_.reset();
    sentences_.reset();
    bootLoader_.start(mode, now);
}

void Receiver::afterTransfer(SimTime now) {
    // Program code goes from address 0; the boot block from further up.
    if (config_.identity.reloadsBootBlockAfterCode() && bootLoader_.eraseStart() == 0u) {
        enterBootLoader(UploadMode::Address, now);
        return;
    }
    mode_ = Mode::Firmware;
    sentences_.reset();
}

void Receiver::tick(SimTime now) {
    if (mode_ == Mode::BootLoader) bootLoader_.tick(now, lineRate_ == config_.loaderBaud);
}

std::optional<SimTime> Receiver::nextWake() const {
    if (mode_ != Mode::BootLoader || lineRate_ != config_.loaderBaud) return std::nullopt;
    return bootLoader_.nextWake();
}

std::optional<TransferEvent> Receiver::takeEvent() { return bootLoader_.takeEvent(); }

}  // namespace zamel::sim
