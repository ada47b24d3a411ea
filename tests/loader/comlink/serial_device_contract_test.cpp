#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "comlink.h"
#include "platform_serial_device.h"
#include "port_peer.h"
#include "serial_result.h"
#include "work_dir.h"

// What every serial device promises, held against the one this platform builds
// (a POSIX terminal here, the Windows communications functions under Wine),
// with the far end of the cable played through a pseudo-terminal.

namespace zamel::testing {
namespace {

constexpr int kReceiveQueue = 4096;
constexpr int kTransmitQueue = 2048;
constexpr int kPortIndex = 0;
constexpr int kWaitBoundMs = 2000;

std::string text(const std::vector<std::uint8_t>& bytes) {
    return std::string(bytes.begin(), bytes.end());
}

class SerialDeviceContract : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(peer.attach(dir.path(), kPortIndex + 1)); }

    static std::unique_ptr<PlatformSerialDevice> openCom1(PortOpening opening = PortOpening::Now) {
        return std::make_unique<PlatformSerialDevice>(kPortIndex, kReceiveQueue, kTransmitQueue,
                                                      opening);
    }

    // Writes from the far end and waits (bounded) until the device has them all.
    bool sendAndWait(SerialDevice& device, const std::string& bytes) {
        QueueStatus before{};
        device.queueStatus(before, 1);
        if (!peer.write(bytes)) return false;
        const int wanted = before.receiveCount + static_cast<int>(bytes.size());
        for (int i = 0; i < kWaitBoundMs / 10; ++i) {
            QueueStatus status{};
            device.queueStatus(status, 1);
            if (status.receiveCount >= wanted) return true;
            device.waitReadable(10);
        }
        return false;
    }

    static std::vector<std::string> dumpLines(SerialDevice& device) {
        std::vector<std::string> lines;
        EXPECT_EQ(device.dump([&](const std::string& line) { lines.push_back(line); }), 0);
        return lines;
    }

    TempWorkDir dir;
    PortPeer peer;
};

TEST_F(SerialDeviceContract, OpensAt19200WithTheLinesUpAndClosesCleanly) {
    auto device = openCom1();
    ASSERT_TRUE(device->isOpen());
    EXPECT_EQ(device->lastError(), 0);
    EXPECT_EQ(portUseCount(kPortIndex), 1);
    EXPECT_EQ(device->outcome().failure, PortOpenFailure::None);
    EXPECT_FALSE(device->outcome().mapping.path.empty());
    int baud = 0, dataBits = 0, stopBits = 0;
    char parity = 0;
    EXPECT_EQ(device->getFormat(baud, parity, dataBits, stopBits), 0);
    EXPECT_EQ(baud, 19200);
    EXPECT_EQ(parity, 'N');
    EXPECT_EQ(dataBits, 8);
    EXPECT_EQ(stopBits, 1);
    EXPECT_EQ(device->line(LineId::Dtr, -1), 1);
    EXPECT_EQ(device->line(LineId::Rts, -1), 1);

    EXPECT_EQ(device->close(), 0);
    EXPECT_FALSE(device->isOpen());
    EXPECT_EQ(device->close(), kSerialCloseFailed);
    device.reset();
    EXPECT_EQ(portUseCount(kPortIndex), 0);
}

TEST_F(SerialDeviceContract, MovesBytesBothWaysUntouched) {
    auto device = openCom1();
    ASSERT_TRUE(device->isOpen());
    const std::string binary("\x11\x13\r\n\x00\x03\x7f\xff", 8);
    ASSERT_TRUE(sendAndWait(*device, binary));
    std::vector<std::uint8_t> got(16);
    ASSERT_EQ(device->read(got), 8);
    EXPECT_EQ(std::string(got.begin(), got.begin() + 8), binary);
    EXPECT_EQ(device->readByte(), kSerialNoData);

    EXPECT_EQ(device->write(
                  std::span(reinterpret_cast<const std::uint8_t*>(binary.data()), binary.size())),
              8);
    EXPECT_EQ(device->writeByte(0xAA), 0);
    EXPECT_EQ(device->writeText("CMD"), 3);
    EXPECT_EQ(device->sendImmediate(0x55), 0);
    EXPECT_EQ(text(peer.readExactly(13, kWaitBoundMs)), binary +
                                                            "\xAA"
                                                            "CMD\x55");
    EXPECT_EQ(device->lastError(), 0);
}

