#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "debug_log.h"
#include "flash_frame.h"
#include "flash_loader_state.h"
#include "transfer_plan.h"

namespace zamel {

class Clock;
class LegacyPhaseSource;
class ReceiverLink;
class SerialStream;

// The flash loader engine: moves the files of one transfer into a receiver through
// its boot loader. A polled state machine driven by its owner's timer through step();
// it never waits for input and sends nothing until stepped.
//
// A transfer is a list of segments, each a file read whole beforehand, and the
// engine's position is a cursor over their records: a record-number rewind moves it
// back one record, into the previous segment when it must; a unit that starts over
// puts it back at the first record of the first segment. The erase range is taken
// from the same list, so it covers every byte the transfer writes.
//
// The engine owns the plan and its debug log, DEBUG.OUT; it borrows the stream, the
// receiver link (class), the clock and the optional legacy phase source, which the
// owner keeps alive while the engine exists. The record frame is built in place in a
// buffer inside the engine, so a transfer allocates nothing.
class FlashLoader {
  public:
    // Data bytes of a full record.
    static constexpr int kRecordDataLength = 1980;
    // The longest frame: header, one full record, one pad byte, trailer.
    static constexpr std::size_t kRecordFrameCapacity =
        kRecordHeaderLength + kRecordDataLength + 1 + kRecordTrailerLength;

    // Time-outs: a resend fires once the whole-second difference exceeds the limit,
    // i.e. 2, 3, 5 and 3 seconds after the last send. A record whose second
    // acknowledgement is lost is sent again after the record limit as well, and an
    // erase whose end is never reported after the erasing limit.
    static constexpr std::int64_t kEraseCmdTimeoutSeconds = 1;
    static constexpr std::int64_t kEraseAdrTimeoutSeconds = 2;
    static constexpr std::int64_t kWaitRecTimeoutSeconds = 4;
    static constexpr std::int64_t kSendEndTimeoutSeconds = 2;
    // No sector report and no end of the erase for this long: the erase goes again.
    static constexpr std::int64_t kErasingTimeoutSeconds = 9;

    // Erases from the first segment's window start to `eraseEnd`, or further when
    // a record (pad byte included) lies beyond it; 0 erases up to the last record.
    FlashLoader(TransferPlan plan, SerialStream& stream, bool recordMode, std::uint32_t eraseEnd,
                bool verifyEcho, const ReceiverLink& link, const Clock& clock,
                const LegacyPhaseSource* phaseSource = nullptr);
    FlashLoader(const FlashLoader&) = delete;
    FlashLoader& operator=(const FlashLoader&) = delete;

    // Handles at most one received byte. True: call again at once.
    bool step();
    // Sends the end frame, waits until it has left the port, enters SendEnd.
    void sendEnd();
    // In FileDone with a segment after the cursor's: goes on with it (no erase is
    // sent for it) and returns true; false when the cursor is on the last segment.
    bool startNextSegment();
    // Replaces `text` with the status text of the current state (unchanged while
    // the engine reads a record number).
    void statusText(std::string& text) const;
    void closeLog() { debugLog.close(); }

    // The segment the cursor is in, and whether every record of the plan has been
    // acknowledged: an end confirmed before that does not complete the transfer.
    std::size_t segmentIndex() const { return segment_; }
    bool wholePlanSent() const;
    const TransferPlan& plan() const { return plan_; }

    // The frame being sent (empty before the first record).
    std::span<const std::uint8_t> currentRecordFrame() const {
        return std::span(recordFrame).first(recordFrameLength());
    }
    const std::array<std::uint8_t, kEraseFrameLength>& currentEraseFrame() const {
        return eraseFrame;
    }

    std::int16_t recordLength = 0;
    std::int64_t lastSendTime = 0;
    std::uint32_t currentAddress = 0;
    std::array<std::uint8_t, kRecordFrameCapacity> recordFrame{};
    SerialStream* stream;
    FlashLoaderState savedState = FlashLoaderState::Reset;
    std::uint16_t debugWord = 0;
    std::uint32_t reportedValue = 0;
    std::int32_t debugCount = 0;
    std::array<std::uint8_t, kEraseFrameLength> eraseFrame{};
    std::int32_t noConnectCount = 0;
    bool recordMode;
    bool lowWordFirst = false;
    bool wordOrderKnown = false;
    bool verifyEcho;
    FlashLoaderState state = FlashLoaderState::Reset;
    // Data bytes acknowledged in the cursor's segment (progress).
    std::uint32_t bytesSent = 0;
    std::int16_t recordCounter = 0;
    DebugLog debugLog;
    std::int32_t sectorsErased = 0;
    std::uint16_t unitChecksum = 0;
    std::uint32_t unitSize = 0;

  private:
    // One handler per state; each returns what step() returns.
    bool onReset();
    bool onNoConnect();
    bool onHand();
    bool onEraseCmd();
    bool onEraseAdr();
    bool onErasing();
    bool onSendCold();
    bool onWaitCold();
    bool onSendRec();
    bool onWaitRec();
    bool onProg();
    bool onRecNum(FlashLoaderState next, int number);
    bool onDebug1();
    bool onDebug2();
    bool onWriteFail();
    bool onFileDone();
    bool onSendEnd();
    bool onEndChecksum();
    bool onEndSize();
    bool onAllDone();

    bool moreWaiting();
    bool timedOut(std::int64_t limitSeconds) const;
    void noteSendTime();
    // Clears the receive queue before writing, so an answer that comes at once is
    // never thrown away with what came before it.
    void sendFrame(std::span<const std::uint8_t> frame, bool clearTransmitFirst = true);
    void sendEraseFrame();
    void resendRecord(const char* format, int reply);
    void acknowledgeRecord(int reply);
    void combineDebugWords();
    void decideWordOrder(std::uint16_t first, std::uint16_t second);
    std::size_t recordFrameLength() const;

    // The cursor: the record in flight (or next to go), and moving it.
    const TransferBlock* cursorBlock() const;
    void moveCursorTo(std::size_t segment, std::size_t block);
    void startOver();
    void stepBackOneRecord();
    // Finds the record holding `address` before the cursor; false when none.
    bool findSentRecord(std::uint32_t address, std::size_t& segment, std::size_t& block) const;

    TransferPlan plan_;
    const ReceiverLink& link_;
    const Clock& clock_;
    const LegacyPhaseSource* phaseSource_;
    std::size_t segment_ = 0;
    std::size_t block_ = 0;
    // The first record of record mode goes out behind the request still queued.
    bool keepTransmitQueue_ = false;
};

}  // namespace zamel
