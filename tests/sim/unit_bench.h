#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "fault_plan.h"
#include "output_queue.h"
#include "receiver.h"

namespace zamel::sim::testing {

// A simulated receiver driven without a line: bytes go in at the times they would
// finish crossing the line, time moves only when a test moves it.
class UnitBench {
  public:
    static constexpr long kBaud = 4800;
    static constexpr long kLoaderBaud = 115200;

    explicit UnitBench(const std::vector<std::string>& faults = {},
                       const std::string& model = "Talvane", const std::string& firmware = "3.08");

    Receiver& unit() { return *unit_; }
    SimTime now() const { return now_; }
    const FaultPlan& faults() const { return faults_; }

    // Sends bytes at the current line rate; returns the unit's answers, and lets
    // time pass until the last of them has left, as a loader waits for them.
    std::vector<std::uint8_t> send(const std::vector<std::uint8_t>& bytes);
    std::vector<std::uint8_t> send(std::uint8_t byte) { return send(std::vector{byte}); }
    // Sends bytes and leaves the answers queued (see takeEntries).
    void feed(const std::vector<std::uint8_t>& bytes);
    // Sends bytes the line carries at `baud` whatever the unit listens at.
    std::vector<std::uint8_t> sendAt(const std::vector<std::uint8_t>& bytes, long baud);
    // Moves time forward and lets the unit act; returns what it sent.
    std::vector<std::uint8_t> advance(SimTime by);
    void setLineRate(long baud) { unit_->setLineRate(baud); }
    // Everything queued, with the times the bytes may leave.
    std::vector<OutputQueue::Entry> takeEntries();
    std::vector<std::uint8_t> takeBytes();

    // At the firmware rate: upload command twice, zero byte, line switched to the
    // loader rate, and the unit's restart into its boot loader waited out.
    void enterBootLoader(const std::string& command = "CMD,DBUPLOAD");
    // Greeting answered and the handshake done; returns the unit's bytes from the greeting on.
    std::vector<std::uint8_t> handshake();
    // Erase request, erase frame, erase time, cold start: ready for records.
    std::vector<std::uint8_t> eraseAndColdStart(std::uint32_t first, std::uint32_t last);

  private:
    FaultPlan faults_;
    OutputQueue output_;
    std::unique_ptr<Receiver> unit_;
    SimTime now_{0};
    SimTime restartTime_{0};
};

}  // namespace zamel::sim::testing
