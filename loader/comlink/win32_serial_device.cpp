#include "win32_serial_device.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <limits>

#include "comlink.h"
#include "line_state.h"
#include "port_device.h"
#include "serial_result.h"

namespace zamel {
namespace {

constexpr std::uint32_t kEventReceivedCharacter = EV_RXCHAR;
constexpr std::uint32_t kEventTransmitEmpty = EV_TXEMPTY;
constexpr WORD kOpenXoffLimit = 128;
constexpr DWORD kOpenBaud = 19200;
// A wake-up that brought no byte (a line that reports without data) is not
// followed by another wait for this long, so the caller never spins.
constexpr DWORD kQuietWakeMs = 10;
constexpr DWORD kLineErrors = CE_RXOVER | CE_OVERRUN | CE_RXPARITY | CE_FRAME | CE_BREAK;

int clampToInt(std::size_t n) {
    return static_cast<int>(std::min<std::size_t>(n, std::numeric_limits<int>::max()));
}

int bitResult(std::uint32_t flags, std::uint32_t bit) { return (flags & bit) != 0 ? 1 : 0; }

std::string deviceName(int portIndex) { return "\\\\.\\COM" + std::to_string(portIndex + 1); }

}  // namespace

std::unique_ptr<SerialDevice> openPortDevice(int portIndex, int receiveQueueSize,
                                             int transmitQueueSize, const std::string& /*root*/,
                                             PortOpenOutcome& outcome) {
    auto device =
        std::make_unique<Win32SerialDevice>(portIndex, receiveQueueSize, transmitQueueSize);
    outcome = device->outcome();
    return device;
}

Win32SerialDevice::Win32SerialDevice(int portIndex, int receiveQueueSize, int transmitQueueSize,
                                     PortOpening opening)
    : SerialDevice(portIndex),
      transmitQueueSize_(static_cast<std::uint32_t>(std::max(0, transmitQueueSize))),
      receiveQueueSize_(static_cast<std::uint32_t>(std::max(0, receiveQueueSize))) {
    lineState_.DCBlength = sizeof lineState_;
    // Held here once, so that writing never allocates.
    pendingBytes_.reserve(transmitQueueSize_);
    // Manual-reset events, one for each kind of overlapped operation, so that
    // finishing one never consumes another's completion.
    for (OVERLAPPED* overlap : {&readOverlap_, &writeOverlap_, &waitOverlap_})
        overlap->hEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    if (!readOverlap_.hEvent || !writeOverlap_.hEvent || !waitOverlap_.hEvent) {
        setLastError(kSerialOutOfMemory);
        return;
    }
    if (opening == PortOpening::Now) {
        open();
        if (isOpen()) {
            line(LineId::Dtr, 1);
            line(LineId::Rts, 1);
        }
    }
}

Win32SerialDevice::~Win32SerialDevice() {
    if (isOpen()) close();
    if (ownsPortUse_) lowerPortUse(portIndex());
    for (OVERLAPPED* overlap : {&readOverlap_, &writeOverlap_, &waitOverlap_})
        if (overlap->hEvent) CloseHandle(overlap->hEvent);
}

int Win32SerialDevice::idle() {
    Sleep(0);
    return 0;
}

int Win32SerialDevice::refreshLine() {
    collectLineErrors();
    modemLine(kModemCts);
    return 0;
}

int Win32SerialDevice::open() {
    outcome_ = {};
    if (portIndex() < 0 || portIndex() >= kPortIndexCount) {
        outcome_.failure = PortOpenFailure::NoDevice;
        setLastError(kSerialBadPort);
        return kSerialBadPort;
    }
    if (isOpen() || portUseCount(portIndex()) != 0) {
        outcome_.mapping = mapComPort(portIndex(), {});
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

    SetupComm(handle_, receiveQueueSize_, transmitQueueSize_);
    DWORD foundMask = 0;
    GetCommMask(handle_, &foundMask);
    SetCommMask(handle_, 0);

    DCB state{};
    state.DCBlength = sizeof state;
    GetCommState(handle_, &state);
    state.BaudRate = kOpenBaud;
    state.ByteSize = 8;
    state.Parity = NOPARITY;
    state.StopBits = ONESTOPBIT;
    state.fBinary = TRUE;
    state.fOutxCtsFlow = FALSE;
    state.fOutxDsrFlow = FALSE;
    state.fDtrControl = DTR_CONTROL_ENABLE;
    state.fRtsControl = RTS_CONTROL_DISABLE;
    // Raw: XON/XOFF would swallow 0x11 and 0x13 of binary data.
    state.fOutX = FALSE;
    state.fInX = FALSE;
    state.fNull = FALSE;
    state.EofChar = 0;
    state.EvtChar = 0;
    state.XonChar = 0x11;
    state.XoffChar = 0x13;
    state.XonLim = static_cast<WORD>(receiveQueueSize_ / 4);
    state.XoffLim = kOpenXoffLimit;

    COMMTIMEOUTS timeouts{};
    GetCommTimeouts(handle_, &timeouts);
    // A read returns at once with what is buffered.
    timeouts.ReadIntervalTimeout = MAXDWORD;
    timeouts.ReadTotalTimeoutMultiplier = 0;
    timeouts.ReadTotalTimeoutConstant = 0;
    timeouts.WriteTotalTimeoutMultiplier = 0;
    timeouts.WriteTotalTimeoutConstant = 0;
    SetCommTimeouts(handle_, &timeouts);

    lineState_ = state;
    const int code = SetCommState(handle_, &state) ? 0 : mapLastError();
    // Whatever reached the port before it was ours is not the peer's answer.
    PurgeComm(handle_, PURGE_RXCLEAR | PURGE_TXCLEAR);
    collectLineErrors();
    errorFlags_ = 0;
    if (code != 0) setLastError(code);
    return code;
}

int Win32SerialDevice::openHandle() {
    outcome_ = {mapComPort(portIndex(), {})};
    handle_ = CreateFileA(deviceName(portIndex()).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                          OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
    if (handle_ != INVALID_HANDLE_VALUE) {
        // Whatever else the name leads to (a file, a pipe) takes no line settings.
        DCB probe{};
        probe.DCBlength = sizeof probe;
        if (GetCommState(handle_, &probe)) return 0;
        CloseHandle(handle_);
        handle_ = INVALID_HANDLE_VALUE;
        outcome_.failure = PortOpenFailure::NotATerminal;
        return kSerialBadPort;
    }
    const DWORD error = GetLastError();
    outcome_.failure = classifyOpenError(static_cast<int>(error));
    outcome_.error = static_cast<int>(error);
    const int code = mapLastError();
    // Nothing behind the number: the same report as a port the table lacks.
    if (outcome_.failure == PortOpenFailure::NoDevice) outcome_.mapping = {};
    return code;
}

int Win32SerialDevice::close() {
    if (!isOpen()) return kSerialCloseFailed;
    purge(false, 0);
    purge(true, 0);
    EscapeCommFunction(handle_, CLRDTR);
    EscapeCommFunction(handle_, CLRRTS);
    dtrOn_ = 0;
    rtsOn_ = 0;
    // Pending operations end with the handle; their records must not be
    // touched by the system after it is gone.
    CancelIo(handle_);
    if (waitPending_) finishInputWait();
    if (writePending_) {
        DWORD ignored = 0;
        GetOverlappedResult(handle_, &writeOverlap_, &ignored, TRUE);
        writePending_ = false;
    }
    const BOOL closed = CloseHandle(handle_);
    handle_ = INVALID_HANDLE_VALUE;
    return closed ? 0 : kSerialCloseFailed;
}

int Win32SerialDevice::queueStatus(QueueStatus& status, int /*selector*/) {
    COMSTAT queues{};
    collectLineErrors(&queues);
    status.receiveFlag = 1;
    status.receiveCount = static_cast<std::int32_t>(queues.cbInQue);
    status.receiveSize = static_cast<std::int32_t>(receiveQueueSize_);
    status.transmitFlag = 1;
    status.transmitCount = static_cast<std::int32_t>(queues.cbOutQue);
    status.transmitSize = static_cast<std::int32_t>(transmitQueueSize_);
    status.conditionBits &= ~(kConditionBreak | kConditionReceiveError);
    if (errorFlags_ & kLineErrorBreak) status.conditionBits |= kConditionBreak;
    if (errorFlags_ & (kLineErrorReceiveOverflow | kLineErrorOverrun | kLineErrorFraming)) {
        status.conditionBits |= kConditionReceiveError;
    }
    return isOpen() ? 0 : kSerialBadPort;
}

int Win32SerialDevice::setQueueSizes(int receiveSize, int xoffLimit, int transmitSize) {
    if (receiveSize < 0 || xoffLimit < 0 || transmitSize < 0) return kSerialGeneralFailure;
    purge(false, 0);
    purge(true, 0);
    if (receiveSize != 0) receiveQueueSize_ = static_cast<std::uint32_t>(receiveSize);
    if (transmitSize != 0) transmitQueueSize_ = static_cast<std::uint32_t>(transmitSize);
    if (!writeStillPending()) pendingBytes_.reserve(transmitQueueSize_);
    DCB state = lineState_;
    state.XonLim = static_cast<WORD>(receiveSize / 4);
    if (xoffLimit != 0) state.XoffLim = static_cast<WORD>(xoffLimit);
    if (isOpen()) SetupComm(handle_, receiveQueueSize_, transmitQueueSize_);
    purge(false, 0);
    purge(true, 0);
    return applyLineState(state);
}

int Win32SerialDevice::setHandshake(int inputMode, int outputMode) {
    DCB state = lineState_;
    state.fInX = FALSE;
    state.fOutX = FALSE;
    if (state.fDtrControl == DTR_CONTROL_HANDSHAKE) state.fDtrControl = DTR_CONTROL_ENABLE;
    if (state.fRtsControl == RTS_CONTROL_HANDSHAKE) state.fRtsControl = RTS_CONTROL_ENABLE;
    state.fOutxCtsFlow = FALSE;
    state.fOutxDsrFlow = FALSE;
    switch (inputMode) {
        case 0:
            break;
        case 1:
            state.fInX = TRUE;
            break;
        case 3:
            state.fDtrControl = DTR_CONTROL_HANDSHAKE;
            break;
        case 4:
            state.fRtsControl = RTS_CONTROL_HANDSHAKE;
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
            state.fOutX = TRUE;
            break;
        case 12:
            state.fOutxCtsFlow = TRUE;
            break;
        case 13:
            state.fOutxDsrFlow = TRUE;
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

int Win32SerialDevice::getHandshake(int& inputMode, int& outputMode) {
    inputMode = inputHandshake_;
    outputMode = outputHandshake_;
    return 0;
}

int Win32SerialDevice::setBreak(int state) {
    if (state < 0) return breakOn_;
    const bool on = state == 1;
    if (!isOpen() || !(on ? SetCommBreak(handle_) : ClearCommBreak(handle_)))
        return kSerialBreakFailed;
    // Any state other than 1 clears the break, so it is recorded as clear.
    breakOn_ = on ? 1 : 0;
    return breakOn_;
}

int Win32SerialDevice::line(LineId id, int value) {
    switch (id) {
        case LineId::Break:
            if (const int result = setBreak(value); result < 0) return result;
            return breakOn_;
        case LineId::Dtr:
            if (value != -1) {
                dtrOn_ = value != 0 ? 1 : 0;
                lineState_.fDtrControl = dtrOn_ ? DTR_CONTROL_ENABLE : DTR_CONTROL_DISABLE;
                if (isOpen()) EscapeCommFunction(handle_, dtrOn_ ? SETDTR : CLRDTR);
            }
            return dtrOn_;
        case LineId::Rts:
            if (value != -1) {
                rtsOn_ = value != 0 ? 1 : 0;
                lineState_.fRtsControl = rtsOn_ ? RTS_CONTROL_ENABLE : RTS_CONTROL_DISABLE;
                if (isOpen()) EscapeCommFunction(handle_, rtsOn_ ? SETRTS : CLRRTS);
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

int Win32SerialDevice::setFormat(int baud, char parity, int dataBits, int stopBits) {
    int code = 0;
    const int parityIndex = parityCode(parity);
    if (parityIndex < 0) {
        code = kSerialBadParity;
    } else if (dataBits < 4 || dataBits > 8) {
        code = kSerialBadDataBits;
    } else if (stopBits != 1 && stopBits != 2) {
        code = kSerialBadStopBits;
    } else if (baud <= 0) {
        code = kSerialBadBaud;
    } else {
        DCB state = lineState_;
        state.BaudRate = static_cast<DWORD>(baud);
        state.Parity = static_cast<BYTE>(parityIndex);
        state.ByteSize = static_cast<BYTE>(dataBits);
        if (stopBits == 1) {
            state.StopBits = ONESTOPBIT;
        } else {
            state.StopBits = dataBits == 5 ? ONE5STOPBITS : TWOSTOPBITS;
        }
        code = applyLineState(state);
    }
    if (code != 0) setLastError(code);
    return code;
}

int Win32SerialDevice::getFormat(int& baud, char& parity, int& dataBits, int& stopBits) {
    baud = static_cast<int>(lineState_.BaudRate);
    parity = parityCharacter(lineState_.Parity);
    dataBits = lineState_.ByteSize;
    // One and a half is what two stop bits become with five data bits; reading
    // it back as 2 lets a saved format be put back unchanged.
    stopBits = lineState_.StopBits == ONESTOPBIT ? 1 : 2;
    return 0;
}

int Win32SerialDevice::snapshot(LineSnapshot& snapshot) {
    refreshLine();
    for (int i = 0; i < LineSnapshot::kFieldCount; ++i) {
        snapshot.setField(i, line(LineSnapshot::kFieldLines[static_cast<std::size_t>(i)], -1));
    }
    errorFlags_ = 0;
    return 0;
}

int Win32SerialDevice::writeByte(std::uint8_t byte) {
    const std::uint8_t bytes[1] = {byte};
    return write(bytes) == 1 ? 0 : lastError();
}

int Win32SerialDevice::writeText(const char* text) {
    if (text == nullptr) return 0;
    return write(std::span(reinterpret_cast<const std::uint8_t*>(text), std::strlen(text)));
}

int Win32SerialDevice::write(std::span<const std::uint8_t> bytes) {
    if (bytes.empty()) return 0;
    COMSTAT queues{};
    collectLineErrors(&queues);
    std::size_t wanted = 0;
    // The system may still be reading the last pending write's bytes from its
    // record: until it is done there is no room.
    if (isOpen() && !writeStillPending()) {
        const int room =
            std::max(0, static_cast<int>(transmitQueueSize_) - static_cast<int>(queues.cbOutQue));
        wanted = std::min(bytes.size(), static_cast<std::size_t>(room));
    }
    std::size_t written = 0;
    if (wanted > 0) {
        pendingBytes_.assign(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(wanted));
        ResetEvent(writeOverlap_.hEvent);
        DWORD done = 0;
        if (WriteFile(handle_, pendingBytes_.data(), static_cast<DWORD>(wanted), &done,
                      &writeOverlap_)) {
            written = done;
        } else if (GetLastError() == ERROR_IO_PENDING) {
            // Handed over: it leaves as the line allows.
            writePending_ = true;
            written = wanted;
        } else {
            collectLineErrors();
            written = done;
        }
    }
    if (written < bytes.size()) setLastError(kSerialWriteCutShort);
    return clampToInt(written);
}

int Win32SerialDevice::sendImmediate(std::uint8_t byte) {
    return isOpen() && TransmitCommChar(handle_, static_cast<char>(byte)) ? 0
                                                                          : kSerialGeneralFailure;
}

int Win32SerialDevice::readByte() {
    std::uint8_t byte = 0;
    return read(std::span(&byte, 1)) == 1 ? byte : kSerialNoData;
}

int Win32SerialDevice::read(std::span<std::uint8_t> buffer) {
    if (buffer.empty()) return 0;
    COMSTAT queues{};
    collectLineErrors(&queues);
    if (queues.cbInQue == 0) return 0;
    const DWORD wanted = static_cast<DWORD>(std::min<std::size_t>(buffer.size(), queues.cbInQue));
    ResetEvent(readOverlap_.hEvent);
    DWORD done = 0;
    if (!ReadFile(handle_, buffer.data(), wanted, &done, &readOverlap_)) {
        if (GetLastError() != ERROR_IO_PENDING ||
            !GetOverlappedResult(handle_, &readOverlap_, &done, TRUE)) {
            collectLineErrors();
            return 0;
        }
    }
    return clampToInt(done);
}

int Win32SerialDevice::purge(bool transmit, int count) {
    if (transmit || count == 0) {
        // Ending a pending write too: its bytes are to be dropped as well.
        const DWORD flags = transmit ? PURGE_TXABORT | PURGE_TXCLEAR : PURGE_RXCLEAR;
        if (!isOpen() || !PurgeComm(handle_, flags)) return mapLastError();
        if (transmit) writeStillPending();
        return 0;
    }
    if (count < 0) return kSerialGeneralFailure;
    for (int i = 0; i < count; ++i) {
        if (readByte() == kSerialNoData) return 0;
    }
    return bytesWaiting() == 0 ? 0 : kSerialGeneralFailure;
}

int Win32SerialDevice::dump(const PrintLine& print) {
    QueueStatus queues{};
    queueStatus(queues, 1);
    const DCB& s = lineState_;
    char text[160];
    std::snprintf(text, sizeof text,
                  "Port type: MS Win32  BaudRate: %-6u  ByteSize: %1d  Parity: %1d",
                  static_cast<unsigned>(s.BaudRate), s.ByteSize, s.Parity);
    print(text);
    std::snprintf(text, sizeof text, "StopBits: %1d  fBinary: %1d  fRtsControl: %1d", s.StopBits,
                  static_cast<int>(s.fBinary), static_cast<int>(s.fRtsControl));
    print(text);
    std::snprintf(text, sizeof text,
                  "Parity: %1d  OutCtsFlow: %1d  OutDsrFlow: %1d  DtrControl: %1d  OutX: %1d  "
                  "InX: %1d",
                  static_cast<int>(s.fParity), static_cast<int>(s.fOutxCtsFlow),
                  static_cast<int>(s.fOutxDsrFlow), static_cast<int>(s.fDtrControl),
                  static_cast<int>(s.fOutX), static_cast<int>(s.fInX));
    print(text);
    std::snprintf(text, sizeof text, "Null: %1d  XonChar: %02x  XoffChar: %02x",
                  static_cast<int>(s.fNull), static_cast<unsigned char>(s.XonChar),
                  static_cast<unsigned char>(s.XoffChar));
    print(text);
    std::snprintf(text, sizeof text, "XonLim: %-5u XoffLim: %-5u EofChr: %02x  EvtChr: %02x",
                  static_cast<unsigned>(s.XonLim), static_cast<unsigned>(s.XoffLim),
                  static_cast<unsigned char>(s.EofChar), static_cast<unsigned char>(s.EvtChar));
    print(text);
    std::snprintf(text, sizeof text,
                  "RX sz/ct: %5d/%-5d  TX sz/ct: %5d/%-5d  BLOCK SENT:%d  BLOCK RECEIVED:%d",
                  queues.receiveSize, queues.receiveCount, queues.transmitSize,
                  queues.transmitCount, queues.conditionBits & 1, (queues.conditionBits >> 1) & 1);
    print(text);
    return 0;
}

int Win32SerialDevice::waitReadable(int timeoutMs) {
    if (!isOpen() || timeoutMs <= 0) return bytesWaiting() > 0 ? 1 : 0;
    const ULONGLONG deadline = GetTickCount64() + static_cast<ULONGLONG>(timeoutMs);
    for (;;) {
        if (bytesWaiting() > 0) return 1;
        const ULONGLONG now = GetTickCount64();
        if (now >= deadline) return 0;
        const auto remaining = static_cast<DWORD>(deadline - now);
        if (!armInputWait()) {
            // No event to wait on: look again shortly, as the classic polling did.
            Sleep(std::min(remaining, kQuietWakeMs));
            continue;
        }
        if (WaitForSingleObject(waitOverlap_.hEvent, remaining) != WAIT_OBJECT_0) continue;
        finishInputWait();
        if (bytesWaiting() > 0) return 1;
        Sleep(std::min(remaining, kQuietWakeMs));
    }
}

bool Win32SerialDevice::hungUp() const {
    if (!isOpen()) return false;
    DWORD errors = 0;
    COMSTAT queues{};
    return !ClearCommError(handle_, &errors, &queues);
}

std::intptr_t Win32SerialDevice::inputEvent() {
    if (!isOpen() || !armInputWait()) return -1;
    if (bytesWaiting() > 0) SetEvent(waitOverlap_.hEvent);
    return reinterpret_cast<std::intptr_t>(waitOverlap_.hEvent);
}

int Win32SerialDevice::drainTransmit() {
    if (!isOpen()) return kSerialBadPort;
    if (writePending_) {
        DWORD ignored = 0;
        GetOverlappedResult(handle_, &writeOverlap_, &ignored, TRUE);
        writePending_ = false;
    }
    return FlushFileBuffers(handle_) ? 0 : mapLastError();
}

int Win32SerialDevice::setEventChar(std::uint8_t character) {
    DCB state = lineState_;
    state.EvtChar = static_cast<char>(character);
    return applyLineState(state) == 0 ? 1 : 0;
}

int Win32SerialDevice::getEventMask(std::uint32_t& mask) {
    if (!isOpen()) return kSerialBadPort;
    mask = eventMask_;
    return 0;
}

int Win32SerialDevice::setEventMask(std::uint32_t mask) {
    if (!isOpen()) return kSerialBadPort;
    eventMask_ = mask;
    return 0;
}

int Win32SerialDevice::waitEvent(std::uint32_t& mask) {
    if (!isOpen()) return kSerialBadPort;
    mask = 0;
    if ((eventMask_ & kEventReceivedCharacter) && bytesWaiting() > 0) {
        mask |= kEventReceivedCharacter;
    }
    if ((eventMask_ & kEventTransmitEmpty) && bytesUnsent() == 0) mask |= kEventTransmitEmpty;
    return 0;
}

int Win32SerialDevice::modemLine(int selector) {
    if (selector == 1) return dtrOn_;
    if (selector == 2) return rtsOn_;
    DWORD status = 0;
    if (!isOpen() || !GetCommModemStatus(handle_, &status)) return kLineUnknown;
    return (status & static_cast<DWORD>(selector)) != 0 ? 1 : 0;
}

int Win32SerialDevice::mapLastError() {
    switch (GetLastError()) {
        case ERROR_ACCESS_DENIED:
        case ERROR_SHARING_VIOLATION:
            return kSerialPortAlreadyOpen;
        case ERROR_NOT_ENOUGH_MEMORY:
        case ERROR_OUTOFMEMORY:
            return kSerialOutOfMemory;
        default:
            return kSerialGeneralFailure;
    }
}

int Win32SerialDevice::applyLineState(const DCB& state) {
    if (!isOpen()) return kSerialGeneralFailure;
    DCB wanted = state;
    if (!SetCommState(handle_, &wanted)) {
        const int code = mapLastError();
        // The system may have set part of the block before refusing the rest:
        // the line goes back to the block that held.
        DCB previous = lineState_;
        SetCommState(handle_, &previous);
        return code;
    }
    lineState_ = state;
    return 0;
}

bool Win32SerialDevice::collectLineErrors(COMSTAT* queues) {
    DWORD errors = 0;
    COMSTAT ignored{};
    if (!isOpen() || !ClearCommError(handle_, &errors, queues != nullptr ? queues : &ignored))
        return false;
    errorFlags_ |= errors & kLineErrors;
    return true;
}

int Win32SerialDevice::bytesWaiting() {
    COMSTAT queues{};
    return collectLineErrors(&queues) ? static_cast<int>(queues.cbInQue) : 0;
}

int Win32SerialDevice::bytesUnsent() {
    COMSTAT queues{};
    return collectLineErrors(&queues) ? static_cast<int>(queues.cbOutQue) : 0;
}

bool Win32SerialDevice::writeStillPending() {
    if (!writePending_) return false;
    if (!HasOverlappedIoCompleted(&writeOverlap_)) return true;
    DWORD ignored = 0;
    GetOverlappedResult(handle_, &writeOverlap_, &ignored, FALSE);
    writePending_ = false;
    return false;
}

bool Win32SerialDevice::armInputWait() {
    if (waitPending_ && !HasOverlappedIoCompleted(&waitOverlap_)) return true;
    // A wait that came true is collected: the next one must not find it set.
    finishInputWait();
    if (!SetCommMask(handle_, kEventReceivedCharacter | eventMask_)) return false;
    ResetEvent(waitOverlap_.hEvent);
    waitEvents_ = 0;
    if (WaitCommEvent(handle_, &waitEvents_, &waitOverlap_)) {
        // Already there: the event is set, nothing stays pending.
        SetEvent(waitOverlap_.hEvent);
        return true;
    }
    if (GetLastError() != ERROR_IO_PENDING) return false;
    waitPending_ = true;
    return true;
}

void Win32SerialDevice::finishInputWait() {
    if (!waitPending_) return;
    DWORD ignored = 0;
    // Completed, or cancelled with the handle: either way the record is free again.
    GetOverlappedResult(handle_, &waitOverlap_, &ignored, TRUE);
    waitPending_ = false;
}

}  // namespace zamel
