#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

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

// What became of a transfer, for the program around the receiver.
struct TransferEvent {
    enum class Kind { Completed, Failed, Unplug };
    Kind kind;
    std::string detail;
};

// The receiver's boot loader: greets, takes the erase request and erase frame,
// erases sector by sector, takes the cold start, programs records (acknowledging
// each twice) into its flash, and ends on the end frame. Fed bytes as they arrive
// on the line; writes its answers to the output queue, never earlier than `now`.
class BootLoader {
  public:
    enum class State {
        Greeting,      // sends 0xAA once a second, waits for 0x55
        AwaitCommand,  // waits for the erase request 0x6A
        AwaitErase,    // waits for the erase frame
        AwaitCold,     // erasing, then waits for the cold start 0x69
        Records,       // takes record frames until the end frame
        Done,          // the end frame was answered; the firmware takes over again
        Dead,          // the flash is of an unusable type: says nothing more
    };

    static constexpr SimTime kGreetingPeriod = std::chrono::seconds(1);

    BootLoader(FaultPlan& faults, OutputQueue& output, SimTime eraseTimePerSector);

    // The firmware hands over: greet from now on (or after a late-greeting delay).
    void start(UploadMode mode, SimTime now);
    void receive(std::uint8_t byte, SimTime now);
    // Greets when due; the greeting goes out only while the line runs at the loader rate.
    void tick(SimTime now, bool atLoaderRate);
    std::optional<SimTime> nextWake() const;

    State state() const { return state_; }
    const char* stateName() const;
    UploadMode mode() const { return mode_; }
    const FlashMemory& flash() const { return flash_; }
    // The first address of the last erase frame taken; none before one.
    std::optional<std::uint32_t> eraseStart() const {
        return eraseRange_ ? std::optional(eraseRange_->first) : std::nullopt;
    }
    std::optional<TransferEvent> takeEvent();

  private:
    struct LastRecord {
        std::uint32_t addressField;
        std::vector<std::uint8_t> data;
        std::uint32_t target;
    };

    void onGreetingByte(std::uint8_t byte, SimTime now);
    void onCommandByte(std::uint8_t byte, SimTime now);
    void onFrame(SimTime now);
    void onEraseFrame(SimTime now);
    void onColdStartByte(std::uint8_t byte, SimTime now);
    void onRecordFrame(SimTime now);
    void onEndFrame(SimTime now);
    void acknowledgeRecord(std::uint32_t reportedAddress, SimTime now);
    void rewindOneRecord(std::uint32_t record, SimTime now);
    void restartFile(SimTime now);
    void failTransfer(std::uint8_t reply, const std::string& why, SimTime now);
    void backToGreeting(SimTime now);
    void sendDebugWord(std::uint16_t word, SimTime now);
    void send(std::uint8_t byte, SimTime at) { output_.send(byte, at); }

    FaultPlan& faults_;
    OutputQueue& output_;
    SimTime eraseTimePerSector_;

    State state_ = State::Greeting;
    UploadMode mode_ = UploadMode::Address;
    FrameReader frames_;
    FlashMemory flash_;
    SimTime greetFrom_{0};
    SimTime nextGreeting_{0};
    SimTime eraseDoneAt_{0};
    std::optional<std::pair<std::uint32_t, std::uint32_t>> eraseRange_;
    std::uint32_t writePosition_ = 0;
    std::uint32_t recordsReceived_ = 0;
    std::optional<LastRecord> lastRecord_;
    std::vector<TransferEvent> events_;
};

}  // namespace zamel::sim