TEST_F(SerialDeviceContract, BytesQueuedBeforeTheOpenNeverArrive) {
    ASSERT_TRUE(peer.write("stale answer\r\n"));
    auto device = openCom1();
    ASSERT_TRUE(device->isOpen());
    ASSERT_TRUE(sendAndWait(*device, "F"));
    EXPECT_EQ(device->readByte(), 'F');
    EXPECT_EQ(device->readByte(), kSerialNoData);
}

TEST_F(SerialDeviceContract, WaitsForInputAndWakesWhenItArrives) {
    auto device = openCom1();
    ASSERT_TRUE(device->isOpen());
    EXPECT_NE(device->inputEvent(), -1);
    EXPECT_EQ(device->waitReadable(0), 0);
    EXPECT_EQ(device->waitReadable(30), 0);
    EXPECT_FALSE(device->hungUp());
    ASSERT_TRUE(peer.write("w"));
    EXPECT_EQ(device->waitReadable(kWaitBoundMs), 1);
    EXPECT_EQ(device->waitReadable(0), 1) << "a byte still waiting is reported at once";
    EXPECT_EQ(device->readByte(), 'w');
}

TEST_F(SerialDeviceContract, SecondOpenOfABusyPortFailsAndLeavesTheOwnerWorking) {
    auto owner = openCom1();
    ASSERT_TRUE(owner->isOpen());
    {
        PlatformSerialDevice second(kPortIndex, kReceiveQueue, kTransmitQueue);
        EXPECT_FALSE(second.isOpen());
        EXPECT_EQ(second.lastError(), kSerialPortAlreadyOpen);
        EXPECT_EQ(second.outcome().failure, PortOpenFailure::InUse);
        EXPECT_EQ(portUseCount(kPortIndex), 1);
    }
    EXPECT_EQ(portUseCount(kPortIndex), 1);
    ASSERT_TRUE(owner->isOpen());
    EXPECT_EQ(owner->writeText("ok"), 2);
    EXPECT_EQ(text(peer.readExactly(2, kWaitBoundMs)), "ok");
    ASSERT_TRUE(sendAndWait(*owner, "y"));
    EXPECT_EQ(owner->readByte(), 'y');
}

TEST_F(SerialDeviceContract, PortWithNothingBehindItLeavesItsCodeAndNoCounter) {
    // Above COM9: Wine opens the machine's ttyS port of a lower number that
    // leads nowhere.
    constexpr int kEmptyCom = 10;
    ASSERT_TRUE(peer.leaveEmpty(dir.path(), kEmptyCom));
    PlatformSerialDevice device(kEmptyCom - 1, kReceiveQueue, kTransmitQueue);
    EXPECT_FALSE(device.isOpen());
    EXPECT_EQ(device.lastError(), kSerialGeneralFailure);
    EXPECT_EQ(device.outcome().failure, PortOpenFailure::NoDevice);
    EXPECT_EQ(portUseCount(kEmptyCom - 1), 0);
    // Still usable, failing at the platform: this is how a caller notices.
    EXPECT_EQ(device.setFormat(9600, 'N', 8, 1), kSerialGeneralFailure);
    EXPECT_EQ(device.readByte(), kSerialNoData);
    EXPECT_EQ(device.waitReadable(10), 0);
}

TEST_F(SerialDeviceContract, SuppressedOpenLeavesThePortAlone) {
    auto device = openCom1(PortOpening::Later);
    EXPECT_FALSE(device->isOpen());
    EXPECT_EQ(device->lastError(), 0);
    EXPECT_EQ(portUseCount(kPortIndex), 0);
    EXPECT_EQ(device->open(), 0);
    EXPECT_TRUE(device->isOpen());
    EXPECT_EQ(device->open(), kSerialPortAlreadyOpen);
}

