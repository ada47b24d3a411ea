#include "posix_serial_device.h"

#include <fcntl.h>
#include <linux/serial.h>
#include <poll.h>
#include <sched.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <limits>
#include <utility>

#include "comlink.h"
#include "port_device.h"
#include "serial_result.h"

namespace zamel {
namespace {

constexpr std::uint32_t kEventReceivedCharacter = 0x0001;
constexpr std::uint32_t kEventTransmitEmpty = 0x0004;
constexpr unsigned kOpenXoffLimit = 128;
constexpr int kOpenBaud = 19200;
// Device numbers of the pseudo-terminal slaves (/dev/pts/N).
constexpr unsigned kPseudoTerminalMajorFirst = 136;
constexpr unsigned kPseudoTerminalMajorLast = 143;

int clampToInt(std::size_t n) {
    return static_cast<int>(std::min<std::size_t>(n, std::numeric_limits<int>::max()));
}

int bitResult(std::uint32_t flags, std::uint32_t bit) { return (flags & bit) != 0 ? 1 : 0; }

}  // namespace

std::unique_ptr<SerialDevice> openPortDevice(int portIndex, int receiveQueueSize,
                                             int transmitQueueSize, const std::string& deviceRoot,
                                             PortOpenOutcome& outcome) {
    auto device = std::make_unique<PosixSerialDevice>(
        portIndex, receiveQueueSize, transmitQueueSize, PortOpening::Now, deviceRoot);
    outcome = device->outcome();
    return device;
}

PosixSerialDevice::PosixSerialDevice(int portIndex, int receiveQueueSize, int transmitQueueSize,
                                     PortOpening opening, std::string deviceRoot)
    : SerialDevice(portIndex),
      deviceRoot_(std::move(deviceRoot)),
      transmitQueueSize_(static_cast<std::uint32_t>(std::max(0, transmitQueueSize))),
      receiveQueueSize_(static_cast<std::uint32_t>(std::max(0, receiveQueueSize))) {
    lineState_.xonLimit = receiveQueueSize_ / 4;
    if (opening == PortOpening::Now) {
        open();
        if (isOpen()) {
            line(LineId::Dtr, 1);
            line(LineId::Rts, 1);
        }
    }
}

PosixSerialDevice::~PosixSerialDevice() {
    if (isOpen()) close();
    if (ownsPortUse_) lowerPortUse(portIndex());
}

int PosixSerialDevice::idle() {
    sched_yield();
    return 0;
}

int PosixSerialDevice::refreshLine() {
    collectLineErrors();
    modemStatus();
    return 0;
}

int PosixSerialDevice::open() {
    outcome_ = {};
    if (portIndex() < 0 || portIndex() >= kPortIndexCount) {
        outcome_.failure = PortOpenFailure::NoDevice;
        setLastError(kSerialBadPort);
        return kSerialBadPort;
    }
    if (portUseCount(portIndex()) != 0) {
        outcome_.mapping = mapComPort(portIndex(), deviceRoot_);
        outcome_.failure = PortOpenFailure::InUse;
        setLastError(kSerialPortAlreadyOpen);
        return kSerialPortAlreadyOpen;
    }
    if (const int code = openHandle(); code != 0) {
        setLastError(code);
        return code;
    }
    raisePortUse(portIndex());
    ownsPortUse_ = true;
    eventMask_ = 0;

    LineState state = lineState_;
    termios tio{};
    if (::tcgetattr(handle_, &tio) == 0) readLineState(tio, state);
    state.baud = kOpenBaud;
    state.dataBits = 8;
    state.parity = 0;
    state.stopBits = LineState::StopBits::One;
    state.binary = true;
    state.outxCtsFlow = false;
    state.outxDsrFlow = false;
    // Raw: a fresh terminal's XON/XOFF would swallow 0x11 and 0x13 of binary data.
    state.outX = false;
    state.inX = false;
    state.dtrControl = LineState::LineControl::Enable;
    state.rtsControl = LineState::LineControl::Disable;
    state.null = false;
    state.eofChar = 0;
    state.evtChar = 0;
    state.xonChar = 0x11;
    state.xoffChar = 0x13;
    state.xonLimit = receiveQueueSize_ / 4;
    state.xoffLimit = kOpenXoffLimit;
    const int code = applyLineState(state);
    // Whatever reached the port before it was ours is not the peer's answer.
    ::tcflush(handle_, TCIOFLUSH);
    collectLineErrors();
    errorFlags_ = 0;
    if (code != 0) setLastError(code);
    return code;
}

int PosixSerialDevice::openHandle() {
    outcome_ = {mapComPort(portIndex(), deviceRoot_)};
    const std::string& path = outcome_.mapping.path;
    if (path.empty()) return refuseOpen(PortOpenFailure::NoDevice, 0, kSerialGeneralFailure);
    if (const long holder = lockFileHolder(deviceRoot_, deviceName(outcome_.mapping))) {
        outcome_.lockHolder = holder;
        return refuseOpen(PortOpenFailure::InUse, 0, kSerialPortAlreadyOpen);
    }
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return refuseOpen(classifyOpenError(errno), errno, mapLastError());
    if (!::isatty(fd)) {
        ::close(fd);
        return refuseOpen(PortOpenFailure::NotATerminal, 0, kSerialBadPort);
    }
    // Terminal programs that hold a port this way keep it theirs; so does this
    // device, until it closes the descriptor.
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK) {
        ::close(fd);
        return refuseOpen(PortOpenFailure::InUse, EWOULDBLOCK, kSerialPortAlreadyOpen);
    }
    // Refused by some drivers and ignored for privileged users; the use
    // counters still keep this program from opening the port twice.
    ::ioctl(fd, TIOCEXCL);
    struct stat node {};
    pseudoTerminal_ = ::fstat(fd, &node) == 0 && major(node.st_rdev) >= kPseudoTerminalMajorFirst &&
                      major(node.st_rdev) <= kPseudoTerminalMajorLast;
    handle_ = fd;
    return 0;
}

