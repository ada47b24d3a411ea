#pragma once

#include <cstdint>

namespace zamel {

// The device-control block of a port: line format, flow control and the
// characters and limits of the classic communications settings. The termios
// record cannot hold all of it (limits, event character, DTR handshake), so
// the POSIX device keeps this block and maps it onto termios when it applies
// it (termios_line_state.h).
struct LineState {
    enum class StopBits : std::uint8_t { One = 0, OneAndHalf = 1, Two = 2 };
    enum class LineControl : std::uint8_t { Disable = 0, Enable = 1, Handshake = 2 };

    int baud = 19200;
    int dataBits = 8;
    int parity = 0;  // 0 none, 1 odd, 2 even, 3 mark, 4 space
    StopBits stopBits = StopBits::One;
    bool binary = true;
    bool parityCheck = false;
    bool outxCtsFlow = false;
    bool outxDsrFlow = false;
    LineControl dtrControl = LineControl::Enable;
    LineControl rtsControl = LineControl::Disable;
    bool outX = false;
    bool inX = false;
    bool null = false;
    std::uint8_t xonChar = 0x11;
    std::uint8_t xoffChar = 0x13;
    std::uint8_t eofChar = 0;
    std::uint8_t evtChar = 0;
    unsigned xonLimit = 0;
    unsigned xoffLimit = 128;
};

// Parity characters "N", "O", "E", "M", "S" and the codes 0..4; -1 / '\0' when
// not in the table.
int parityCode(char parity);
char parityCharacter(int code);

}  // namespace zamel
