#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <string>

#include "input_source.h"
#include "serial_records.h"

namespace zamel {

// Whether a device's constructor opens the port at once.
enum class PortOpening { Now, Later };

// One physical serial port, seen through the library's result codes. A device
// never blocks: reads take what is waiting, writes hand over what fits.
//
// The virtual operations keep a fixed order (slots 0..24, then the two waits
// added at the end). The base implements the destructor, the reserved slots 23
// and 24 and the two waits; calling any other base operation is a program
// error that ends the program through the "Library Error" path (comlink.h).
// Only derived classes can be constructed. A device is the input source its
// dialogs wait on.
class SerialDevice : public InputSource {
  public:
    using PrintLine = std::function<void(const std::string& line)>;

    virtual ~SerialDevice();  // slot 0
    SerialDevice(const SerialDevice&) = delete;
    SerialDevice& operator=(const SerialDevice&) = delete;

    // Slot 1: gives the processor away once; returns 0.
    virtual int idle();
    // Slot 2: collects pending line errors and reads the modem status.
    virtual int refreshLine();
    // Slot 3: opens and sets up the port; a failure is left in lastError.
    virtual int open();
    // Slot 4: opens the platform device only; 0 or the mapped error.
    virtual int openHandle();
    // Slot 5: 0 or kSerialCloseFailed.
    virtual int close();
    // Slot 6: fills the record; the selector (1 or 2) is not used.
    virtual int queueStatus(QueueStatus& status, int selector);
    // Slot 7: a size of 0 keeps the current one; an XOFF limit of 0 keeps it too.
    virtual int setQueueSizes(int receiveSize, int xoffLimit, int transmitSize);
    // Slot 8: input 0 none, 1 XON/XOFF, 3 DTR, 4 RTS; output 0 none, 1 XON/XOFF,
    // 12 CTS, 13 DSR.
    virtual int setHandshake(int inputMode, int outputMode);
    // Slot 9: the modes last set; returns 0.
    virtual int getHandshake(int& inputMode, int& outputMode);
    // Slot 10: negative = query, 1 = set, other = clear.
    virtual int setBreak(int state);
    // Slot 11: sets DTR/RTS (value 0 drops, other raises; -1 only queries) or
    // the break (through setBreak), then returns the line's query result.
    virtual int line(LineId id, int value);
    // Slot 12: parity one of "NOEMS", data bits 4..8, stop bits 1 or 2.
    virtual int setFormat(int baud, char parity, int dataBits, int stopBits);
    // Slot 13
    virtual int getFormat(int& baud, char& parity, int& dataBits, int& stopBits);
    // Slot 14: refreshes the lines, fills the record, clears the collected errors.
    virtual int snapshot(LineSnapshot& snapshot);
    // Slot 15: 0 when written, else lastError.
    virtual int writeByte(std::uint8_t byte);
    // Slot 16: a zero-terminated text; returns the count written.
    virtual int writeText(const char* text);
    // Slot 17: returns the count written; a cut-short write leaves
    // kSerialWriteCutShort in lastError.
    virtual int write(std::span<const std::uint8_t> bytes);
    // Slot 18: one byte ahead of the queue; 0 or kSerialGeneralFailure.
    virtual int sendImmediate(std::uint8_t byte);
    // Slot 19: the next byte 0..255, or kSerialNoData.
    virtual int readByte();
    // Slot 20: returns the count read (0 when nothing waits).
    virtual int read(std::span<std::uint8_t> buffer);
    // Slot 21: transmit set: discard the transmit queue. Clear with count 0:
    // discard the receive queue. Clear with count n > 0: read and drop at most n
    // bytes; 0 when the queue is left empty, kSerialGeneralFailure when more wait.
    virtual int purge(bool transmit, int count);
    // Slot 22: six lines describing the port's settings and queues.
    virtual int dump(const PrintLine& print);
    // Slots 23 and 24: reserved, kSerialNotSupported.
    virtual int reserved23();
    virtual int reserved24();

    // Added after the classic slots so that waiting never spins.
    // Waits up to timeoutMs (0 = not at all) until a byte can be read (1) or the
    // time is up (0); a hung-up line sits the time out. The base gives the
    // processor away once (idle) and returns 0, so a device without a real wait
    // still works, by polling.
    int waitReadable(int timeoutMs) override;
    // Blocks until everything written has left the port (tcdrain); 0, or
    // kSerialNotSupported from the base. For the short waits after an upload
    // command and after the end frame.
    virtual int drainTransmit();
    // The base knows no far end: never hung up, nothing to watch.
    bool hungUp() const override;
    std::intptr_t inputEvent() override;

    int portIndex() const { return portIndex_; }
    // The pending result code, 0 when none.
    int lastError() const { return lastError_; }
    void setLastError(int code) { lastError_ = code; }
    void clearLastError() { lastError_ = 0; }

  protected:
    explicit SerialDevice(int portIndex) : portIndex_(portIndex) {}

  private:
    std::int32_t portIndex_;  // 0 for COM1
    std::int32_t lastError_ = 0;
};

}  // namespace zamel