int PosixSerialDevice::refuseOpen(PortOpenFailure failure, int error, int code) {
    outcome_.failure = failure;
    outcome_.error = error;
    return code;
}

int PosixSerialDevice::close() {
    if (!isOpen()) return kSerialCloseFailed;
    purge(false, 0);
    purge(true, 0);
    setModemLine(TIOCM_DTR, false);
    setModemLine(TIOCM_RTS, false);
    dtrOn_ = 0;
    rtsOn_ = 0;
    // The exclusive flag outlives this descriptor when another one (a
    // simulator's) keeps the terminal open; the next opener must not find it.
    ::ioctl(handle_, TIOCNXCL);
    const int result = ::close(handle_);
    handle_ = -1;
    return result == 0 ? 0 : kSerialCloseFailed;
}

int PosixSerialDevice::queueStatus(QueueStatus& status, int /*selector*/) {
    collectLineErrors();
    status.receiveFlag = 1;
    status.receiveCount = bytesWaiting();
    status.receiveSize = static_cast<std::int32_t>(receiveQueueSize_);
    status.transmitFlag = 1;
    status.transmitCount = bytesUnsent();
    status.transmitSize = static_cast<std::int32_t>(transmitQueueSize_);
    status.conditionBits &= ~(kConditionBreak | kConditionReceiveError);
    if (errorFlags_ & kLineErrorBreak) status.conditionBits |= kConditionBreak;
    if (errorFlags_ & (kLineErrorReceiveOverflow | kLineErrorOverrun | kLineErrorFraming)) {
        status.conditionBits |= kConditionReceiveError;
    }
    return isOpen() ? 0 : kSerialBadPort;
}

int PosixSerialDevice::setQueueSizes(int receiveSize, int xoffLimit, int transmitSize) {
    if (receiveSize < 0 || xoffLimit < 0 || transmitSize < 0) return kSerialGeneralFailure;
    purge(false, 0);
    purge(true, 0);
    if (receiveSize != 0) receiveQueueSize_ = static_cast<std::uint32_t>(receiveSize);
    if (transmitSize != 0) transmitQueueSize_ = static_cast<std::uint32_t>(transmitSize);
    LineState state = lineState_;
    state.xonLimit = static_cast<unsigned>(receiveSize) / 4;
    if (xoffLimit != 0) state.xoffLimit = static_cast<unsigned>(xoffLimit);
    purge(false, 0);
    purge(true, 0);
    return applyLineState(state);
}

