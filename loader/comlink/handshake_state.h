#pragma once

#include "serial_records.h"

namespace zamel {

class SerialDevice;
class SerialStream;

// The flow-control modes of a stream's port: saved when created, put back when
// destroyed, with a snapshot of the line states. The stream's device must
// outlive it.
class HandshakeState {
  public:
    // Saves the device's modes and takes a snapshot.
    explicit HandshakeState(SerialStream& stream);
    // restore()
    ~HandshakeState();
    HandshakeState(const HandshakeState&) = delete;
    HandshakeState& operator=(const HandshakeState&) = delete;

    // Sets the modes found at creation again.
    int restore();
    // SerialDevice::setHandshake; the modes are kept when the device takes them.
    int set(int inputMode, int outputMode);
    // Takes a fresh snapshot (which clears the device's collected line errors).
    int refresh();

    // From the last snapshot: 0, 1, or kLineUnknown.
    int parityError() const;
    int framingError() const;
    int receiveOverflow() const;
    int overrunError() const;
    int breakDetected() const;

    int savedInput() const { return savedInput_; }
    int savedOutput() const { return savedOutput_; }
    int input() const { return input_; }
    int output() const { return output_; }
    const LineSnapshot& snapshot() const { return snapshot_; }

  private:
    int savedInput_ = 0;
    int savedOutput_ = 0;
    int input_ = 0;
    int output_ = 0;
    LineSnapshot snapshot_;
    SerialDevice& device_;
};

}  // namespace zamel
