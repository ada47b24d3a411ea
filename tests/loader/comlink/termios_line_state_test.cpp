#include "termios_line_state.h"

#include <gtest/gtest.h>

namespace zamel {
namespace {

TEST(TermiosLineStateTest, RatesTheLoaderUsesAreSupportedOddOnesAreNot) {
    for (int baud : {1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200}) {
        EXPECT_NE(speedForBaud(baud), static_cast<speed_t>(B0)) << baud;
    }
    for (int baud : {0, -9600, 12345, 9601}) {
        EXPECT_EQ(speedForBaud(baud), static_cast<speed_t>(B0)) << baud;
    }
}

struct CflagCase {
    int parity;
    int dataBits;
    LineState::StopBits stopBits;
    tcflag_t expected;  // the bits among CSIZE, PARENB, PARODD, CMSPAR, CSTOPB
};

TEST(TermiosLineStateTest, FormatReachesTheTerminalFlags) {
    const CflagCase cases[] = {
        {0, 8, LineState::StopBits::One, CS8},
        {1, 7, LineState::StopBits::One, CS7 | PARENB | PARODD},
        {2, 7, LineState::StopBits::Two, CS7 | PARENB | CSTOPB},
        {3, 8, LineState::StopBits::One, CS8 | PARENB | PARODD | CMSPAR},
        {4, 6, LineState::StopBits::One, CS6 | PARENB | CMSPAR},
        {0, 5, LineState::StopBits::OneAndHalf, CS5 | CSTOPB},
    };
    const tcflag_t watched = CSIZE | PARENB | PARODD | CMSPAR | CSTOPB;
    for (const auto& c : cases) {
        LineState state;
        state.parity = c.parity;
        state.dataBits = c.dataBits;
        state.stopBits = c.stopBits;
        termios tio{};
        ASSERT_TRUE(writeLineState(state, tio));
        EXPECT_EQ(tio.c_cflag & watched, c.expected) << c.parity << " " << c.dataBits;
        EXPECT_EQ(tio.c_cc[VMIN], 0);
        EXPECT_EQ(tio.c_cc[VTIME], 0);
        EXPECT_FALSE(tio.c_lflag & (ICANON | ECHO));
    }
}

TEST(TermiosLineStateTest, EveryFormatReadsBackAsWritten) {
    for (int baud : {1200, 4800, 19200, 115200}) {
        for (int parity = 0; parity < 5; ++parity) {
            for (int dataBits = 5; dataBits <= 8; ++dataBits) {
                for (auto stop : {LineState::StopBits::One, LineState::StopBits::Two}) {
                    LineState written;
                    written.baud = baud;
                    written.parity = parity;
                    written.dataBits = dataBits;
                    written.stopBits = dataBits == 5 && stop == LineState::StopBits::Two
                                           ? LineState::StopBits::OneAndHalf
                                           : stop;
                    termios tio{};
                    ASSERT_TRUE(writeLineState(written, tio));
                    LineState read;
                    readLineState(tio, read);
                    EXPECT_EQ(read.baud, baud);
                    EXPECT_EQ(read.parity, parity);
                    EXPECT_EQ(read.dataBits, dataBits);
                    EXPECT_EQ(read.stopBits, written.stopBits);
                }
            }
        }
    }
}

TEST(TermiosLineStateTest, WhatTermiosCannotHoldIsRefused) {
    LineState state;
    termios tio{};
    state.baud = 12345;
    EXPECT_FALSE(writeLineState(state, tio));
    state = LineState{};
    state.dataBits = 4;
    EXPECT_FALSE(writeLineState(state, tio));
    state = LineState{};
    state.parity = 7;
    EXPECT_FALSE(writeLineState(state, tio));
}

}  // namespace
}  // namespace zamel