int PosixSerialDevice::setHandshake(int inputMode, int outputMode) {
    LineState state = lineState_;
    state.inX = false;
    state.outX = false;
    if (state.dtrControl == LineState::LineControl::Handshake) {
        state.dtrControl = LineState::LineControl::Enable;
    }
    if (state.rtsControl == LineState::LineControl::Handshake) {
        state.rtsControl = LineState::LineControl::Enable;
    }
    state.outxCtsFlow = false;
    state.outxDsrFlow = false;
    switch (inputMode) {
        case 0:
            break;
        case 1:
            state.inX = true;
            break;
        // Termios has no DTR handshake: the mode is kept in the block only.
        case 3:
            state.dtrControl = LineState::LineControl::Handshake;
            break;
        case 4:
            state.rtsControl = LineState::LineControl::Handshake;
            break;
        case 13:
            return kSerialNotSupported;
        default:
            setLastError(kSerialBadInputHandshake);
            return kSerialGeneralFailure;
    }
    switch (outputMode) {
        case 0:
            break;
        case 1:
            state.outX = true;
            break;
        case 12:
            state.outxCtsFlow = true;
            break;
        // Termios has no DSR flow control: the mode is kept in the block only.
        case 13:
            state.outxDsrFlow = true;
            break;
        case 15:
            return kSerialNotSupported;
        default:
            return kSerialBadOutputHandshake;
    }
    if (const int code = applyLineState(state); code != 0) return code;
    inputHandshake_ = inputMode;
    outputHandshake_ = outputMode;
    return 0;
}

int PosixSerialDevice::getHandshake(int& inputMode, int& outputMode) {
    inputMode = inputHandshake_;
    outputMode = outputHandshake_;
    return 0;
}

int PosixSerialDevice::setBreak(int state) {
    if (state < 0) return breakOn_;
    const bool on = state == 1;
    if (!isOpen() || ::ioctl(handle_, on ? TIOCSBRK : TIOCCBRK) != 0) return kSerialBreakFailed;
    // Any state other than 1 clears the break, so it is recorded as clear.
    breakOn_ = on ? 1 : 0;
    return breakOn_;
}

int PosixSerialDevice::line(LineId id, int value) {
    switch (id) {
        case LineId::Break:
            if (const int result = setBreak(value); result < 0) return result;
            return breakOn_;
        case LineId::Dtr:
            if (value != -1) {
                dtrOn_ = value != 0 ? 1 : 0;
                lineState_.dtrControl =
                    dtrOn_ ? LineState::LineControl::Enable : LineState::LineControl::Disable;
                setModemLine(TIOCM_DTR, dtrOn_ != 0);
            }
            return dtrOn_;
        case LineId::Rts:
            if (value != -1) {
                rtsOn_ = value != 0 ? 1 : 0;
                lineState_.rtsControl =
                    rtsOn_ ? LineState::LineControl::Enable : LineState::LineControl::Disable;
                setModemLine(TIOCM_RTS, rtsOn_ != 0);
            }
            return rtsOn_;
        case LineId::Cts:
            return modemLine(kModemCts);
        case LineId::Dsr:
            return modemLine(kModemDsr);
        case LineId::RingIndicator:
            return modemLine(kModemRing);
        case LineId::CarrierDetect:
            return modemLine(kModemCarrier);
        case LineId::Reserved17:
        case LineId::Reserved18:
        case LineId::Reserved19:
        case LineId::Reserved20:
            return 0;
        case LineId::OverrunError:
            return bitResult(errorFlags_, kLineErrorOverrun);
        case LineId::ParityError:
            return bitResult(errorFlags_, kLineErrorParity);
        case LineId::FramingError:
            return bitResult(errorFlags_, kLineErrorFraming);
        case LineId::BreakDetected:
            return bitResult(errorFlags_, kLineErrorBreak);
        case LineId::ReceiveOverflow:
            return bitResult(errorFlags_, kLineErrorReceiveOverflow);
    }
    return kLineUnknown;
}