TEST_F(SerialDeviceContract, WriteBeyondTheTransmitQueueIsCutShort) {
    auto device = openCom1();
    ASSERT_TRUE(device->isOpen());
    ASSERT_EQ(device->setQueueSizes(0, 0, 100), 0);
    EXPECT_EQ(device->transmitQueueSize(), 100);
    EXPECT_EQ(device->receiveQueueSize(), kReceiveQueue);
    const std::vector<std::uint8_t> frame(300, 0x5A);
    EXPECT_EQ(device->write(frame), 100);
    EXPECT_EQ(device->lastError(), kSerialWriteCutShort);
    EXPECT_EQ(peer.readFor(200).size(), 100u);
}

struct PurgeCase {
    int queued;
    int count;
    int expected;
    int left;
};

TEST_F(SerialDeviceContract, PurgeWithACountDropsAtMostThatMany) {
    const PurgeCase cases[] = {
        {10, 3, kSerialGeneralFailure, 7}, {2, 3, 0, 0}, {2, 2, 0, 0}, {0, 1, 0, 0}, {10, 0, 0, 0},
    };
    auto device = openCom1();
    ASSERT_TRUE(device->isOpen());
    for (const auto& c : cases) {
        ASSERT_TRUE(sendAndWait(*device, std::string(static_cast<std::size_t>(c.queued), 'q')));
        EXPECT_EQ(device->purge(false, c.count), c.expected) << c.queued << " " << c.count;
        QueueStatus status{};
        device->queueStatus(status, 1);
        EXPECT_EQ(status.receiveCount, c.left) << c.queued << " " << c.count;
        EXPECT_EQ(device->purge(false, 0), 0);
    }
    EXPECT_EQ(device->purge(true, 0), 0);
}

struct FormatErrorCase {
    int baud;
    char parity;
    int dataBits;
    int stopBits;
    int expected;
};

TEST_F(SerialDeviceContract, RefusedFormatsGiveTheirCodeAndLeaveTheFormatAlone) {
    const FormatErrorCase cases[] = {
        {9600, 'X', 8, 1, kSerialBadParity},   {9600, 'n', 8, 1, kSerialBadParity},
        {9600, 'E', 9, 1, kSerialBadDataBits}, {9600, 'E', 3, 1, kSerialBadDataBits},
        {9600, 'E', 8, 0, kSerialBadStopBits}, {9600, 'E', 8, 3, kSerialBadStopBits},
        {0, 'N', 8, 1, kSerialBadBaud},        {-9600, 'N', 8, 1, kSerialBadBaud},
    };
    auto device = openCom1();
    ASSERT_TRUE(device->isOpen());
    ASSERT_EQ(device->setFormat(4800, 'N', 8, 2), 0);
    for (const auto& c : cases) {
        device->clearLastError();
        EXPECT_EQ(device->setFormat(c.baud, c.parity, c.dataBits, c.stopBits), c.expected)
            << c.baud << c.parity << c.dataBits << c.stopBits;
        EXPECT_EQ(device->lastError(), c.expected);
        int baud = 0, dataBits = 0, stopBits = 0;
        char parity = 0;
        device->getFormat(baud, parity, dataBits, stopBits);
        EXPECT_EQ(baud, 4800);
        EXPECT_EQ(parity, 'N');
        EXPECT_EQ(dataBits, 8);
        EXPECT_EQ(stopBits, 2);
    }
    // The line still carries bytes at the format that held.
    EXPECT_EQ(device->writeText("on"), 2);
    EXPECT_EQ(text(peer.readExactly(2, kWaitBoundMs)), "on");
}

struct HandshakeCase {
    int input;
    int output;
    int expected;
    int pending;  // lastError afterwards
};

