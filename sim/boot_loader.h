#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "breach_log.h"
#include "fault_plan.h"
#include "flash_memory.h"
#include "frame_reader.h"
#include "line_timing.h"
#include "output_queue.h"
#include "unit_identity.h"

namespace zamel::sim {

// Bytes of the flash-loader protocol, seen from the unit.
namespace loader_byte {
inline constexpr std::uint8_t kOk = 0x55;
inline constexpr std::uint8_t kRecWait = 0x77;
inline constexpr std::uint8_t kHello = 0xAA;
inline constexpr std::uint8_t kEraseRequest = 0x6A;
inline constexpr std::uint8_t kColdStart = 0x69;
inline constexpr std::uint8_t kResend = 0x81;
inline constexpr std::uint8_t kBadCommand = 0x83;
inline constexpr std::uint8_t kFail = 0x84;
inline constexpr std::uint8_t kBadType = 0x86;
inline constexpr std::uint8_t kReset = 0x87;
inline constexpr std::uint8_t kRecordNumber = 0x89;
inline constexpr std::uint8_t kDebug = 0x8E;
inline constexpr std::uint8_t kSectorErased = 0x8F;
}  // namespace loader_byte

// What became of a transfer, and protocol errors, for the program around the receiver.
struct TransferEvent {
    enum class Kind { Completed, Failed, Unplug, ProtocolError };
    Kind kind;
    std::string detail;
};

// How long the unit is busy, taking no bytes: restarting into its boot loader
// after the zero byte, erasing one 64 KiB sector, programming one record.
struct BootLoaderTiming {
    SimTime restart = std::chrono::seconds(2);
    SimTime erasePerSector = std::chrono::milliseconds(20);
    SimTime program = std::chrono::milliseconds(5);
};

// The receiver's boot loader: greets, takes the erase request and erase frame,
// erases sector by sector, takes the cold start, programs records (acknowledging
// each twice) into its flash, and ends on the end frame. Fed bytes as they arrive
// on the line; writes its answers to the output queue, never earlier than `now`.
// A byte that arrives while it is busy is lost, and every byte or frame that does
// not belong where it arrives is a protocol error in the breach log.
class BootLoader {
  public:
    enum class State {
        Restarting,    // the firmware has handed over; takes no bytes yet
        Greeting,      // sends 0xAA (0x77 with greet77) once a second, waits for the answer
        AwaitCommand,  // waits for the erase request 0x6A
        AwaitErase,    // waits for the erase frame
        AwaitCold,     // erasing, then waits for the cold start 0x69
        Records,       // takes record frames until the end frame
        Done,          // the end frame was answered; the firmware takes over again
        Dead,          // the flash is of an unusable type: says nothing more
    };

    static constexpr SimTime kGreetingPeriod = std::chrono::seconds(1);

    BootLoader(FaultPlan& faults, OutputQueue& output, BreachLog& breaches,
               BootLoaderTiming timing);

    // The firmware hands over (restarting first), or the unit was powered on in its
    // boot loader: greet from then on, or after a late-greeting delay.
    void start(UploadMode mode, SimTime now, bool restarting);
    // False when the byte was lost because the unit was busy.
    bool receive(std::uint8_t byte, SimTime now);
    // Greets when due; the greeting goes out only while the line runs at the loader rate.
    void tick(SimTime now, bool atLoaderRate);
    std::optional<SimTime> nextWake() const;
    bool busyAt(SimTime now) const { return now < busyUntil_; }

    State state() const { return state_; }
    const char* stateName() const;
    UploadMode mode() const { return mode_; }
    // Everything the unit's flash holds, from every transfer so far.
    const FlashMemory& flash() const { return flash_; }
    // The bytes programmed in the current transfer (the last one once it ended),
    // since its last erase.
    FlashMemory transferFlash() const;
    // The T of faults given with "@T": how many times the boot loader has started.
    std::uint32_t transferNumber() const { return transfer_; }
    // The first address of the last erase frame taken; none before one.
    std::optional<std::uint32_t> eraseStart() const {
        return eraseRange_ ? std::optional(eraseRange_->first) : std::nullopt;
    }
    bool hasEvent() const { return !events_.empty(); }
    std::optional<TransferEvent> takeEvent();

  private:
    // A record the unit holds programmed, for recognising it sent again.
    struct TakenRecord {
        std::uint32_t addressField;
        std::vector<std::uint8_t> data;
        std::uint32_t target;
    };

    const Fault* takeFault(FaultKind kind, std::uint32_t record = 0) {
        return faults_.take(kind, transfer_, record);
    }
    std::uint64_t transferByteCount() const;
    void catchUp(SimTime now);
    bool greetsWithRecWait() const;
    void onGreetingByte(std::uint8_t byte, SimTime now);
    void onCommandByte(std::uint8_t byte, SimTime now);
    void onFrameByte(std::uint8_t byte, SimTime now);
    void onOutsideByte(std::uint8_t byte, SimTime now);
    void onFrame(SimTime now);
    bool takesEraseAgain(std::uint8_t byte, SimTime now);
    void onEraseFrame(SimTime now);
    void onRecordFrame(SimTime now);
    bool injectRecordFault(std::uint32_t ordinal, SimTime now);
    void programRecord(std::uint32_t addressField, std::span<const std::uint8_t> data,
                       std::uint32_t ordinal, SimTime now);
    void onEndFrame(SimTime now);
    void acknowledgeRecord(std::uint32_t reportedAddress, std::uint32_t ordinal, SimTime now);
    void rewindOneRecord(std::uint32_t ordinal, SimTime now);
    void takeBack(const TakenRecord& record);
    void takeBackLastRecord();
    void restartFile(SimTime now);
    void failTransfer(std::uint8_t reply, const std::string& why, SimTime now);
    void backToGreeting(SimTime now);
    // Forgets the last transfer's erase and records; the flash keeps what it holds.
    void beginTransfer();
    void beBusy(SimTime until, std::string doing);
    void breach(const std::string& what, std::span<const std::uint8_t> bytes);
    void loseStray(std::uint8_t byte, const std::string& what, SimTime now);
    void sendDebugWord(std::uint16_t word, SimTime now);
    void send(std::uint8_t byte, SimTime at) { output_.send(byte, at); }
    std::string where() const;

    FaultPlan& faults_;
    OutputQueue& output_;
    BreachLog& breaches_;
    BootLoaderTiming timing_;

    State state_ = State::Greeting;
    std::uint32_t transfer_ = 0;
    UploadMode mode_ = UploadMode::Address;
    FrameReader frames_;
    FlashMemory flash_;
    SimTime greetFrom_{0};
    SimTime nextGreeting_{0};
    SimTime busyUntil_{0};
    std::string busyDoing_;
    std::optional<std::pair<std::uint32_t, std::uint32_t>> eraseRange_;
    // The acknowledgement that ends the erase was lost: the loader may ask again.
    bool eraseAckLost_ = false;
    std::uint32_t writePosition_ = 0;
    // The records programmed since the erase, in order: the next new record is
    // record taken_.size() + 1 of the image.
    std::vector<TakenRecord> taken_;
    std::vector<TransferEvent> events_;
};

}  // namespace zamel::sim