int PosixSerialDevice::setFormat(int baud, char parity, int dataBits, int stopBits) {
    int code = 0;
    const int parityIndex = parityCode(parity);
    if (parityIndex < 0) {
        code = kSerialBadParity;
    } else if (dataBits < 4 || dataBits > 8) {
        code = kSerialBadDataBits;
    } else if (stopBits != 1 && stopBits != 2) {
        code = kSerialBadStopBits;
    } else {
        // Checked before anything changes, so a refused format leaves the
        // block as it was and no later apply can put half of it on the line.
        LineState state = lineState_;
        state.baud = baud;
        state.parity = parityIndex;
        state.dataBits = dataBits;
        if (stopBits == 1) {
            state.stopBits = LineState::StopBits::One;
        } else {
            state.stopBits =
                dataBits == 5 ? LineState::StopBits::OneAndHalf : LineState::StopBits::Two;
        }
        code = applyLineState(state);
    }
    if (code != 0) setLastError(code);
    return code;
}

int PosixSerialDevice::getFormat(int& baud, char& parity, int& dataBits, int& stopBits) {
    baud = lineState_.baud;
    parity = parityCharacter(lineState_.parity);
    dataBits = lineState_.dataBits;
    // One and a half is what two stop bits become with five data bits; reading
    // it back as 2 lets a saved format be put back unchanged.
    stopBits = lineState_.stopBits == LineState::StopBits::One ? 1 : 2;
    return 0;
}

int PosixSerialDevice::snapshot(LineSnapshot& snapshot) {
    refreshLine();
    for (int i = 0; i < LineSnapshot::kFieldCount; ++i) {
        snapshot.setField(i, line(LineSnapshot::kFieldLines[static_cast<std::size_t>(i)], -1));
    }
    errorFlags_ = 0;
    return 0;
}

int PosixSerialDevice::writeByte(std::uint8_t byte) {
    const std::uint8_t bytes[1] = {byte};
    return write(bytes) == 1 ? 0 : lastError();
}

int PosixSerialDevice::writeText(const char* text) {
    if (text == nullptr) return 0;
    return write(std::span(reinterpret_cast<const std::uint8_t*>(text), std::strlen(text)));
}

int PosixSerialDevice::write(std::span<const std::uint8_t> bytes) {
    if (bytes.empty()) return 0;
    collectLineErrors();
    const int room = std::max(0, static_cast<int>(transmitQueueSize_) - bytesUnsent());
    const std::size_t wanted = std::min(bytes.size(), static_cast<std::size_t>(room));
    std::size_t written = 0;
    if (wanted > 0) {
        const ssize_t n = ::write(handle_, bytes.data(), wanted);
        if (n > 0) {
            written = static_cast<std::size_t>(n);
        } else {
            collectLineErrors();
        }
    }
    if (written < bytes.size()) setLastError(kSerialWriteCutShort);
    return clampToInt(written);
}

int PosixSerialDevice::sendImmediate(std::uint8_t byte) {
    // A terminal has no way to put a byte ahead of its queue; it goes out next.
    return ::write(handle_, &byte, 1) == 1 ? 0 : kSerialGeneralFailure;
}

int PosixSerialDevice::readByte() {
    std::uint8_t byte = 0;
    return read(std::span(&byte, 1)) == 1 ? byte : kSerialNoData;
}

int PosixSerialDevice::read(std::span<std::uint8_t> buffer) {
    if (buffer.empty()) return 0;
    collectLineErrors();
    const ssize_t n = ::read(handle_, buffer.data(), buffer.size());
    if (n > 0) return clampToInt(static_cast<std::size_t>(n));
    collectLineErrors();
    return 0;
}

int PosixSerialDevice::purge(bool transmit, int count) {
    if (transmit || count == 0) {
        if (::tcflush(handle_, transmit ? TCOFLUSH : TCIFLUSH) != 0) return mapLastError();
        return 0;
    }
    if (count < 0) return kSerialGeneralFailure;
    for (int i = 0; i < count; ++i) {
        if (readByte() == kSerialNoData) return 0;
    }
    return bytesWaiting() == 0 ? 0 : kSerialGeneralFailure;
}