TEST_F(SerialDeviceContract, HandshakeModesAndTheirCodes) {
    const HandshakeCase cases[] = {
        {2, 0, kSerialGeneralFailure, kSerialBadInputHandshake},
        {13, 0, kSerialNotSupported, 0},
        {0, 15, kSerialNotSupported, 0},
        {0, 14, kSerialBadOutputHandshake, 0},
        {5, 2, kSerialGeneralFailure, kSerialBadInputHandshake},
    };
    auto device = openCom1();
    ASSERT_TRUE(device->isOpen());
    ASSERT_EQ(device->setHandshake(1, 12), 0);
    int input = -1, output = -1;
    EXPECT_EQ(device->getHandshake(input, output), 0);
    EXPECT_EQ(input, 1);
    EXPECT_EQ(output, 12);
    for (const auto& c : cases) {
        device->clearLastError();
        EXPECT_EQ(device->setHandshake(c.input, c.output), c.expected)
            << c.input << "," << c.output;
        EXPECT_EQ(device->lastError(), c.pending) << c.input << "," << c.output;
        device->getHandshake(input, output);
        EXPECT_EQ(input, 1);
        EXPECT_EQ(output, 12);
    }
    EXPECT_EQ(device->setHandshake(4, 1), 0);
    EXPECT_EQ(device->setHandshake(0, 0), 0);
    device->getHandshake(input, output);
    EXPECT_EQ(input, 0);
    EXPECT_EQ(output, 0);
}

TEST_F(SerialDeviceContract, LineQueriesAndSettings) {
    auto device = openCom1();
    ASSERT_TRUE(device->isOpen());
    struct Query {
        LineId id;
        int expected;
    };
    // A pseudo-terminal has no modem lines: they are unknown on both platforms.
    const Query queries[] = {
        {LineId::Dtr, 1},
        {LineId::Rts, 1},
        {LineId::Break, 0},
        {LineId::Cts, kLineUnknown},
        {LineId::Dsr, kLineUnknown},
        {LineId::RingIndicator, kLineUnknown},
        {LineId::CarrierDetect, kLineUnknown},
        {LineId::Reserved17, 0},
        {LineId::Reserved20, 0},
        {LineId::OverrunError, 0},
        {LineId::ParityError, 0},
        {LineId::FramingError, 0},
        {LineId::BreakDetected, 0},
        {LineId::ReceiveOverflow, 0},
        {static_cast<LineId>(99), kLineUnknown},
        {static_cast<LineId>(0), kLineUnknown},
    };
    for (const auto& q : queries) {
        EXPECT_EQ(device->line(q.id, -1), q.expected) << static_cast<int>(q.id);
    }
    EXPECT_EQ(device->line(static_cast<LineId>(99), 0), kLineUnknown);

    EXPECT_EQ(device->line(LineId::Dtr, 0), 0);
    EXPECT_EQ(device->line(LineId::Dtr, -1), 0);
    EXPECT_EQ(device->modemLine(1), 0);
    EXPECT_EQ(device->line(LineId::Dtr, 5), 1);
    EXPECT_EQ(device->modemLine(1), 1);
    EXPECT_EQ(device->line(LineId::Rts, 0), 0);
    EXPECT_EQ(device->modemLine(2), 0);
    EXPECT_EQ(device->modemLine(kModemCts), kLineUnknown);

    EXPECT_EQ(device->line(LineId::Break, 1), 1);
    EXPECT_EQ(device->setBreak(-1), 1);
    EXPECT_EQ(device->line(LineId::Break, 3), 0);
    EXPECT_EQ(device->line(LineId::Break, -1), 0);
}

TEST_F(SerialDeviceContract, SnapshotOfAFreshPort) {
    auto device = openCom1();
    ASSERT_TRUE(device->isOpen());
    LineSnapshot snapshot;
    snapshot.bytes = {0xFF, 0xFF, 0xFF, 0xFF};
    EXPECT_EQ(device->snapshot(snapshot), 0);
    // DTR 1, RTS 1, break 0, DSR unknown | CTS, ring, carrier unknown, 20 zero.
    EXPECT_EQ(snapshot.bytes[0], 0x85);
    EXPECT_EQ(snapshot.bytes[1], 0x2A);
    EXPECT_EQ(snapshot.bytes[2], 0x00);
    EXPECT_EQ(snapshot.bytes[3], 0x00);
    EXPECT_EQ(device->errorFlags(), 0u);
}

