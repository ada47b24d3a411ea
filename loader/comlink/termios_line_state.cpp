#include "termios_line_state.h"

#include <array>
#include <utility>

namespace zamel {
namespace {

constexpr std::array<std::pair<int, speed_t>, 31> kSpeeds = {{
    {50, B50},
    {75, B75},
    {110, B110},
    {134, B134},
    {150, B150},
    {200, B200},
    {300, B300},
    {600, B600},
    {1200, B1200},
    {1800, B1800},
    {2400, B2400},
    {4800, B4800},
    {9600, B9600},
    {19200, B19200},
    {38400, B38400},
    {57600, B57600},
    {115200, B115200},
    {230400, B230400},
    {460800, B460800},
    {500000, B500000},
    {576000, B576000},
    {921600, B921600},
    {1000000, B1000000},
    {1152000, B1152000},
    {1500000, B1500000},
    {2000000, B2000000},
    {2500000, B2500000},
    {3000000, B3000000},
    {3500000, B3500000},
    {4000000, B4000000},
    {0, B0},
}};

int baudForSpeed(speed_t speed) {
    for (const auto& [baud, code] : kSpeeds) {
        if (code == speed) return baud;
    }
    return 0;
}

bool terminalHasSize(int dataBits) { return dataBits >= 5 && dataBits <= 8; }

tcflag_t sizeFlag(int dataBits) {
    switch (dataBits) {
        case 5:
            return CS5;
        case 6:
            return CS6;
        case 7:
            return CS7;
        default:
            return CS8;
    }
}

int dataBitsOf(tcflag_t cflag) {
    switch (cflag & CSIZE) {
        case CS5:
            return 5;
        case CS6:
            return 6;
        case CS7:
            return 7;
        default:
            return 8;
    }
}

void setFlag(tcflag_t& flags, tcflag_t bit, bool on) {
    if (on) {
        flags |= bit;
    } else {
        flags &= ~bit;
    }
}

}  // namespace

speed_t speedForBaud(int baud) {
    if (baud <= 0) return B0;
    for (const auto& [rate, code] : kSpeeds) {
        if (rate == baud) return code;
    }
    return B0;
}

void readLineState(const termios& tio, LineState& state) {
    const int baud = baudForSpeed(cfgetospeed(&tio));
    if (baud > 0) state.baud = baud;
    state.dataBits = dataBitsOf(tio.c_cflag);
    if (!(tio.c_cflag & PARENB)) {
        state.parity = 0;
    } else if (tio.c_cflag & CMSPAR) {
        state.parity = (tio.c_cflag & PARODD) ? 3 : 4;
    } else {
        state.parity = (tio.c_cflag & PARODD) ? 1 : 2;
    }
    if (!(tio.c_cflag & CSTOPB)) {
        state.stopBits = LineState::StopBits::One;
    } else {
        state.stopBits =
            state.dataBits == 5 ? LineState::StopBits::OneAndHalf : LineState::StopBits::Two;
    }
    state.parityCheck = (tio.c_iflag & INPCK) != 0;
    state.outxCtsFlow = (tio.c_cflag & CRTSCTS) != 0;
    state.outX = (tio.c_iflag & IXON) != 0;
    state.inX = (tio.c_iflag & IXOFF) != 0;
    state.xonChar = tio.c_cc[VSTART];
    state.xoffChar = tio.c_cc[VSTOP];
}

bool writeLineState(const LineState& state, termios& tio) {
    const speed_t speed = speedForBaud(state.baud);
    if (speed == B0 || !terminalHasSize(state.dataBits) || parityCharacter(state.parity) == '\0') {
        return false;
    }

    cfmakeraw(&tio);
    tio.c_cflag |= CLOCAL | CREAD;
    tio.c_cflag = (tio.c_cflag & ~CSIZE) | sizeFlag(state.dataBits);
    setFlag(tio.c_cflag, PARENB, state.parity != 0);
    setFlag(tio.c_cflag, PARODD, state.parity == 1 || state.parity == 3);
    setFlag(tio.c_cflag, CMSPAR, state.parity == 3 || state.parity == 4);
    // With five data bits CSTOPB means one and a half stop bits.
    setFlag(tio.c_cflag, CSTOPB, state.stopBits != LineState::StopBits::One);
    setFlag(tio.c_cflag, CRTSCTS,
            state.outxCtsFlow || state.rtsControl == LineState::LineControl::Handshake);
    setFlag(tio.c_iflag, INPCK, state.parityCheck);
    setFlag(tio.c_iflag, IXON, state.outX);
    setFlag(tio.c_iflag, IXOFF, state.inX);
    tio.c_cc[VSTART] = state.xonChar;
    tio.c_cc[VSTOP] = state.xoffChar;
    // Reads return at once with what is buffered.
    tio.c_cc[VMIN] = 0;
    tio.c_cc[VTIME] = 0;
    cfsetispeed(&tio, speed);
    cfsetospeed(&tio, speed);
    return true;
}

}  // namespace zamel
