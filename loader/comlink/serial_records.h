#pragma once

#include <array>
#include <cstdint>

namespace zamel {

// The numbering of lines and line conditions that SerialDevice::line and
// SerialDevice::snapshot use. Any other value queries as 2 ("unknown").
enum class LineId : int {
    Dtr = 3,
    Rts = 4,
    Break = 7,
    Cts = 12,
    Dsr = 13,
    RingIndicator = 14,
    CarrierDetect = 15,
    Reserved17 = 17,
    Reserved18 = 18,
    Reserved19 = 19,
    Reserved20 = 20,
    OverrunError = 25,
    ParityError = 26,
    FramingError = 27,
    BreakDetected = 28,
    ReceiveOverflow = 31,
};

// Query result of a line whose state the port cannot tell (a pseudo-terminal
// has no modem lines).
inline constexpr int kLineUnknown = 2;

// Line errors collected by a device since its last snapshot (the classic
// communications error bits).
inline constexpr std::uint32_t kLineErrorReceiveOverflow = 0x01;
inline constexpr std::uint32_t kLineErrorOverrun = 0x02;
inline constexpr std::uint32_t kLineErrorParity = 0x04;
inline constexpr std::uint32_t kLineErrorFraming = 0x08;
inline constexpr std::uint32_t kLineErrorBreak = 0x10;

// Modem-status bits as SerialDevice::modemLine takes them in its mask.
inline constexpr int kModemCts = 0x10;
inline constexpr int kModemDsr = 0x20;
inline constexpr int kModemRing = 0x40;
inline constexpr int kModemCarrier = 0x80;

// Queue counts and line conditions of one port, filled by SerialDevice::queueStatus.
struct QueueStatus {
    std::int32_t receiveFlag = 0;  // always 1 once filled
    std::int32_t receiveCount = 0;
    std::int32_t receiveSize = 0;
    std::int32_t transmitFlag = 0;  // always 1 once filled
    std::int32_t transmitCount = 0;
    std::int32_t transmitSize = 0;
    // Bit 0: a break was detected; bit 1: receive overflow, overrun or framing
    // error. The other bits are left as the caller set them.
    std::int32_t conditionBits = 0;
};

inline constexpr std::int32_t kConditionBreak = 0x01;
inline constexpr std::int32_t kConditionReceiveError = 0x02;

// Sixteen 2-bit line query results (0, 1 or 2 for unknown) in four bytes,
// lowest bits first:
//   byte 0: DTR, RTS, break, DSR          byte 1: CTS, ring, carrier, 20
//   byte 2: 19, 17, 18, break detected    byte 3: parity, framing, overflow, overrun
struct LineSnapshot {
    static constexpr int kFieldCount = 16;
    // The LineId each field holds, in field order.
    static constexpr std::array<LineId, kFieldCount> kFieldLines = {
        LineId::Dtr,         LineId::Rts,           LineId::Break,           LineId::Dsr,
        LineId::Cts,         LineId::RingIndicator, LineId::CarrierDetect,   LineId::Reserved20,
        LineId::Reserved19,  LineId::Reserved17,    LineId::Reserved18,      LineId::BreakDetected,
        LineId::ParityError, LineId::FramingError,  LineId::ReceiveOverflow, LineId::OverrunError,
    };

    std::array<std::uint8_t, 4> bytes{};

    // Field 0..15; out-of-range fields read as unknown and are never written.
    int field(int index) const;
    void setField(int index, int value);
    // The field that holds a line's result; unknown when the line has none.
    int lineResult(LineId id) const;
};

}  // namespace zamel
