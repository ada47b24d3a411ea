#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "port_open_outcome.h"
#include "serial_device.h"

namespace zamel {

// A SerialDevice on the Windows communications functions: COM n (port index
// n-1) is the device "\\.\COMn", opened exclusively for overlapped input and
// output so that no read or write ever waits. Reads take what the receive
// queue holds; a write hands over what fits into the transmit queue and keeps
// its own copy of the bytes while the system still sends them, and a second
// write waits for no first one: it finds no room. Waiting for input
// (waitReadable, inputEvent) uses a character-received event of its own.
//
// What a port refuses (modem status on a pseudo-terminal behind Wine) is
// tolerated: modem-line queries then report kLineUnknown.
class Win32SerialDevice final : public SerialDevice {
  public:
    // The loader passes 4096 and 2048 and opens at once. DTR and RTS are raised
    // after a successful open. A failed open leaves its code in lastError; the
    // device then still accepts calls, which fail (kSerialGeneralFailure from
    // setFormat).
    Win32SerialDevice(int portIndex, int receiveQueueSize, int transmitQueueSize,
                      PortOpening opening = PortOpening::Now);
    // Closes the port if this device opened it and lowers its use counter.
    ~Win32SerialDevice() override;

    int idle() override;
    int refreshLine() override;
    int open() override;
    int openHandle() override;
    int close() override;
    int queueStatus(QueueStatus& status, int selector) override;
    int setQueueSizes(int receiveSize, int xoffLimit, int transmitSize) override;
    int setHandshake(int inputMode, int outputMode) override;
    int getHandshake(int& inputMode, int& outputMode) override;
    int setBreak(int state) override;
    int line(LineId id, int value) override;
    int setFormat(int baud, char parity, int dataBits, int stopBits) override;
    int getFormat(int& baud, char& parity, int& dataBits, int& stopBits) override;
    int snapshot(LineSnapshot& snapshot) override;
    int writeByte(std::uint8_t byte) override;
    int writeText(const char* text) override;
    int write(std::span<const std::uint8_t> bytes) override;
    int sendImmediate(std::uint8_t byte) override;
    int readByte() override;
    int read(std::span<std::uint8_t> buffer) override;
    int purge(bool transmit, int count) override;
    int dump(const PrintLine& print) override;
    int waitReadable(int timeoutMs) override;
    // Waits for the bytes handed over to leave the port (FlushFileBuffers).
    int drainTransmit() override;
    // The port's handle fails: the device is gone (an adapter unplugged).
    bool hungUp() const override;
    // The character-received event, armed; signalled at once when bytes wait.
    std::intptr_t inputEvent() override;

    // Slot 25: stores the event character and applies the block; 1 on success, 0 on failure.
    virtual int setEventChar(std::uint8_t character);
    // Slots 26, 27: the event mask the caller asked for (0 after the open).
    virtual int getEventMask(std::uint32_t& mask);
    virtual int setEventMask(std::uint32_t mask);
    // Slot 28: never waits; reports which of the masked events (received
    // character 0x0001, transmit queue empty 0x0004) hold now.
    virtual int waitEvent(std::uint32_t& mask);
    // Slot 29: 1 = DTR state, 2 = RTS state, else a mask of kModem* bits: 0 or
    // 1, kLineUnknown when the port has no modem status.
    virtual int modemLine(int selector);
    // Slot 30: GetLastError as a result code (access denied, which is how a
    // port another program holds refuses, kSerialPortAlreadyOpen; no memory
    // kSerialOutOfMemory; everything else kSerialGeneralFailure).
    virtual int mapLastError();

    // The device the last open tried and how it went.
    const PortOpenOutcome& outcome() const { return outcome_; }
    bool isOpen() const { return handle_ != INVALID_HANDLE_VALUE; }
    const DCB& lineState() const { return lineState_; }
    std::uint32_t errorFlags() const { return errorFlags_; }
    int transmitQueueSize() const { return static_cast<int>(transmitQueueSize_); }
    int receiveQueueSize() const { return static_cast<int>(receiveQueueSize_); }

  private:
    int applyLineState(const DCB& state);
    bool collectLineErrors(COMSTAT* queues = nullptr);
    int bytesWaiting();
    int bytesUnsent();
    bool writeStillPending();
    bool armInputWait();
    void finishInputWait();

    DCB lineState_{};
    OVERLAPPED readOverlap_{};
    OVERLAPPED writeOverlap_{};
    OVERLAPPED waitOverlap_{};
    HANDLE handle_ = INVALID_HANDLE_VALUE;
    std::int32_t inputHandshake_ = 0;
    std::int32_t outputHandshake_ = 0;
    std::int32_t rtsOn_ = 0;
    std::int32_t dtrOn_ = 0;
    std::uint16_t breakOn_ = 0;
    std::uint32_t errorFlags_ = 0;
    std::uint32_t transmitQueueSize_;
    std::uint32_t receiveQueueSize_;
    std::uint32_t eventMask_ = 0;
    DWORD waitEvents_ = 0;
    bool waitPending_ = false;
    bool writePending_ = false;
    std::vector<std::uint8_t> pendingBytes_;
    bool ownsPortUse_ = false;
    PortOpenOutcome outcome_;
};

}  // namespace zamel
