#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "debug_log.h"
#include "flash_frame.h"
#include "flash_loader_state.h"
#include "image_file.h"

namespace zamel {

class Clock;
class LegacyPhaseSource;
class ReceiverLink;
class SerialStream;

// The flash loader engine: moves one image (and, on request, a second one) into a
// receiver through its boot loader. A polled state machine driven by its owner's
// timer through step(); it never waits for input and sends nothing until stepped.
//
// The engine borrows the image, the stream, the receiver link (class and boot-block
// flag), the clock and the optional legacy phase source; the owner keeps them alive
// while the engine exists. It owns only its debug log, DEBUG.OUT. The record frame
// is built in place in a buffer inside the engine, so a transfer allocates nothing.
class FlashLoader {
  public:
    // Data bytes asked of the image per record.
    static constexpr int kRecordDataLength = 1980;
    // Room for the longest block the reader can return for one record request.
    static constexpr std::size_t kRecordDataCapacity = ImageFile::blockCapacity(kRecordDataLength);
    // The longest frame: header, that block, one pad byte, trailer.
    static constexpr std::size_t kRecordFrameCapacity =
        kRecordHeaderLength + kRecordDataCapacity + 1 + kRecordTrailerLength;

    // Time-outs: a resend fires once the whole-second difference exceeds the limit,
    // i.e. 2, 3, 5 and 3 seconds after the last send.
    static constexpr std::int64_t kEraseCmdTimeoutSeconds = 1;
    static constexpr std::int64_t kEraseAdrTimeoutSeconds = 2;
    static constexpr std::int64_t kWaitRecTimeoutSeconds = 4;
    static constexpr std::int64_t kSendEndTimeoutSeconds = 2;

    FlashLoader(ImageFile& image, SerialStream& stream, bool recordMode, std::uint32_t baseAddress,
                std::uint32_t eraseEnd, bool verifyEcho, const ReceiverLink& link,
                const Clock& clock, const LegacyPhaseSource* phaseSource = nullptr);
    FlashLoader(const FlashLoader&) = delete;
    FlashLoader& operator=(const FlashLoader&) = delete;

    // Handles at most one received byte. True: call again at once.
    bool step();
    // Sends the end frame, waits until it has left the port, enters SendEnd.
    void sendEnd();
    // Continues the transfer with a second image; no erase is sent for it. A unit
    // that starts over later (0x84, 0x87) has erased both files, so the engine then
    // goes back to the first image at its own address and sends both again.
    void startSecondFile(ImageFile& image, std::uint32_t baseAddress);
    // Replaces `text` with the status text of the current state (unchanged while
    // the engine reads a record number).
    void statusText(std::string& text) const;
    void closeLog() { debugLog.close(); }

    // The frame being sent (empty before the first record).
    std::span<const std::uint8_t> currentRecordFrame() const {
        return std::span(recordFrame).first(recordFrameLength());
    }
    const std::array<std::uint8_t, kEraseFrameLength>& currentEraseFrame() const {
        return eraseFrame;
    }

    std::int16_t recordLength = 0;
    std::int64_t lastSendTime = 0;
    std::uint32_t currentAddress;
    std::array<std::uint8_t, kRecordFrameCapacity> recordFrame{};
    SerialStream* stream;
    std::uint32_t baseAddress;
    std::uint32_t endAddress;
    FlashLoaderState savedState = FlashLoaderState::Reset;
    std::uint16_t debugWord = 0;
    std::uint32_t reportedValue = 0;
    std::int32_t debugCount = 0;
    ImageFile* image;
    std::array<std::uint8_t, kEraseFrameLength> eraseFrame{};
    std::int32_t noConnectCount = 0;
    bool recordMode;
    bool lowWordFirst = false;
    bool wordOrderKnown = false;
    bool verifyEcho;
    FlashLoaderState state = FlashLoaderState::Reset;
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
    // Back to the start of the first file, at the address the transfer began with.
    void startOverFromFirstFile();
    bool timedOut(std::int64_t limitSeconds) const;
    void noteSendTime();
    void sendEraseFrame();
    void sendRecordFrame(bool clearTransmitFirst = true);
    void resendRecord(int reply);
    void acknowledgeRecord(int reply);
    void combineDebugWords();
    void decideWordOrder(std::uint16_t first, std::uint16_t second);
    std::size_t recordFrameLength() const;

    // An S-record image is read strictly forward, so going back means rewinding it
    // and reading forward again with the same request, which gives the same blocks.
    std::span<std::uint8_t> recordData();
    std::int16_t readImageBlock(std::uint32_t& address);
    // The boot-block reload sends only what lies from the boot block up.
    std::int16_t keepBootBlock(std::int16_t count, std::uint32_t& address);
    // False, logged and stopped when the image cannot be read from its start again.
    bool restartImage();
    // Rewinds and reads forward until the block wanted next: the one before the
    // block in flight, starting at `address`, or the first one starting above
    // `address`. It stays in the record buffer for the next SendRec. The search
    // never goes past the block in flight: when the file no longer holds the
    // block, the engine logs it and stops rather than send other data (false).
    enum class BlockSearch { PreviousBlock, FirstAbove };
    bool holdBlock(BlockSearch search, std::uint32_t address);
    // The unit wants the block before the one in flight again.
    void goBackOneBlock();
    void stopBeforeWrongData();

    const ReceiverLink& link_;
    const Clock& clock_;
    const LegacyPhaseSource* phaseSource_;
    // The first file of the transfer, where the engine starts over.
    ImageFile* firstImage_;
    std::uint32_t firstBaseAddress_;
    std::uint32_t firstEndAddress_;
    // The first record of record mode goes out behind the request still queued.
    bool keepTransmitQueue_ = false;
    // S-record blocks read since the image was last rewound, and the start addresses
    // of the last two of them: [1] the block in flight, [0] the one before it.
    std::int32_t blocksRead_ = 0;
    std::array<std::uint32_t, 2> lastBlockStarts_{};
    // Above 0: the record buffer already holds the next block to send.
    std::int16_t heldBlockLength_ = 0;
    std::uint32_t heldBlockAddress_ = 0;
};

}  // namespace zamel