int PosixSerialDevice::dump(const PrintLine& print) {
    QueueStatus queues{};
    queueStatus(queues, 1);
    const LineState& s = lineState_;
    char text[160];
    std::snprintf(text, sizeof text,
                  "Port type: MS Win32  BaudRate: %-6u  ByteSize: %1d  Parity: %1d",
                  static_cast<unsigned>(s.baud), s.dataBits, s.parity);
    print(text);
    std::snprintf(text, sizeof text, "StopBits: %1d  fBinary: %1d  fRtsControl: %1d",
                  static_cast<int>(s.stopBits), s.binary ? 1 : 0, static_cast<int>(s.rtsControl));
    print(text);
    std::snprintf(text, sizeof text,
                  "Parity: %1d  OutCtsFlow: %1d  OutDsrFlow: %1d  DtrControl: %1d  OutX: %1d  "
                  "InX: %1d",
                  s.parityCheck ? 1 : 0, s.outxCtsFlow ? 1 : 0, s.outxDsrFlow ? 1 : 0,
                  static_cast<int>(s.dtrControl), s.outX ? 1 : 0, s.inX ? 1 : 0);
    print(text);
    std::snprintf(text, sizeof text, "Null: %1d  XonChar: %02x  XoffChar: %02x", s.null ? 1 : 0,
                  s.xonChar, s.xoffChar);
    print(text);
    std::snprintf(text, sizeof text, "XonLim: %-5u XoffLim: %-5u EofChr: %02x  EvtChr: %02x",
                  s.xonLimit, s.xoffLimit, s.eofChar, s.evtChar);
    print(text);
    std::snprintf(text, sizeof text,
                  "RX sz/ct: %5d/%-5d  TX sz/ct: %5d/%-5d  BLOCK SENT:%d  BLOCK RECEIVED:%d",
                  queues.receiveSize, queues.receiveCount, queues.transmitSize,
                  queues.transmitCount, queues.conditionBits & 1, (queues.conditionBits >> 1) & 1);
    print(text);
    return 0;
}

int PosixSerialDevice::waitReadable(int timeoutMs) {
    if (timeoutMs <= 0) return bytesWaiting() > 0 ? 1 : 0;
    pollfd watched{handle_, POLLIN, 0};
    const int ready = ::poll(&watched, 1, timeoutMs);
    if (ready <= 0) return 0;
    if ((watched.revents & (POLLHUP | POLLERR | POLLNVAL)) && bytesWaiting() == 0) {
        // A hung-up line reports at once and forever; sit out the time rather
        // than let the caller spin.
        ::poll(nullptr, 0, timeoutMs);
        return 0;
    }
    return 1;
}

bool PosixSerialDevice::hungUp() const {
    if (handle_ < 0) return false;
    pollfd watched{handle_, POLLIN, 0};
    if (::poll(&watched, 1, 0) <= 0 || (watched.revents & (POLLHUP | POLLERR | POLLNVAL)) == 0)
        return false;
    return bytesWaiting() == 0;
}

int PosixSerialDevice::drainTransmit() {
    if (!isOpen()) return kSerialBadPort;
    while (::tcdrain(handle_) != 0) {
        if (errno != EINTR) return mapLastError();
    }
    return 0;
}

int PosixSerialDevice::setEventChar(std::uint8_t character) {
    LineState state = lineState_;
    state.evtChar = character;
    return applyLineState(state) == 0 ? 1 : 0;
}

int PosixSerialDevice::getEventMask(std::uint32_t& mask) {
    if (!isOpen()) return kSerialBadPort;
    mask = eventMask_;
    return 0;
}

int PosixSerialDevice::setEventMask(std::uint32_t mask) {
    if (!isOpen()) return kSerialBadPort;
    eventMask_ = mask;
    return 0;
}

int PosixSerialDevice::waitEvent(std::uint32_t& mask) {
    if (!isOpen()) return kSerialBadPort;
    mask = 0;
    if ((eventMask_ & kEventReceivedCharacter) && bytesWaiting() > 0) {
        mask |= kEventReceivedCharacter;
    }
    if ((eventMask_ & kEventTransmitEmpty) && bytesUnsent() == 0) mask |= kEventTransmitEmpty;
    return 0;
}

