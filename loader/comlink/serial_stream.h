#pragma once

#include <cstdint>
#include <memory>
#include <span>

namespace zamel {

class SerialDevice;
class LineSettings;
class HandshakeState;

// The byte stream every protocol uses over one port: reads with a time-out,
// writes that never wait, queue clearing and a status query.
//
// The stream borrows its device (which must outlive it) and owns two
// companions: a LineSettings that sets 9600 8N1 and a HandshakeState that turns
// flow control off. Both put back what they found when the stream is destroyed.
// On a device whose open failed the stream has no companions and its status
// reports the open's code once.
class SerialStream {
  public:
    explicit SerialStream(SerialDevice& device);
    virtual ~SerialStream();  // slot 0
    SerialStream(const SerialStream&) = delete;
    SerialStream& operator=(const SerialStream&) = delete;

    // Slot 1: the next byte 0..255, or kSerialNoData when none came within
    // timeoutMs. 0 takes only what is already waiting. Waits on the port
    // (SerialDevice::waitReadable), never spinning.
    virtual int readByte(int timeoutMs);
    // Slot 2: the device's writeByte result.
    virtual int writeByte(std::uint8_t byte);
    // Slot 3: reserved, kSerialNotSupported.
    virtual int reserved3();

    // The count written; 0 for an empty buffer. A cut-short write leaves
    // kSerialWriteCutShort pending in the device.
    int write(std::span<const std::uint8_t> bytes);
    // count 0 discards the receive queue; n > 0 drops at most n bytes
    // (SerialDevice::purge).
    int clearReceive(int count);
    int clearTransmit();
    int receiveCount();
    int transmitCount();
    int setTransmitQueue(int size);
    // Blocks until every written byte has left the port (tcdrain), so callers
    // waiting for an empty transmit queue need not poll transmitCount.
    int drainTransmit();

    // Returns the device's pending lastError and clears it (errorBits then 0).
    // Otherwise refreshes the line snapshot and sets in errorBits 0x01 parity
    // error, 0x02 framing error, 0x04 receive overflow, 0x08 overrun, 0x10
    // break detected, and returns 0.
    int status(std::uint16_t& errorBits);

    SerialDevice& device() const { return device_; }
    // Absent when the device failed to open.
    HandshakeState* handshake() const { return handshake_.get(); }
    LineSettings* settings() const { return settings_.get(); }

  private:
    SerialDevice& device_;
    std::unique_ptr<HandshakeState> handshake_;
    std::unique_ptr<LineSettings> settings_;
};

inline constexpr std::uint16_t kStatusParityError = 0x01;
inline constexpr std::uint16_t kStatusFramingError = 0x02;
inline constexpr std::uint16_t kStatusReceiveOverflow = 0x04;
inline constexpr std::uint16_t kStatusOverrun = 0x08;
inline constexpr std::uint16_t kStatusBreakDetected = 0x10;

}  // namespace zamel
