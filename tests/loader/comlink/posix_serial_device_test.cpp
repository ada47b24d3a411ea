#include "posix_serial_device.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <memory>
#include <string>
#include <vector>

#include "comlink.h"
#include "pty_port_fixture.h"
#include "serial_result.h"

namespace zamel {
namespace {

using testing::PtyPortTest;
using testing::readWholeFile;
using testing::writeWholeFile;

constexpr int kReceiveQueue = 4096;
constexpr int kTransmitQueue = 2048;

std::unique_ptr<PosixSerialDevice> openCom1() {
    return std::make_unique<PosixSerialDevice>(0, kReceiveQueue, kTransmitQueue);
}

using PosixSerialDeviceTest = PtyPortTest;

// Open, close and the other promises every device keeps are in the contract
// tests (serial_device_contract_test.cpp); these are the terminal's own.
TEST_F(PosixSerialDeviceTest, OpensRawAt19200AndASecondOpenLeavesTheRateAlone) {
    auto device = openCom1();
    ASSERT_TRUE(device->isOpen());
    EXPECT_EQ(pty.baud(), 19200);
    const termios tio = lineSettings();
    EXPECT_EQ(tio.c_cflag & (CSIZE | PARENB | CSTOPB), static_cast<tcflag_t>(CS8));
    EXPECT_FALSE(tio.c_lflag & (ICANON | ECHO | ISIG));
    EXPECT_FALSE(tio.c_iflag & (IXON | IXOFF | ICRNL));
    PosixSerialDevice second(kPortIndex, kReceiveQueue, kTransmitQueue);
    EXPECT_EQ(second.lastError(), kSerialPortAlreadyOpen);
    EXPECT_EQ(pty.baud(), 19200);
}

TEST_F(PosixSerialDeviceTest, PortIsHeldExclusivelyAndReleasedOnClose) {
    auto device = openCom1();
    ASSERT_TRUE(device->isOpen());
    if (::geteuid() != 0) {  // privileged users pass the exclusive flag
        const int intruder = ::open(pty.slavePath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        EXPECT_LT(intruder, 0);
        if (intruder >= 0) ::close(intruder);
    }
    pty.holdSlave();  // keeps the terminal alive past the device's close
    device.reset();
    const int next = ::open(pty.slavePath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    EXPECT_GE(next, 0);
    if (next >= 0) ::close(next);
}

TEST_F(PosixSerialDeviceTest, PortsThatCannotBeOpenedLeaveTheirCodeAndNoCounter) {
    struct Case {
        const char* what;
        int comNumber;
        bool regularFile;
        int expected;
    };
    const Case cases[] = {
        {"dangling link", 2, false, kSerialGeneralFailure},
        {"not a terminal", 3, true, kSerialBadPort},
    };
    for (const auto& c : cases) {
        const std::string link = dir.file("COM" + std::to_string(c.comNumber));
        if (c.regularFile) {
            ASSERT_TRUE(writeWholeFile(link, "plain file"));
        } else {
            ASSERT_EQ(::symlink("/nonexistent/tty", link.c_str()), 0);
        }
        PosixSerialDevice device(c.comNumber - 1, kReceiveQueue, kTransmitQueue);
        EXPECT_FALSE(device.isOpen()) << c.what;
        EXPECT_EQ(device.lastError(), c.expected) << c.what;
        EXPECT_EQ(portUseCount(c.comNumber - 1), 0) << c.what;
        // Still usable, failing at the platform: this is how a caller notices.
        EXPECT_EQ(device.setFormat(9600, 'N', 8, 1), kSerialGeneralFailure) << c.what;
        EXPECT_EQ(device.readByte(), kSerialNoData) << c.what;
    }
    EXPECT_EQ(readWholeFile(dir.file("COM3")).size(), 10u);
}

TEST_F(PosixSerialDeviceTest, EachOpenSaysWhichDeviceItTried) {
    PosixSerialDevice device(kPortIndex, kReceiveQueue, kTransmitQueue);
    ASSERT_TRUE(device.isOpen());
    EXPECT_EQ(device.outcome().mapping.path, "COM1");
    EXPECT_EQ(device.outcome().mapping.origin, PortOrigin::WorkingDirectory);
    EXPECT_EQ(device.outcome().failure, PortOpenFailure::None);
    PosixSerialDevice second(kPortIndex, kReceiveQueue, kTransmitQueue);
    EXPECT_EQ(second.outcome().failure, PortOpenFailure::InUse);
    EXPECT_EQ(second.outcome().mapping.path, "COM1");
}

TEST_F(PosixSerialDeviceTest, WriteIntoAFullKernelBufferReturnsAtOnceCutShort) {
    auto device = openCom1();
    ASSERT_TRUE(device->isOpen());
    std::vector<std::uint8_t> block(kTransmitQueue);
    std::size_t written = 0;
    int lastCount = kTransmitQueue;
    for (int i = 0; i < 1000 && lastCount == kTransmitQueue; ++i) {
        for (std::size_t k = 0; k < block.size(); ++k) {
            block[k] = static_cast<std::uint8_t>(written + k);
        }
        lastCount = device->write(block);
        written += static_cast<std::size_t>(lastCount);
    }
    ASSERT_LT(lastCount, kTransmitQueue);
    EXPECT_EQ(device->lastError(), kSerialWriteCutShort);
    const auto arrived = pty.readFor(300);
    ASSERT_EQ(arrived.size(), written);
    for (std::size_t k = 0; k < arrived.size(); ++k) {
        ASSERT_EQ(arrived[k], static_cast<std::uint8_t>(k)) << k;
    }
}

struct FormatErrorCase {
    int baud;
    char parity;
    int dataBits;
    int stopBits;
    int expected;
};

TEST_F(PosixSerialDeviceTest, RefusedFormatsGiveTheirCodeAndLeaveTheLineAlone) {
    // The codes of every refusal are the contract's; here the terminal's own
    // refusals, and the termios record left alone by any refusal.
    const FormatErrorCase cases[] = {
        {9600, 'X', 8, 1, kSerialBadParity},
        {12345, 'E', 7, 2, kSerialBadBaud},
        // The range allows 4 data bits; a terminal has no such size.
        {9600, 'N', 4, 1, kSerialGeneralFailure},
    };
    auto device = openCom1();
    ASSERT_TRUE(device->isOpen());
    ASSERT_EQ(device->setFormat(4800, 'O', 7, 1), 0);
    const termios before = lineSettings();
    for (const auto& c : cases) {
        device->clearLastError();
        EXPECT_EQ(device->setFormat(c.baud, c.parity, c.dataBits, c.stopBits), c.expected)
            << c.baud << c.parity << c.dataBits << c.stopBits;
        EXPECT_EQ(device->lastError(), c.expected);
        const termios after = lineSettings();
        EXPECT_EQ(after.c_cflag, before.c_cflag);
        EXPECT_EQ(pty.baud(), 4800);
        int baud = 0, dataBits = 0, stopBits = 0;
        char parity = 0;
        device->getFormat(baud, parity, dataBits, stopBits);
        EXPECT_EQ(baud, 4800);
        EXPECT_EQ(parity, 'O');
        EXPECT_EQ(dataBits, 7);
        EXPECT_EQ(stopBits, 1);
    }
    // A later apply of the block (here through the flow control) must not
    // bring any refused value onto the line.
    ASSERT_EQ(device->setHandshake(0, 0), 0);
    EXPECT_EQ(lineSettings().c_cflag, before.c_cflag);
}

TEST_F(PosixSerialDeviceTest, FiveDataBitsWithTwoStopBitsGiveOneAndAHalf) {
    auto device = openCom1();
    ASSERT_TRUE(device->isOpen());
    ASSERT_EQ(device->setFormat(1200, 'S', 5, 2), 0);
    EXPECT_EQ(device->lineState().stopBits, LineState::StopBits::OneAndHalf);
    // A pseudo-terminal keeps only the rate and the stop bits of a format (it
    // forces 8 bits without parity); the rest is checked through termios
    // mapping tests and the device's own block.
    EXPECT_TRUE(lineSettings().c_cflag & CSTOPB);
    int baud = 0, dataBits = 0, stopBits = 0;
    char parity = 0;
    EXPECT_EQ(device->getFormat(baud, parity, dataBits, stopBits), 0);
    EXPECT_EQ(baud, 1200);
    EXPECT_EQ(parity, 'S');
    EXPECT_EQ(dataBits, 5);
    EXPECT_EQ(stopBits, 2);

    ASSERT_EQ(device->setFormat(1200, 'N', 5, 1), 0);
    EXPECT_EQ(device->lineState().stopBits, LineState::StopBits::One);
    EXPECT_FALSE(lineSettings().c_cflag & CSTOPB);
    ASSERT_EQ(device->setFormat(2400, 'E', 7, 2), 0);
    EXPECT_EQ(device->lineState().stopBits, LineState::StopBits::Two);
    EXPECT_EQ(device->lineState().parity, 2);
    EXPECT_EQ(device->lineState().dataBits, 7);
    EXPECT_TRUE(lineSettings().c_cflag & CSTOPB);
    EXPECT_EQ(pty.baud(), 2400);
}

struct HandshakeCase {
    int input;
    int output;
    int expected;
    int pending;  // lastError afterwards
};

TEST_F(PosixSerialDeviceTest, HandshakeModesAndTheirCodes) {
    // The codes are the contract's; here the modes as termios holds them.
    const HandshakeCase cases[] = {
        {2, 0, kSerialGeneralFailure, kSerialBadInputHandshake},
        {0, 14, kSerialBadOutputHandshake, 0},
    };
    auto device = openCom1();
    ASSERT_TRUE(device->isOpen());
    ASSERT_EQ(device->setHandshake(1, 12), 0);
    int input = -1, output = -1;
    EXPECT_EQ(device->getHandshake(input, output), 0);
    EXPECT_EQ(input, 1);
    EXPECT_EQ(output, 12);
    const termios before = lineSettings();
    EXPECT_TRUE(before.c_iflag & IXOFF);
    EXPECT_FALSE(before.c_iflag & IXON);
    EXPECT_TRUE(before.c_cflag & CRTSCTS);

    for (const auto& c : cases) {
        device->clearLastError();
        EXPECT_EQ(device->setHandshake(c.input, c.output), c.expected)
            << c.input << "," << c.output;
        EXPECT_EQ(device->lastError(), c.pending) << c.input << "," << c.output;
        device->getHandshake(input, output);
        EXPECT_EQ(input, 1);
        EXPECT_EQ(output, 12);
        EXPECT_EQ(lineSettings().c_iflag, before.c_iflag);
        EXPECT_EQ(lineSettings().c_cflag, before.c_cflag);
    }

    ASSERT_EQ(device->setHandshake(4, 1), 0);
    EXPECT_TRUE(lineSettings().c_iflag & IXON);
    EXPECT_TRUE(lineSettings().c_cflag & CRTSCTS);  // RTS handshake
    ASSERT_EQ(device->setHandshake(0, 0), 0);
    EXPECT_FALSE(lineSettings().c_iflag & (IXON | IXOFF));
    EXPECT_FALSE(lineSettings().c_cflag & CRTSCTS);
    EXPECT_EQ(device->lineState().rtsControl, LineState::LineControl::Enable);
}

std::vector<std::string> dumpLines(SerialDevice& device) {
    std::vector<std::string> lines;
    EXPECT_EQ(device.dump([&](const std::string& line) { lines.push_back(line); }), 0);
    return lines;
}

// Parity and seven data bits reach the block though a pseudo-terminal keeps neither.
TEST_F(PosixSerialDeviceTest, DumpFollowsFormatFlowControlAndQueues) {
    auto device = openCom1();
    ASSERT_TRUE(device->isOpen());
    ASSERT_EQ(device->setFormat(115200, 'E', 7, 2), 0);
    ASSERT_EQ(device->setHandshake(1, 13), 0);
    ASSERT_EQ(device->setQueueSizes(1000, 64, 512), 0);
    EXPECT_EQ(device->setEventChar(0x7E), 1);
    ASSERT_TRUE(sendAndWait(*device, "abc"));
    const std::vector<std::string> expected = {
        "Port type: MS Win32  BaudRate: 115200  ByteSize: 7  Parity: 2",
        "StopBits: 2  fBinary: 1  fRtsControl: 1",
        "Parity: 0  OutCtsFlow: 0  OutDsrFlow: 1  DtrControl: 1  OutX: 0  InX: 1",
        "Null: 0  XonChar: 11  XoffChar: 13",
        "XonLim: 250   XoffLim: 64    EofChr: 00  EvtChr: 7e",
        "RX sz/ct:  1000/3      TX sz/ct:   512/0      BLOCK SENT:0  BLOCK RECEIVED:0",
    };
    EXPECT_EQ(dumpLines(*device), expected);
}

}  // namespace
}  // namespace zamel
