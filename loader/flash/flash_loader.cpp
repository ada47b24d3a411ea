#include "flash_loader.h"

#include <algorithm>
#include <utility>

#include "clock.h"
#include "legacy_phase_source.h"
#include "receiver_link.h"
#include "serial_result.h"
#include "serial_stream.h"

namespace zamel {

namespace {

// Bytes the loader sends.
constexpr std::uint8_t kHelloAnswer = 0x55;
constexpr std::uint8_t kEraseRequest = 0x6A;
constexpr std::uint8_t kColdStart = 0x69;

// Bytes the unit sends.
constexpr int kOk = 0x55;
constexpr int kRecWait = 0x77;
constexpr int kHello = 0xAA;
constexpr int kBadCmd = 0x83;
constexpr int kFail = 0x84;
constexpr int kBadType = 0x86;
constexpr int kRestartFile = 0x87;
constexpr int kRecNumber = 0x89;
constexpr int kDebug = 0x8E;
constexpr int kSectorErased = 0x8F;

constexpr std::uint32_t kEndAddressSlack = 0x10000;
// Unexpected bytes in NoConnect after which the receive queue is thrown away.
constexpr std::int32_t kNoConnectClearEvery = 15;

bool isResendRequest(int reply) {
    return reply == 0x81 || reply == 0x82 || reply == 0x85 || reply == 0x88;
}

// The erase-frame fields as the log has always shown them: the four bytes of
// each big-endian field read back as a little-endian number.
std::uint32_t littleEndianField(const std::array<std::uint8_t, kEraseFrameLength>& frame,
                                std::size_t at) {
    return static_cast<std::uint32_t>(frame[at]) |
           static_cast<std::uint32_t>(frame[at + 1]) << 8 |
           static_cast<std::uint32_t>(frame[at + 2]) << 16 |
           static_cast<std::uint32_t>(frame[at + 3]) << 24;
}

// The log's decimal form took the field as a signed 32-bit long, so a field
// with its top bit set reads negative; its hexadecimal form keeps 8 digits.
long asSignedLong(std::uint32_t field) { return static_cast<std::int32_t>(field); }
unsigned long asHexLong(std::uint32_t field) { return field; }

constexpr std::size_t kEraseStartAt = 3;
constexpr std::size_t kEraseEndAt = 7;

}  // namespace

FlashLoader::FlashLoader(ImageFile& image, SerialStream& stream, bool recordMode,
                         std::uint32_t baseAddress, std::uint32_t eraseEnd, bool verifyEcho,
                         const ReceiverLink& link, const Clock& clock,
                         const LegacyPhaseSource* phaseSource)
    : currentAddress(baseAddress),
      stream(&stream),
      baseAddress(baseAddress),
      endAddress(link.reloadBootBlock ? image.imageSize
                                      : baseAddress + image.imageSize + kEndAddressSlack),
      image(&image),
      recordMode(recordMode),
      verifyEcho(verifyEcho),
      link_(link),
      clock_(clock),
      phaseSource_(phaseSource),
      firstImage_(&image),
      firstBaseAddress_(baseAddress),
      firstEndAddress_(endAddress) {
    std::uint16_t errorBits = 0;
    state =
        stream.status(errorBits) != kSerialOk ? FlashLoaderState::NoPort : FlashLoaderState::Reset;
    eraseFrame = buildEraseFrame(baseAddress, eraseEnd != 0 ? eraseEnd : endAddress);
}

bool FlashLoader::step() {
    switch (state) {
        case FlashLoaderState::NoPort:
        case FlashLoaderState::InvalidFlash:
            return false;
        case FlashLoaderState::Reset:
            return onReset();
        case FlashLoaderState::NoConnect:
            return onNoConnect();
        case FlashLoaderState::Hand:
            return onHand();
        case FlashLoaderState::EraseCmd:
            return onEraseCmd();
        case FlashLoaderState::EraseAdr:
            return onEraseAdr();
        case FlashLoaderState::Erasing:
            return onErasing();
        case FlashLoaderState::SendCold:
            return onSendCold();
        case FlashLoaderState::WaitCold:
            return onWaitCold();
        case FlashLoaderState::SendRec:
            return onSendRec();
        case FlashLoaderState::WaitRec:
            return onWaitRec();
        case FlashLoaderState::Prog:
            return onProg();
        case FlashLoaderState::WriteFail:
            return onWriteFail();
        case FlashLoaderState::FileDone:
            return onFileDone();
        case FlashLoaderState::SendEnd:
            return onSendEnd();
        case FlashLoaderState::EndChecksum:
            return onEndChecksum();
        case FlashLoaderState::EndSize:
            return onEndSize();
        case FlashLoaderState::AllDone:
            return onAllDone();
        case FlashLoaderState::Debug1:
            return onDebug1();
        case FlashLoaderState::Debug2:
            return onDebug2();
        case FlashLoaderState::RecNum1:
            return onRecNum(FlashLoaderState::RecNum2, 1);
        case FlashLoaderState::RecNum2:
            return onRecNum(FlashLoaderState::RecNum3, 2);
        case FlashLoaderState::RecNum3:
            return onRecNum(FlashLoaderState::RecNum4, 3);
        case FlashLoaderState::RecNum4:
            return onRecNum(FlashLoaderState::SendRec, 4);
    }
    return false;
}

void FlashLoader::sendEnd() {
    stream->clearTransmit();
    stream->write(kEndFrame);
    stream->clearReceive(0);
    stream->drainTransmit();
    state = FlashLoaderState::SendEnd;
}

void FlashLoader::startSecondFile(ImageFile& nextImage, std::uint32_t nextBaseAddress) {
    image = &nextImage;
    baseAddress = nextBaseAddress;
    currentAddress = nextBaseAddress;
    endAddress = nextBaseAddress + nextImage.imageSize;
    bytesSent = 0;
    blocksRead_ = 0;
    heldBlockLength_ = 0;
    state = FlashLoaderState::SendRec;
    debugLog.line("SECOND FILE - %08lx to %08lx", static_cast<unsigned long>(baseAddress),
                  static_cast<unsigned long>(endAddress));
}

bool FlashLoader::onReset() {
    startOverFromFirstFile();
    recordCounter = 0;
    state = FlashLoaderState::NoConnect;
    debugLog.line("RESET");
    if (image->isSRecord) restartImage();
    return true;
}

bool FlashLoader::onNoConnect() {
    const int reply = stream->readByte(0);
    if (reply == kHello) {
        stream->clearReceive(0);
        stream->writeByte(kHelloAnswer);
        state = FlashLoaderState::Hand;
        debugLog.line("NO CONNECT - hello");
        return true;
    }
    if (reply == kRecWait) {
        state = FlashLoaderState::SendRec;
        debugLog.line("NO CONNECT - rec_wait");
        return true;
    }
    if (++noConnectCount >= kNoConnectClearEvery) {
        noConnectCount = 0;
        stream->clearReceive(0);
    }
    debugLog.line("NO CONNECT - other");
    return moreWaiting();
}

bool FlashLoader::onHand() {
    const int reply = stream->readByte(0);
    if (reply == kOk) {
        stream->clearReceive(0);
        stream->writeByte(kEraseRequest);
        // In record mode the first record follows at once: clearing the transmit
        // queue before it could throw this request away unsent.
        keepTransmitQueue_ = recordMode;
        noteSendTime();
        sectorsErased = 0;
        state = recordMode ? FlashLoaderState::SendRec : FlashLoaderState::EraseCmd;
        debugLog.line("HAND - OK");
        return true;
    }
    if (reply == kHello) {
        stream->writeByte(kHelloAnswer);
        debugLog.line("HAND - hello");
    } else if (reply == kBadType) {
        state = FlashLoaderState::InvalidFlash;
        debugLog.line("HAND - Bad type");
    } else if (reply != kSerialNoData) {
        debugLog.line("HAND - error %04x", reply);
    }
    return moreWaiting();
}

bool FlashLoader::onEraseCmd() {
    const int reply = stream->readByte(0);
    if (reply == kOk) {
        debugLog.line("ERASE CMD - Erasing %08ld:%08ld",
                      asSignedLong(littleEndianField(eraseFrame, kEraseStartAt)),
                      asSignedLong(littleEndianField(eraseFrame, kEraseEndAt)));
        sendEraseFrame();
        state = FlashLoaderState::EraseAdr;
        debugLog.line("ERASE CMD - Erasing %08lx:%08lx",
                      asHexLong(littleEndianField(eraseFrame, kEraseStartAt)),
                      asHexLong(littleEndianField(eraseFrame, kEraseEndAt)));
        return true;
    }
    if (reply == kHello) {
        stream->writeByte(kHelloAnswer);
        state = FlashLoaderState::Hand;
        debugLog.line("ERASE CMD - hello");
        return true;
    }
    if (reply == kBadCmd) {
        state = FlashLoaderState::NoConnect;
        debugLog.line("ERASE CMD - bad cmd");
        return moreWaiting();
    }
    if (timedOut(kEraseCmdTimeoutSeconds)) {
        stream->clearReceive(0);
        stream->writeByte(kEraseRequest);
        noteSendTime();
        debugLog.line("ERASE CMD - timeout");
        return true;
    }
    return moreWaiting();
}

bool FlashLoader::onEraseAdr() {
    const int reply = stream->readByte(0);
    if (reply == kOk) {
        state = FlashLoaderState::Erasing;
        debugLog.line("ERASE ADR - OK");
        return true;
    }
    if (isResendRequest(reply)) {
        sendEraseFrame();
        debugLog.line("SENDING ERASE - Erasing %08lx:%08lx",
                      asHexLong(littleEndianField(eraseFrame, kEraseStartAt)),
                      asHexLong(littleEndianField(eraseFrame, kEraseEndAt)));
        return true;
    }
    if (reply == kBadCmd) {
        state = FlashLoaderState::NoConnect;
        debugLog.line("ERASE ADR - bad");
    } else if (reply == kFail) {
        state = FlashLoaderState::WriteFail;
        debugLog.line("ERASE ADR - fail");
    } else if (reply == kSerialNoData) {
        if (timedOut(kEraseAdrTimeoutSeconds)) {
            sendEraseFrame();
            debugLog.line("ERASE ADR - timeout");
            return true;
        }
    } else {
        debugLog.line("ERASE ADR - error %04x", reply);
    }
    return moreWaiting();
}

bool FlashLoader::onErasing() {
    const int reply = stream->readByte(0);
    if (reply == kOk || reply == kRecWait) {
        bytesSent = 0;
        state = FlashLoaderState::SendCold;
        debugLog.line(reply == kOk ? "ERASING - OK" : "ERASING - rec wait");
        return true;
    }
    if (reply == kSectorErased) {
        ++sectorsErased;
        debugLog.line("ERASING - sector erased");
    } else if (reply != kSerialNoData) {
        debugLog.line("ERASING - error %04x", reply);
    }
    return moreWaiting();
}

bool FlashLoader::onSendCold() {
    stream->writeByte(kColdStart);
    state = FlashLoaderState::WaitCold;
    debugLog.line("SEND COLD");
    return true;
}

bool FlashLoader::onWaitCold() {
    const int reply = stream->readByte(0);
    if (reply == kOk || reply == kRecWait) {
        state = FlashLoaderState::SendRec;
        debugLog.line(reply == kOk ? "WAIT COLD - OK" : "WAIT COLD - rec wait");
        return true;
    }
    if (reply != kSerialNoData) debugLog.line("WAIT COLD - error %04x", reply);
    return moreWaiting();
}

bool FlashLoader::onSendRec() {
    const bool behindRequest = std::exchange(keepTransmitQueue_, false);
    const std::span<std::uint8_t> frame(recordFrame);
    const std::int16_t held = std::exchange(heldBlockLength_, 0);
    int count = 0;
    if (currentAddress > endAddress) {
        debugLog.line("SEND REC - Address %08lx past end %08lx",
                      static_cast<unsigned long>(currentAddress),
                      static_cast<unsigned long>(endAddress));
    } else {
        if (currentAddress == baseAddress && link_.reloadBootBlock) baseAddress = 0;
        std::uint32_t offset = currentAddress - baseAddress;
        if (held > 0) {
            count = held;
            offset = heldBlockAddress_;
        } else {
            count = readImageBlock(offset);
        }
        currentAddress = image->isSRecord ? offset : baseAddress + offset;
        debugLog.line("Read %d bytes for address %08lx", count,
                      static_cast<unsigned long>(currentAddress));
    }
    if (count < 1) {
        recordLength = 0;
        noteSendTime();
        state = FlashLoaderState::FileDone;
        debugLog.line("SEND REC - 0 len");
        return true;
    }
    const std::uint32_t address =
        recordMode ? static_cast<std::uint32_t>(static_cast<std::int32_t>(recordCounter))
                   : currentAddress;
    const std::size_t length = completeRecordFrame(frame, address, static_cast<std::size_t>(count));
    if (length == 0) {
        // The reader returned more than its own limit: never send a cut frame.
        recordLength = 0;
        state = FlashLoaderState::InvalidFlash;
        debugLog.line("SEND REC - block of %d bytes does not fit", count);
        return false;
    }
    recordLength = static_cast<std::int16_t>(length - kRecordHeaderLength - kRecordTrailerLength);
    sendRecordFrame(!behindRequest);
    state = FlashLoaderState::WaitRec;
    debugLog.lineWithDump(currentRecordFrame(),
                          "SEND REC - %d bytes:", static_cast<int>(recordFrameLength()));
    return moreWaiting();
}

bool FlashLoader::onWaitRec() {
    const int reply = stream->readByte(0);
    if (reply == kOk) {
        debugWord = 0;
        reportedValue = 0;
        debugCount = 0;
        state = FlashLoaderState::Prog;
        debugLog.line("WAIT REC - OK");
        return true;
    }
    if (reply == kRestartFile) {
        startOverFromFirstFile();
        // Record-mode frames carry the record number: restarting the file
        // without restarting the count would label its first record wrongly.
        if (recordMode) recordCounter = 0;
        state = FlashLoaderState::WaitCold;
        debugLog.line("WAIT REC - reset");
        if (image->isSRecord) restartImage();
        return true;
    }
    if (isResendRequest(reply)) {
        resendRecord(reply);
    } else if (reply == kFail) {
        state = FlashLoaderState::WriteFail;
        debugLog.line("WAIT REC - fail");
    } else if (reply == kDebug) {
        savedState = FlashLoaderState::WaitRec;
        state = FlashLoaderState::Debug1;
        debugLog.line("WAIT REC - debug");
    } else if (reply == kSerialNoData) {
        if (timedOut(kWaitRecTimeoutSeconds)) {
            sendRecordFrame();
            debugLog.lineWithDump(currentRecordFrame(), "WAIT REC - timeout resend %d bytes:",
                                  static_cast<int>(recordFrameLength()));
        }
    } else {
        debugLog.line("WAIT REC - error %04x", reply);
    }
    return moreWaiting();
}

bool FlashLoader::onProg() {
    const int reply = stream->readByte(0);
    if (reply == kOk || reply == kRecWait) {
        acknowledgeRecord(reply);
        return true;
    }
    if (isResendRequest(reply)) {
        resendRecord(reply);
        state = FlashLoaderState::WaitRec;
    } else if (reply == kFail) {
        state = FlashLoaderState::WriteFail;
        debugLog.line("PROG - fail");
    } else if (reply == kRecNumber) {
        state = FlashLoaderState::RecNum1;
        debugLog.line("PROG - rec number");
    } else if (reply == kDebug) {
        savedState = FlashLoaderState::Prog;
        state = FlashLoaderState::Debug1;
        debugLog.line("PROG - debug");
    } else if (reply != kSerialNoData) {
        debugLog.line("PROG - error %04x", reply);
    }
    return moreWaiting();
}

bool FlashLoader::onRecNum(FlashLoaderState next, int number) {
    const int reply = stream->readByte(0);
    if (reply == kSerialNoData) return moreWaiting();
    debugLog.line("REC NUM %d - %02x", number, reply);
    state = next;
    if (next != FlashLoaderState::SendRec) return true;
    // The unit wants the previous record again. Neither the counters nor the
    // address may move before the start of the file.
    if (image->isSRecord) {
        goBackOneBlock();
    } else {
        const auto record = static_cast<std::uint32_t>(kRecordDataLength);
        bytesSent = bytesSent >= record ? bytesSent - record : 0;
        currentAddress =
            currentAddress - baseAddress >= record ? currentAddress - record : baseAddress;
    }
    if (recordCounter > 0) --recordCounter;
    debugLog.line("Reset to record %ld address %ld", static_cast<long>(recordCounter),
                  static_cast<long>(currentAddress));
    return true;
}

void FlashLoader::goBackOneBlock() {
    // With no block before the one in flight, the file starts again and nothing
    // acknowledged is taken back.
    if (blocksRead_ < 2) {
        restartImage();
        return;
    }
    if (!holdBlock(BlockSearch::PreviousBlock, lastBlockStarts_[0])) return;
    // Blocks need not be one nominal record long: take back what was counted.
    const auto counted = static_cast<std::uint32_t>(heldBlockLength_ + (heldBlockLength_ & 1));
    bytesSent = bytesSent >= counted ? bytesSent - counted : 0;
    currentAddress = heldBlockAddress_;
}

bool FlashLoader::onDebug1() {
    const int reply = stream->readByte(0);
    if (reply == kSerialNoData) return moreWaiting();
    debugWord = static_cast<std::uint16_t>(reply << 8);
    state = FlashLoaderState::Debug2;
    debugLog.line("DEBUG 1 - %02x", reply);
    return true;
}

bool FlashLoader::onDebug2() {
    const int reply = stream->readByte(0);
    if (reply == kSerialNoData) return moreWaiting();
    debugWord = static_cast<std::uint16_t>(debugWord | reply);
    ++debugCount;
    if (debugCount == 1) reportedValue = debugWord;
    if (debugCount == 2) combineDebugWords();
    state = savedState;
    debugLog.line("DEBUG 2 - %02x", reply);
    return true;
}

bool FlashLoader::onWriteFail() {
    state = FlashLoaderState::Reset;
    return moreWaiting();
}

bool FlashLoader::onFileDone() {
    debugLog.line("FILE DONE");
    return false;
}

bool FlashLoader::onSendEnd() {
    const int reply = stream->readByte(0);
    if (reply == kOk) {
        state = recordMode ? FlashLoaderState::EndChecksum : FlashLoaderState::AllDone;
        debugLog.line("SEND END - OK");
        return true;
    }
    if (reply == kSerialNoData) {
        if (timedOut(kSendEndTimeoutSeconds)) {
            stream->clearTransmit();
            stream->write(kEndFrame);
            stream->clearReceive(0);
            noteSendTime();
            debugLog.line("SEND END - timeout, resend");
            return true;
        }
    } else {
        debugLog.line("SEND END - error %04x", reply);
    }
    return moreWaiting();
}

bool FlashLoader::onEndChecksum() {
    const int reply = stream->readByte(0);
    if (reply == kOk) {
        unitChecksum = debugWord;
        reportedValue = 0;
        debugCount = 0;
        state = FlashLoaderState::EndSize;
    } else if (reply == kDebug) {
        savedState = FlashLoaderState::EndChecksum;
        state = FlashLoaderState::Debug1;
    }
    return moreWaiting();
}

bool FlashLoader::onEndSize() {
    const int reply = stream->readByte(0);
    if (reply == kOk) {
        unitSize = reportedValue;
        state = FlashLoaderState::AllDone;
    } else if (reply == kDebug) {
        savedState = FlashLoaderState::EndSize;
        state = FlashLoaderState::Debug1;
    }
    return moreWaiting();
}

bool FlashLoader::onAllDone() {
    state = FlashLoaderState::Reset;
    debugLog.line("ALL DONE");
    return moreWaiting();
}

// The unit erases its whole range again when it starts over, and that range covers
// the second file's as well. The boot-block reload reads the image by offset from
// address 0 once it has begun, so its base address is put back too.
void FlashLoader::startOverFromFirstFile() {
    if (image != firstImage_) {
        debugLog.line("FIRST FILE AGAIN - %08lx to %08lx",
                      static_cast<unsigned long>(firstBaseAddress_),
                      static_cast<unsigned long>(firstEndAddress_));
    }
    image = firstImage_;
    baseAddress = firstBaseAddress_;
    endAddress = firstEndAddress_;
    currentAddress = baseAddress;
    bytesSent = 0;
}

bool FlashLoader::moreWaiting() { return stream->receiveCount() > 0; }

bool FlashLoader::timedOut(std::int64_t limitSeconds) const {
    return clock_.calendarSeconds() - lastSendTime > limitSeconds;
}

void FlashLoader::noteSendTime() { lastSendTime = clock_.calendarSeconds(); }

void FlashLoader::sendEraseFrame() {
    stream->clearTransmit();
    stream->write(eraseFrame);
    stream->clearReceive(0);
    noteSendTime();
}

void FlashLoader::sendRecordFrame(bool clearTransmitFirst) {
    if (clearTransmitFirst) stream->clearTransmit();
    stream->write(currentRecordFrame());
    stream->clearReceive(0);
    noteSendTime();
}

void FlashLoader::resendRecord(int reply) {
    sendRecordFrame();
    debugLog.lineWithDump(currentRecordFrame(), "WAIT REC - %04x resend %d bytes:", reply,
                          static_cast<int>(recordFrameLength()));
}

void FlashLoader::acknowledgeRecord(int reply) {
    bool resendAfterEcho = false;
    if (debugCount == 2 && reportedValue != 0 && verifyEcho) {
        debugLog.line("Got %08lx back", static_cast<unsigned long>(reportedValue));
        // The unit took records only up to reportedValue: go on after it. A value
        // below the file's start is not an address of this file and is not followed.
        if (!recordMode && reportedValue < currentAddress && reportedValue >= baseAddress) {
            currentAddress = reportedValue;
            recordLength = kRecordDataLength;
            bytesSent -= kRecordDataLength;
            debugLog.line("Handshake error - resending");
            resendAfterEcho = true;
        }
    }
    currentAddress += static_cast<std::uint32_t>(recordLength);
    bytesSent += static_cast<std::uint32_t>(recordLength);
    ++recordCounter;
    state = FlashLoaderState::SendRec;
    debugLog.line(reply == kOk ? "PROG - OK" : "PROG - rec wait");
    if (resendAfterEcho && image->isSRecord) holdBlock(BlockSearch::FirstAbove, reportedValue);
}

void FlashLoader::combineDebugWords() {
    const std::uint16_t first = static_cast<std::uint16_t>(reportedValue);
    const std::uint16_t second = debugWord;
    if (!wordOrderKnown) decideWordOrder(first, second);
    if (!wordOrderKnown) {
        reportedValue = 0;
        return;
    }
    const std::uint32_t high = lowWordFirst ? second : first;
    const std::uint32_t low = lowWordFirst ? first : second;
    reportedValue = high << 16 | low;
}

void FlashLoader::decideWordOrder(std::uint16_t first, std::uint16_t second) {
    const ReceiverClass receiverClass = link_.receiverClass;
    if (receiverClass != ReceiverClass::Legacy && receiverClass != ReceiverClass::LegacyIfNamed) {
        lowWordFirst = false;
        wordOrderKnown = true;
        return;
    }
    const std::optional<int> phase =
        phaseSource_ != nullptr ? phaseSource_->legacyPhase() : std::nullopt;
    if (!phase || (*phase != 0 && *phase != 1)) return;
    // Early reports are small numbers: a zero word beside a word below the file's
    // limit shows which half came first.
    const bool codeFile = *phase == 0;
    const std::uint32_t limit = codeFile ? 0x1000 : 0x10;
    if (first == 0 && second >= 1 && second < limit) {
        lowWordFirst = !codeFile;
        wordOrderKnown = true;
    } else if (second == 0 && first >= 1 && first < limit) {
        lowWordFirst = codeFile;
        wordOrderKnown = true;
    }
}

std::size_t FlashLoader::recordFrameLength() const {
    return recordLength > 0
               ? static_cast<std::size_t>(recordLength) + kRecordHeaderLength + kRecordTrailerLength
               : 0;
}

std::span<std::uint8_t> FlashLoader::recordData() {
    return std::span(recordFrame).subspan(kRecordHeaderLength, kRecordDataCapacity);
}

std::int16_t FlashLoader::readImageBlock(std::uint32_t& address) {
    std::int16_t count = image->readBlock(recordData(), kRecordDataLength, address);
    if (count > 0 && image->isSRecord && link_.reloadBootBlock)
        count = keepBootBlock(count, address);
    if (count > 0 && image->isSRecord) {
        ++blocksRead_;
        lastBlockStarts_[0] = lastBlockStarts_[1];
        lastBlockStarts_[1] = address;
    }
    return count;
}

// A binary image is read from the boot block's offset; an S-record image is read
// from its first record, so what lies below the boot block is passed over here and
// a block that runs into the boot block loses its front.
std::int16_t FlashLoader::keepBootBlock(std::int16_t count, std::uint32_t& address) {
    const std::uint32_t bootBlock = firstBaseAddress_;
    while (count > 0 && std::uint64_t{address} + static_cast<std::uint64_t>(count) <= bootBlock)
        count = image->readBlock(recordData(), kRecordDataLength, address);
    if (count > 0 && address < bootBlock) {
        const auto below = static_cast<std::int16_t>(bootBlock - address);
        const std::span<std::uint8_t> data = recordData();
        std::copy(data.begin() + below, data.begin() + count, data.begin());
        count = static_cast<std::int16_t>(count - below);
        address = bootBlock;
    }
    return count;
}

bool FlashLoader::restartImage() {
    blocksRead_ = 0;
    heldBlockLength_ = 0;
    if (image->restartAtFirstRecord()) return true;
    debugLog.line("Image rewind failed - stopped");
    stopBeforeWrongData();
    return false;
}

bool FlashLoader::holdBlock(BlockSearch search, std::uint32_t address) {
    const std::int32_t inFlight = blocksRead_ - 1;
    const std::int32_t wanted = search == BlockSearch::PreviousBlock ? inFlight - 1 : inFlight;
    if (!restartImage()) return false;
    for (std::int32_t ordinal = 0; ordinal <= wanted; ++ordinal) {
        // A block of S1 or S2 records reports no address and keeps this one.
        std::uint32_t start = address;
        const std::int16_t count = readImageBlock(start);
        if (count < 1) break;
        const bool found = search == BlockSearch::PreviousBlock
                               ? ordinal == wanted && start == address
                               : start > address;
        if (found) {
            heldBlockLength_ = count;
            heldBlockAddress_ = start;
            return true;
        }
    }
    if (search == BlockSearch::PreviousBlock) {
        debugLog.line("Image has no block at %08lx - stopped", static_cast<unsigned long>(address));
    } else {
        debugLog.line("Image has no block after %08lx - stopped",
                      static_cast<unsigned long>(address));
    }
    stopBeforeWrongData();
    return false;
}

void FlashLoader::stopBeforeWrongData() {
    heldBlockLength_ = 0;
    state = FlashLoaderState::InvalidFlash;
}

}  // namespace zamel