int PosixSerialDevice::modemLine(int selector) {
    if (selector == 1) return dtrOn_;
    if (selector == 2) return rtsOn_;
    const int status = modemStatus();
    if (status < 0) return kLineUnknown;
    return (status & selector) != 0 ? 1 : 0;
}

int PosixSerialDevice::mapLastError() {
    switch (errno) {
        case EBUSY:
            return kSerialPortAlreadyOpen;
        case ENOMEM:
            return kSerialOutOfMemory;
        default:
            return kSerialGeneralFailure;
    }
}

int PosixSerialDevice::applyLineState(const LineState& state) {
    if (!isOpen()) return kSerialGeneralFailure;
    termios tio{};
    if (::tcgetattr(handle_, &tio) != 0) return mapLastError();
    if (!writeLineState(state, tio)) {
        return speedForBaud(state.baud) == B0 ? kSerialBadBaud : kSerialGeneralFailure;
    }
    if (::tcsetattr(handle_, TCSANOW, &tio) != 0 && !pseudoTerminalTook(tio)) {
        return mapLastError();
    }
    lineState_ = state;
    return 0;
}

bool PosixSerialDevice::pseudoTerminalTook(const termios& wanted) {
    // A pseudo-terminal forces 8 bits without parity and the C library then
    // reports the whole setting as refused. Bytes cross it unchanged either
    // way, so the rest having arrived is success; the block keeps the format.
    if (!pseudoTerminal_ || errno != EINVAL) return false;
    const int savedErrno = errno;
    termios now{};
    const bool took = ::tcgetattr(handle_, &now) == 0 &&
                      cfgetospeed(&now) == cfgetospeed(&wanted) &&
                      (now.c_cflag & ~(CSIZE | PARENB)) == (wanted.c_cflag & ~(CSIZE | PARENB)) &&
                      now.c_iflag == wanted.c_iflag && now.c_lflag == wanted.c_lflag;
    errno = savedErrno;
    return took;
}

void PosixSerialDevice::collectLineErrors() {
    serial_icounter_struct now{};
    if (!isOpen() || ::ioctl(handle_, TIOCGICOUNT, &now) != 0) return;
    const LineCounters counts{now.frame, now.overrun, now.parity, now.brk, now.buf_overrun};
    if (haveCounters_) {
        if (counts.frame != counters_.frame) errorFlags_ |= kLineErrorFraming;
        if (counts.overrun != counters_.overrun) errorFlags_ |= kLineErrorOverrun;
        if (counts.parity != counters_.parity) errorFlags_ |= kLineErrorParity;
        if (counts.brk != counters_.brk) errorFlags_ |= kLineErrorBreak;
        if (counts.bufferOverrun != counters_.bufferOverrun) {
            errorFlags_ |= kLineErrorReceiveOverflow;
        }
    }
    counters_ = counts;
    haveCounters_ = true;
}

int PosixSerialDevice::modemStatus() {
    int bits = 0;
    if (!isOpen() || ::ioctl(handle_, TIOCMGET, &bits) != 0) return -1;
    int status = 0;
    if (bits & TIOCM_CTS) status |= kModemCts;
    if (bits & TIOCM_DSR) status |= kModemDsr;
    if (bits & TIOCM_RI) status |= kModemRing;
    if (bits & TIOCM_CD) status |= kModemCarrier;
    return status;
}

int PosixSerialDevice::bytesWaiting() const {
    int count = 0;
    if (!isOpen() || ::ioctl(handle_, FIONREAD, &count) != 0) return 0;
    return std::max(0, count);
}

int PosixSerialDevice::bytesUnsent() const {
    int count = 0;
    if (!isOpen() || ::ioctl(handle_, TIOCOUTQ, &count) != 0) return 0;
    return std::max(0, count);
}

int PosixSerialDevice::setModemLine(int bit, bool raise) {
    // Pseudo-terminals have no modem lines and refuse this; that is not a fault.
    if (!isOpen()) return kSerialBadPort;
    return ::ioctl(handle_, raise ? TIOCMBIS : TIOCMBIC, &bit) == 0 ? 0 : kSerialGeneralFailure;
}

}  // namespace zamel
