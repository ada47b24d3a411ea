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

// Unexpected bytes in NoConnect after which the receive queue is thrown away.
constexpr std::int32_t kNoConnectClearEvery = 15;

bool isResendRequest(int reply) {
    return reply == 0x81 || reply == 0x82 || reply == 0x85 || reply == 0x88;
}

// The erase-frame fields as the log has always shown them: the four bytes of
// each big-endian field read back as a little-endian number.
std::uint32_t littleEndianField(const std::array<std::uint8_t, kEraseFrameLength>& frame,
                                std::size_t at) {
    return static_cast<std::uint32_t>(frame[at]) | static_cast<std::uint32_t>(frame[at + 1]) << 8 |
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

FlashLoader::FlashLoader(TransferPlan plan, SerialStream& stream, bool recordMode,
                         std::uint32_t eraseEnd, bool verifyEcho, const ReceiverLink& link,
                         const Clock& clock, const LegacyPhaseSource* phaseSource)
    : stream(&stream),
      recordMode(recordMode),
      verifyEcho(verifyEcho),
      plan_(std::move(plan)),
      link_(link),
      clock_(clock),
      phaseSource_(phaseSource) {
    std::uint16_t errorBits = 0;
    state =
        stream.status(errorBits) != kSerialOk ? FlashLoaderState::NoPort : FlashLoaderState::Reset;
    std::uint32_t eraseStart = UINT32_MAX;
    std::uint32_t lastWritten = 0;
    for (const TransferSegment& segment : plan_) {
        if (segment.blocks.empty()) continue;
        eraseStart = std::min({eraseStart, segment.window.first, segment.blocks.front().address});
        lastWritten = std::max(lastWritten, segment.lastWritten());
    }
    if (eraseStart == UINT32_MAX) {
        // Nothing to write: an erase without records would leave the unit emptied.
        state = FlashLoaderState::InvalidFlash;
        debugLog.line("No data to send - stopped");
        eraseStart = 0;
    }
    eraseFrame = buildEraseFrame(eraseStart, std::max(eraseEnd, lastWritten));
    moveCursorTo(0, 0);
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
    // The SendEnd time-out counts from the entry into FileDone.
    const std::int64_t fileDoneTime = lastSendTime;
    sendFrame(kEndFrame);
    lastSendTime = fileDoneTime;
    stream->drainTransmit();
    state = FlashLoaderState::SendEnd;
}

bool FlashLoader::startNextSegment() {
    if (segment_ + 1 >= plan_.size()) return false;
    moveCursorTo(segment_ + 1, 0);
    const std::vector<TransferBlock>& blocks = plan_[segment_].blocks;
    state = FlashLoaderState::SendRec;
    debugLog.line("SECOND FILE - %08lx to %08lx",
                  static_cast<unsigned long>(blocks.empty() ? 0 : blocks.front().address),
                  static_cast<unsigned long>(
                      blocks.empty() ? 0 : blocks.back().address + blocks.back().length));
    return true;
}

bool FlashLoader::wholePlanSent() const {
    return !plan_.empty() && segment_ + 1 == plan_.size() && cursorBlock() == nullptr;
}

bool FlashLoader::onReset() {
    startOver();
    recordCounter = 0;
    state = FlashLoaderState::NoConnect;
    debugLog.line("RESET");
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
        // Each sector shows the erase is under way: the silence limit starts anew.
        noteSendTime();
        debugLog.line("ERASING - sector erased");
    } else if (reply == kSerialNoData) {
        // The answer that ends the erase was lost: the unit takes the erase frame
        // again and answers it, rather than leave the engine waiting for ever.
        if (timedOut(kErasingTimeoutSeconds)) {
            sendEraseFrame();
            state = FlashLoaderState::EraseAdr;
            debugLog.line("ERASING - timeout, erase again");
            return true;
        }
    } else {
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
    const TransferBlock* block = cursorBlock();
    if (block == nullptr) {
        recordLength = 0;
        debugLog.line("Read 0 bytes for address %08lx", static_cast<unsigned long>(currentAddress));
        noteSendTime();
        state = FlashLoaderState::FileDone;
        debugLog.line("SEND REC - 0 len");
        return true;
    }
    currentAddress = block->address;
    const std::span<const std::uint8_t> data = plan_[segment_].blockData(*block);
    std::copy(data.begin(), data.end(), recordFrame.begin() + kRecordHeaderLength);
    debugLog.line("Read %d bytes for address %08lx", static_cast<int>(data.size()),
                  static_cast<unsigned long>(currentAddress));
    const std::uint32_t address =
        recordMode ? static_cast<std::uint32_t>(static_cast<std::int32_t>(recordCounter))
                   : currentAddress;
    const std::size_t length = completeRecordFrame(recordFrame, address, data.size());
    recordLength = static_cast<std::int16_t>(length - kRecordHeaderLength - kRecordTrailerLength);
    sendFrame(currentRecordFrame(), !behindRequest);
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
        startOver();
        // Record-mode frames carry the record number: restarting the file
        // without restarting the count would label its first record wrongly.
        if (recordMode) recordCounter = 0;
        state = FlashLoaderState::WaitCold;
        debugLog.line("WAIT REC - reset");
        return true;
    }
    if (isResendRequest(reply)) {
        resendRecord("WAIT REC - %04x resend %d bytes:", reply);
    } else if (reply == kFail) {
        state = FlashLoaderState::WriteFail;
        debugLog.line("WAIT REC - fail");
    } else if (reply == kDebug) {
        savedState = FlashLoaderState::WaitRec;
        state = FlashLoaderState::Debug1;
        debugLog.line("WAIT REC - debug");
    } else if (reply == kSerialNoData) {
        if (timedOut(kWaitRecTimeoutSeconds))
            resendRecord("WAIT REC - timeout resend %d bytes:", -1);
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
        resendRecord("WAIT REC - %04x resend %d bytes:", reply);
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
    } else if (reply == kSerialNoData) {
        // A lost second acknowledgement: the unit takes the record again without
        // writing it twice and acknowledges it anew.
        if (timedOut(kWaitRecTimeoutSeconds)) {
            resendRecord("PROG - timeout resend %d bytes:", -1);
            state = FlashLoaderState::WaitRec;
        }
    } else {
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
    stepBackOneRecord();
    if (recordCounter > 0) --recordCounter;
    debugLog.line("Reset to record %ld address %ld", static_cast<long>(recordCounter),
                  static_cast<long>(currentAddress));
    return true;
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
            sendFrame(kEndFrame);
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

bool FlashLoader::moreWaiting() { return stream->receiveCount() > 0; }

bool FlashLoader::timedOut(std::int64_t limitSeconds) const {
    return clock_.calendarSeconds() - lastSendTime > limitSeconds;
}

void FlashLoader::noteSendTime() { lastSendTime = clock_.calendarSeconds(); }

void FlashLoader::sendFrame(std::span<const std::uint8_t> frame, bool clearTransmitFirst) {
    if (clearTransmitFirst) stream->clearTransmit();
    stream->clearReceive(0);
    stream->write(frame);
    noteSendTime();
}

void FlashLoader::sendEraseFrame() { sendFrame(eraseFrame); }

void FlashLoader::resendRecord(const char* format, int reply) {
    sendFrame(currentRecordFrame());
    if (reply < 0) {
        debugLog.lineWithDump(currentRecordFrame(), format, static_cast<int>(recordFrameLength()));
    } else {
        debugLog.lineWithDump(currentRecordFrame(), format, reply,
                              static_cast<int>(recordFrameLength()));
    }
}

void FlashLoader::acknowledgeRecord(int reply) {
    if (debugCount == 2 && reportedValue != 0 && verifyEcho) {
        debugLog.line("Got %08lx back", static_cast<unsigned long>(reportedValue));
        // The unit took records only up to the one it names: go on after that one,
        // wherever in the plan it lies. An address the loader never sent is not
        // followed.
        std::size_t segment = 0;
        std::size_t block = 0;
        if (!recordMode && findSentRecord(reportedValue, segment, block)) {
            moveCursorTo(segment, block);
            debugLog.line("Handshake error - resending");
        }
    }
    if (cursorBlock() != nullptr) moveCursorTo(segment_, block_ + 1);
    ++recordCounter;
    state = FlashLoaderState::SendRec;
    debugLog.line(reply == kOk ? "PROG - OK" : "PROG - rec wait");
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

const TransferBlock* FlashLoader::cursorBlock() const {
    if (segment_ >= plan_.size() || block_ >= plan_[segment_].blocks.size()) return nullptr;
    return &plan_[segment_].blocks[block_];
}

// Progress counts what the segment holds before the cursor's record; at its end, the
// pad byte of an odd last record too, as the unit counts what it was sent.
void FlashLoader::moveCursorTo(std::size_t segment, std::size_t block) {
    segment_ = segment;
    block_ = block;
    const TransferBlock* next = cursorBlock();
    if (next != nullptr) {
        currentAddress = next->address;
        bytesSent = next->dataOffset;
    } else if (segment_ < plan_.size() && !plan_[segment_].blocks.empty()) {
        const TransferBlock& last = plan_[segment_].blocks.back();
        const std::uint32_t padded = last.length + (last.length & 1u);
        currentAddress = last.address + padded;
        bytesSent = last.dataOffset + padded;
    }
}

// A unit that starts over (0x84, 0x87) has erased its whole range again, which
// covers every segment: all of them go again from the first record.
void FlashLoader::startOver() {
    if (segment_ != 0) debugLog.line("FIRST FILE AGAIN");
    moveCursorTo(0, 0);
}

// The unit wants the record before the one in flight again. Before the first
// record of the plan there is nothing to take back: that record goes again.
void FlashLoader::stepBackOneRecord() {
    if (block_ > 0) {
        moveCursorTo(segment_, block_ - 1);
    } else if (segment_ > 0) {
        moveCursorTo(segment_ - 1, plan_[segment_ - 1].blocks.size() - 1);
    } else {
        moveCursorTo(0, 0);
    }
}

bool FlashLoader::findSentRecord(std::uint32_t address, std::size_t& segment,
                                 std::size_t& block) const {
    for (std::size_t s = 0; s <= segment_ && s < plan_.size(); ++s) {
        const std::size_t before = s == segment_ ? block_ : plan_[s].blocks.size();
        for (std::size_t b = 0; b < before; ++b) {
            const TransferBlock& sent = plan_[s].blocks[b];
            if (address >= sent.address && address - sent.address < sent.length) {
                segment = s;
                block = b;
                return true;
            }
        }
    }
    return false;
}

}  // namespace zamel
