#pragma once

#include <cstdint>
#include <optional>
#include <random>
#include <string>

#include "boot_block.h"
#include "boot_loader.h"
#include "breach_log.h"
#include "fault_plan.h"
#include "line_timing.h"
#include "output_queue.h"
#include "sentence.h"
#include "unit_identity.h"

namespace zamel::sim {

struct ReceiverConfig {
    UnitIdentity identity;
    long baud = 4800;          // rate of the normal firmware
    long loaderBaud = 115200;  // rate of the boot loader
    SimTime eraseTimePerSector = std::chrono::milliseconds(20);
    SimTime programTime = std::chrono::milliseconds(5);  // busy after each record frame
    SimTime restartTime = std::chrono::seconds(2);       // from the zero byte to the boot loader
    std::optional<UploadMode> startInLoader;             // powered on in upload mode by hand
    std::uint32_t seed = 1;                              // for noise and garbage bytes
};

// The whole simulated receiver, without any I/O: the normal firmware answering
// "$PQVX" sentences at its line rate, and the boot loader it hands over to on an
// upload command. Bytes come in stamped with the time they finished crossing the
// line and the rate they were sent at; answers go to the output queue. Whether a
// byte is for the firmware or the boot loader follows from the unit's state, so
// both may use the same rate. What the far end sends against the protocol comes
// out of takeEvent as protocol errors.
class Receiver {
  public:
    enum class Mode { Firmware, BootLoader };

    Receiver(ReceiverConfig config, FaultPlan& faults, OutputQueue& output, SimTime now);

    // The rate the far end has set on the line.
    void setLineRate(long baud) { lineRate_ = baud; }
    long lineRate() const { return lineRate_; }
    // Returns false when the unit could not take the byte: sent at a rate it is not
    // listening at, it is noise to the unit; sent while it was busy, it is lost.
    bool receive(std::uint8_t byte, long sentAtBaud, SimTime now);
    void tick(SimTime now);
    std::optional<SimTime> nextWake() const;

    Mode mode() const { return mode_; }
    std::string stateName() const;
    const BootLoader& bootLoader() const { return bootLoader_; }
    // Transfer outcomes and protocol errors. After a completed transfer the firmware
    // runs again, unless the unit waits for its boot block.
    std::optional<TransferEvent> takeEvent();
    bool awaitsBootBlock() const { return bootBlock_ && bootBlock_->awaited(); }
    // What would keep the unit from starting its firmware at the next power-on, as a
    // protocol error line, when it is switched off now.
    std::optional<std::string> switchOffProblem() const;

  private:
    // A sentence whose CR came without its LF is given up after this long.
    static constexpr SimTime kLineFeedWait = std::chrono::milliseconds(200);

    bool receiveInFirmware(std::uint8_t byte, long sentAtBaud, SimTime now);
    void onSentence(const std::string& body, SimTime now);
    void sentenceBreach();
    void reply(const std::vector<std::uint8_t>& sentence, SimTime now);
    void sendNoise(SimTime now);
    void sendGarbage(SimTime now);
    void enterBootLoader(UploadMode mode, SimTime now, bool restarting);
    // The firmware takes over again, or the boot loader stays for the boot block.
    void afterTransfer(SimTime now);

    ReceiverConfig config_;
    FaultPlan& faults_;
    OutputQueue& output_;
    BreachLog breaches_;
    BootLoader bootLoader_;
    // Only a unit that reloads its boot block after new code has one to guard.
    std::optional<BootBlock> bootBlock_;
    std::vector<TransferEvent> events_;
    SentenceReader sentences_;
    std::mt19937 random_;
    Mode mode_ = Mode::Firmware;
    long lineRate_ = 0;
    std::optional<UploadCommand> pendingUpload_;
    int uploadCommandCount_ = 0;
    std::optional<SimTime> lineFeedDue_;
};

}  // namespace zamel::sim
