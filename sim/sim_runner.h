#pragma once

#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>

#include "breach_log.h"
#include "line_settings.h"
#include "output_queue.h"
#include "pty_line.h"
#include "receiver.h"
#include "sim_options.h"
#include "transcript.h"

namespace zamel::sim {

// The simulator's event loop: one thread polling the pseudo-terminal. It stamps
// each received byte with the time it finishes crossing the line at the rate the
// loader set (10 bits a byte) and hands it to the receiver only then, so no answer
// leaves sooner than the question's time on the wire (with early answers, at once,
// when it is read); with pacing, answers leave byte by byte at the line rate as well. Bytes sent
// with line settings the unit does not use, and whatever the receiver finds against the protocol,
// are reported as protocol errors.
class SimRunner {
  public:
    explicit SimRunner(SimOptions options);
    ~SimRunner();

    // Opens the line and the transcript; false with a message on failure.
    bool start(std::string& error);
    // "ready COMn <pty path>"
    std::string readyLine() const;

    // Runs until stopFd becomes readable (exit status 0) or, with --once or an
    // unplug fault, until the transfer ends or a protocol error is found. Returns
    // the exit status.
    int run(int stopFd);

    // Messages for the user (transfers, flash files, protocol errors); the program
    // prints them.
    void setNoticeHandler(std::function<void(const std::string&)> handler) {
        notice_ = std::move(handler);
    }

  private:
    struct PendingByte {
        std::uint8_t byte;
        long baud;
        SimTime arrival;
    };

    SimTime now() const;
    bool loaderHasRead(SimTime now);
    void watchLine(SimTime now);
    void judgeLineSettings(SimTime now, std::span<const std::uint8_t> bytes);
    void readInput(SimTime now);
    void deliverInput(SimTime now);
    void handleEvents(SimTime now);
    void writeFlash(const std::string& path, const FlashMemory& flash, std::string_view header);
    void dumpFlash();
    // The unit is switched off: judged as for its next power-on, and dumped. True
    // when that found a protocol error.
    bool finish(SimTime now);
    void writeOutput(SimTime now);
    SimTime nextWake(SimTime now) const;
    void tell(const std::string& text);
    void protocolError(SimTime now, const std::string& text);

    SimOptions options_;
    std::chrono::steady_clock::time_point startedAt_;
    std::unique_ptr<PtyLine> line_;
    Transcript transcript_;
    OutputQueue output_;
    std::unique_ptr<Receiver> receiver_;
    std::deque<PendingByte> input_;
    long lineRate_ = -1;
    std::optional<LineSettings> lineSettings_;
    std::optional<LineSettings> reportedSettings_;  // the unsuitable settings last reported
    BreachLog lineBreaches_;
    SimTime receiveLineFreeAt_{0};
    SimTime sendLineFreeAt_{0};
    SimTime lastWriteAt_{0};
    bool writeBlocked_ = false;
    std::optional<int> exitStatus_;  // set when the run should end once output is out
    int completedTransfers_ = 0;
    bool unplug_ = false;
    std::optional<SimTime> drainDeadline_;  // until when to wait for the loader to read
    std::function<void(const std::string&)> notice_;
};

}  // namespace zamel::sim
