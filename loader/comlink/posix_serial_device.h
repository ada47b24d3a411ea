#pragma once

#include <termios.h>

#include <cstdint>
#include <string>

#include "port_open_outcome.h"
#include "serial_device.h"
#include "termios_line_state.h"

namespace zamel {

// A SerialDevice on a POSIX terminal. COM n (port index n-1) is the path
// "COMn" in the working directory when it exists (a link to a tty), else the
// n-th serial port present (serial_port_map.h), looked up at every open. The
// port is opened non-blocking and raw, its input flushed, and held exclusively
// (TIOCEXCL where the system allows it, an flock, plus the use counters); a
// port another program holds (the same means, or a lock file) is refused as in
// use. Anything else that wants the same pseudo-terminal slave must open it
// before this device does. outcome() tells which device an open tried and why
// it failed.
//
// What a pseudo-terminal refuses (modem lines, line-error counters) is
// tolerated: modem-line queries then report kLineUnknown, and no line errors
// are ever collected. A pseudo-terminal also keeps only the rate and stop bits
// of a format (it forces 8 bits without parity); the device's block and
// getFormat still hold the format that was set. Queue sizes are the library's own bookkeeping: a
// write never hands over more than the transmit queue size minus what the kernel still holds.
class PosixSerialDevice final : public SerialDevice {
  public:
    // The loader passes 4096 and 2048 and opens at once. DTR and RTS are raised
    // after a successful open. A failed open leaves its code in lastError; the
    // device then still accepts calls, which fail (kSerialGeneralFailure from
    // setFormat). deviceRoot is the device tree the ports are looked for in
    // ("" the machine's own; see serialPortsPresent).
    PosixSerialDevice(int portIndex, int receiveQueueSize, int transmitQueueSize,
                      PortOpening opening = PortOpening::Now, std::string deviceRoot = {});
    // Closes the port if this device opened it and lowers its use counter.
    ~PosixSerialDevice() override;

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
    // Waits with poll() on the descriptor.
    int waitReadable(int timeoutMs) override;
    int drainTransmit() override;
    // The far end is gone (cable pulled, adapter unplugged): the line reports a
    // hang-up or an error and holds no byte still to be read.
    bool hungUp() const override;
    // The open port's descriptor; -1 when closed.
    std::intptr_t inputEvent() override { return handle_; }

    // Slot 25: stores the event character and applies the block; 1 on success, 0 on failure.
    virtual int setEventChar(std::uint8_t character);
    // Slots 26, 27: the event mask is kept but no event is ever waited for.
    virtual int getEventMask(std::uint32_t& mask);
    virtual int setEventMask(std::uint32_t mask);
    // Slot 28: never waits; reports which of the masked events (received
    // character 0x0001, transmit queue empty 0x0004) hold now.
    virtual int waitEvent(std::uint32_t& mask);
    // Slot 29: 1 = DTR state, 2 = RTS state, else a mask of kModem* bits: 0 or
    // 1, kLineUnknown when the port has no modem status.
    virtual int modemLine(int selector);
    // Slot 30: errno as a result code (EBUSY kSerialPortAlreadyOpen, ENOMEM
    // kSerialOutOfMemory, everything else kSerialGeneralFailure).
    virtual int mapLastError();

    // The device the last open tried and how it went.
    const PortOpenOutcome& outcome() const { return outcome_; }

    bool isOpen() const { return handle_ >= 0; }
    const LineState& lineState() const { return lineState_; }
    std::uint32_t errorFlags() const { return errorFlags_; }
    int transmitQueueSize() const { return static_cast<int>(transmitQueueSize_); }
    int receiveQueueSize() const { return static_cast<int>(receiveQueueSize_); }

  private:
    struct LineCounters {
        int frame = 0;
        int overrun = 0;
        int parity = 0;
        int brk = 0;
        int bufferOverrun = 0;
    };

    int refuseOpen(PortOpenFailure failure, int error, int code);
    int applyLineState(const LineState& state);
    bool pseudoTerminalTook(const termios& wanted);
    void collectLineErrors();
    int modemStatus();
    int bytesWaiting() const;
    int bytesUnsent() const;
    int setModemLine(int bit, bool raise);

    LineState lineState_;
    std::string deviceRoot_;
    PortOpenOutcome outcome_;
    int handle_ = -1;
    std::int32_t inputHandshake_ = 0;
    std::int32_t outputHandshake_ = 0;
    std::int32_t rtsOn_ = 0;
    std::int32_t dtrOn_ = 0;
    std::uint16_t breakOn_ = 0;
    std::uint32_t errorFlags_ = 0;
    std::uint32_t transmitQueueSize_;
    std::uint32_t receiveQueueSize_;
    std::uint32_t eventMask_ = 0;
    bool ownsPortUse_ = false;
    bool haveCounters_ = false;
    bool pseudoTerminal_ = false;
    LineCounters counters_;
};

}  // namespace zamel