TEST_F(SerialDeviceContract, QueueStatusCountsAndKeepsTheCallersOtherBits) {
    auto device = openCom1();
    ASSERT_TRUE(device->isOpen());
    ASSERT_TRUE(sendAndWait(*device, "12345"));
    QueueStatus status{};
    status.conditionBits = 0x7C | kConditionBreak | kConditionReceiveError;
    EXPECT_EQ(device->queueStatus(status, 2), 0);
    EXPECT_EQ(status.receiveFlag, 1);
    EXPECT_EQ(status.receiveCount, 5);
    EXPECT_EQ(status.receiveSize, kReceiveQueue);
    EXPECT_EQ(status.transmitFlag, 1);
    EXPECT_EQ(status.transmitCount, 0);
    EXPECT_EQ(status.transmitSize, kTransmitQueue);
    EXPECT_EQ(status.conditionBits, 0x7C);
}

TEST_F(SerialDeviceContract, DumpDescribesAFreshPortInSixLines) {
    auto device = openCom1();
    ASSERT_TRUE(device->isOpen());
    const std::vector<std::string> expected = {
        "Port type: MS Win32  BaudRate: 19200   ByteSize: 8  Parity: 0",
        "StopBits: 0  fBinary: 1  fRtsControl: 1",
        "Parity: 0  OutCtsFlow: 0  OutDsrFlow: 0  DtrControl: 1  OutX: 0  InX: 0",
        "Null: 0  XonChar: 11  XoffChar: 13",
        "XonLim: 1024  XoffLim: 128   EofChr: 00  EvtChr: 00",
        "RX sz/ct:  4096/0      TX sz/ct:  2048/0      BLOCK SENT:0  BLOCK RECEIVED:0",
    };
    EXPECT_EQ(dumpLines(*device), expected);
}

TEST_F(SerialDeviceContract, DumpFollowsFormatFlowControlAndQueues) {
    auto device = openCom1();
    ASSERT_TRUE(device->isOpen());
    ASSERT_EQ(device->setFormat(115200, 'N', 8, 2), 0);
    ASSERT_EQ(device->setHandshake(1, 12), 0);
    ASSERT_EQ(device->setQueueSizes(1000, 64, 512), 0);
    EXPECT_EQ(device->setEventChar(0x7E), 1);
    ASSERT_TRUE(sendAndWait(*device, "abc"));
    const std::vector<std::string> expected = {
        "Port type: MS Win32  BaudRate: 115200  ByteSize: 8  Parity: 0",
        "StopBits: 2  fBinary: 1  fRtsControl: 1",
        "Parity: 0  OutCtsFlow: 1  OutDsrFlow: 0  DtrControl: 1  OutX: 0  InX: 1",
        "Null: 0  XonChar: 11  XoffChar: 13",
        "XonLim: 250   XoffLim: 64    EofChr: 00  EvtChr: 7e",
        "RX sz/ct:  1000/3      TX sz/ct:   512/0      BLOCK SENT:0  BLOCK RECEIVED:0",
    };
    EXPECT_EQ(dumpLines(*device), expected);
}

TEST_F(SerialDeviceContract, EventMaskIsKeptAndEventsReportWhatHoldsNow) {
    auto device = openCom1();
    ASSERT_TRUE(device->isOpen());
    std::uint32_t mask = 0xFFFF;
    EXPECT_EQ(device->getEventMask(mask), 0);
    EXPECT_EQ(mask, 0u);
    EXPECT_EQ(device->setEventMask(0x0005), 0);
    EXPECT_EQ(device->waitEvent(mask), 0);
    EXPECT_EQ(mask, 0x0004u);
    ASSERT_TRUE(sendAndWait(*device, "z"));
    EXPECT_EQ(device->waitEvent(mask), 0);
    EXPECT_EQ(mask, 0x0005u);
}

}  // namespace
}  // namespace zamel::testing
