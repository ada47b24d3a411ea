#pragma once

namespace zamel {

// The serial library's own result codes. Operations return 0 or one of these,
// never a platform error number; a pending failure waits in the device's
// lastError until SerialStream::status collects it.
inline constexpr int kSerialOk = 0;
inline constexpr int kSerialGeneralFailure = -801;  // also every platform error without a code
inline constexpr int kSerialNoData = -802;          // a read found nothing within its time-out
inline constexpr int kSerialNotSupported = -803;
inline constexpr int kSerialWriteCutShort = -805;  // the transmit queue had no room for it all
inline constexpr int kSerialBreakFailed = -827;
inline constexpr int kSerialBadPort = -828;  // bad port, port not open, or hardware error
inline constexpr int kSerialCloseFailed = -829;
inline constexpr int kSerialBadInputHandshake = -830;
inline constexpr int kSerialBadOutputHandshake = -832;  // also bad default parameters
inline constexpr int kSerialOutOfMemory = -836;
inline constexpr int kSerialPortAlreadyOpen = -838;
inline constexpr int kSerialBadBaud = -839;
inline constexpr int kSerialBadParity = -840;
inline constexpr int kSerialBadStopBits = -841;
inline constexpr int kSerialBadDataBits = -842;

}  // namespace zamel
