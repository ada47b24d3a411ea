#include "serial_stream.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <chrono>
#include <memory>
#include <thread>

#include "handshake_state.h"
#include "line_settings.h"
#include "posix_serial_device.h"
#include "pty_port_fixture.h"
#include "serial_result.h"

namespace zamel {
namespace {

using namespace std::chrono_literals;
using testing::PtyPortTest;
using Steady = std::chrono::steady_clock;

constexpr int kTimedReadMs = 300;

std::chrono::microseconds threadCpuTime() {
    rusage usage{};
    getrusage(RUSAGE_THREAD, &usage);
    return std::chrono::seconds(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           std::chrono::microseconds(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec);
}

class SerialStreamTest : public PtyPortTest {
  protected:
    void SetUp() override {
        PtyPortTest::SetUp();
        device = std::make_unique<PosixSerialDevice>(kPortIndex, 4096, 2048);
        ASSERT_TRUE(device->isOpen());
        stream = std::make_unique<SerialStream>(*device);
    }
    void TearDown() override {
        stream.reset();
        device.reset();
    }

    std::unique_ptr<PosixSerialDevice> device;
    std::unique_ptr<SerialStream> stream;
};

TEST_F(SerialStreamTest, ZeroTimeOutTakesOnlyWhatIsWaiting) {
    EXPECT_EQ(stream->readByte(0), kSerialNoData);
    ASSERT_TRUE(sendAndWait(*device, "\xAA\x77"));
    EXPECT_EQ(stream->readByte(0), 0xAA);
    EXPECT_EQ(stream->readByte(0), 0x77);
    EXPECT_EQ(stream->readByte(0), kSerialNoData);
}

TEST_F(SerialStreamTest, TimedReadGivesUpAfterItsTimeOut) {
    const auto start = Steady::now();
    EXPECT_EQ(stream->readByte(kTimedReadMs), kSerialNoData);
    EXPECT_GE(Steady::now() - start, std::chrono::milliseconds(kTimedReadMs - 10));
}

TEST_F(SerialStreamTest, TimedReadReturnsAByteAsSoonAsItArrives) {
    ASSERT_TRUE(pty.write("W"));
    EXPECT_EQ(stream->readByte(kTimedReadMs), 'W');

    // The far end answers a little later than the read began; a read that
    // only woke at its time-out would take the full ten seconds.
    static constexpr auto kAnswerDelay = 50ms;
    std::thread peer([this] {
        std::this_thread::sleep_for(kAnswerDelay);
        pty.write("\x55");
    });
    const auto start = Steady::now();
    const int result = stream->readByte(10'000);
    const auto waited = Steady::now() - start;
    peer.join();
    EXPECT_EQ(result, 0x55);
    EXPECT_LT(waited, 5s);
}

TEST_F(SerialStreamTest, TimedReadDoesNotBurnTheProcessor) {
    const auto cpuBefore = threadCpuTime();
    const auto start = Steady::now();
    EXPECT_EQ(stream->readByte(kTimedReadMs), kSerialNoData);
    const auto wall = Steady::now() - start;
    const auto cpu = threadCpuTime() - cpuBefore;
    EXPECT_GE(wall, std::chrono::milliseconds(kTimedReadMs - 10));
    // A busy wait would use nearly all of the 300 ms; allow generous slack.
    EXPECT_LT(cpu, std::chrono::milliseconds(kTimedReadMs / 10));
}

TEST(SerialStreamHangUpTest, TimedReadOnAHungUpLineNeitherSpinsNorReturnsEarly) {
    testing::TempWorkDir dir;
    auto far = std::make_unique<testing::PtyPair>();
    ASSERT_TRUE(far->linkAs(dir.path(), 1));
    PosixSerialDevice device(0, 4096, 2048);
    ASSERT_TRUE(device.isOpen());
    SerialStream stream(device);
    far.reset();  // the cable is pulled

    const auto cpuBefore = threadCpuTime();
    const auto start = Steady::now();
    EXPECT_EQ(stream.readByte(kTimedReadMs), kSerialNoData);
    EXPECT_GE(Steady::now() - start, std::chrono::milliseconds(kTimedReadMs - 10));
    EXPECT_LT(threadCpuTime() - cpuBefore, std::chrono::milliseconds(kTimedReadMs / 10));
}

TEST_F(SerialStreamTest, WritesAndQueueOperationsReachTheDevice) {
    const std::uint8_t frame[] = {'[', 0x00, 0x01, 0x12, 0x34, 0x12, 0x35, ']'};
    EXPECT_EQ(stream->write(frame), 8);
    EXPECT_EQ(stream->write({}), 0);
    EXPECT_EQ(stream->writeByte(0x69), 0);
    EXPECT_EQ(pty.readExactly(9, 2000).size(), 9u);
    EXPECT_EQ(stream->drainTransmit(), 0);
    EXPECT_EQ(stream->transmitCount(), 0);
    EXPECT_EQ(stream->clearTransmit(), 0);

    ASSERT_TRUE(sendAndWait(*device, "hello"));
    EXPECT_EQ(stream->receiveCount(), 5);
    EXPECT_EQ(stream->clearReceive(2), kSerialGeneralFailure);
    EXPECT_EQ(stream->receiveCount(), 3);
    EXPECT_EQ(stream->clearReceive(0), 0);
    EXPECT_EQ(stream->receiveCount(), 0);
    EXPECT_EQ(stream->reserved3(), kSerialNotSupported);

    EXPECT_EQ(stream->setTransmitQueue(4), 0);
    EXPECT_EQ(stream->write(frame), 4);
    std::uint16_t bits = 0xFFFF;
    EXPECT_EQ(stream->status(bits), kSerialWriteCutShort);
    EXPECT_EQ(bits, 0);
    EXPECT_EQ(stream->status(bits), 0);
    EXPECT_EQ(bits, 0);
}

TEST_F(SerialStreamTest, CompanionsTakeOverFormatAndFlowControl) {
    ASSERT_NE(stream->settings(), nullptr);
    ASSERT_NE(stream->handshake(), nullptr);
    EXPECT_EQ(pty.baud(), 9600);
    EXPECT_EQ(stream->settings()->savedBaud(), 19200);
    EXPECT_EQ(stream->handshake()->input(), 0);
    EXPECT_EQ(stream->handshake()->output(), 0);
    EXPECT_EQ(stream->handshake()->snapshot().lineResult(LineId::Dtr), 1);
    EXPECT_EQ(stream->handshake()->parityError(), 0);
}

TEST_F(PtyPortTest, FormatPassesThroughEveryStageAndComesBackOnRelease) {
    auto device = std::make_unique<PosixSerialDevice>(kPortIndex, 4096, 2048);
    ASSERT_TRUE(device->isOpen());
    EXPECT_EQ(pty.baud(), 19200);
    auto stream = std::make_unique<SerialStream>(*device);
    EXPECT_EQ(pty.baud(), 9600);
    ASSERT_EQ(device->setHandshake(1, 1), 0);  // someone changes flow control meanwhile

    auto link = std::make_unique<LineSettings>();
    ASSERT_EQ(link->attach(*stream), 0);
    EXPECT_EQ(pty.baud(), 1200);
    EXPECT_EQ(link->savedBaud(), 9600);
    ASSERT_EQ(link->setAll(4800, 'E', 7, 2), 0);
    EXPECT_EQ(pty.baud(), 4800);
    EXPECT_TRUE(lineSettings().c_cflag & CSTOPB);
    ASSERT_EQ(link->setBaud(115200), 0);
    EXPECT_EQ(pty.baud(), 115200);

    link.reset();
    EXPECT_EQ(pty.baud(), 9600);
    EXPECT_FALSE(lineSettings().c_cflag & CSTOPB);
    int baud = 0, dataBits = 0, stopBits = 0;
    char parity = 0;
    device->getFormat(baud, parity, dataBits, stopBits);
    EXPECT_EQ(parity, 'N');
    EXPECT_EQ(dataBits, 8);
    EXPECT_EQ(stopBits, 1);
    stream.reset();
    EXPECT_EQ(pty.baud(), 19200);
    int input = -1, output = -1;
    device->getHandshake(input, output);
    EXPECT_EQ(input, 0);  // the modes found when the stream was made
    EXPECT_EQ(output, 0);
    EXPECT_EQ(device->lastError(), 0);
}

TEST_F(PtyPortTest, SetBaudKeepsTheOldRateWhenTheLineRefuses) {
    PosixSerialDevice device(kPortIndex, 4096, 2048);
    SerialStream stream(device);
    LineSettings link;
    ASSERT_EQ(link.attach(stream), 0);
    ASSERT_EQ(link.setBaud(19200), 0);
    EXPECT_EQ(link.setBaud(12345), kSerialGeneralFailure);
    EXPECT_EQ(link.baud(), 19200);
    EXPECT_EQ(pty.baud(), 19200);
    std::uint16_t bits = 0;
    EXPECT_EQ(stream.status(bits), kSerialBadBaud);
}

TEST(LineSettingsTest, UnattachedSettingsRefuseAndHoldTheDefaults) {
    LineSettings settings;
    EXPECT_EQ(settings.baud(), 1200);
    EXPECT_EQ(settings.parity(), 'N');
    EXPECT_EQ(settings.dataBits(), 8);
    EXPECT_EQ(settings.stopBits(), 1);
    EXPECT_EQ(settings.savedBaud(), 1200);
    EXPECT_EQ(settings.device(), nullptr);
    EXPECT_EQ(settings.apply(), kSerialGeneralFailure);
    EXPECT_EQ(settings.fetch(), kSerialGeneralFailure);
    EXPECT_EQ(settings.setBaud(9600), kSerialGeneralFailure);
    EXPECT_EQ(settings.baud(), 1200);
    EXPECT_EQ(settings.detach(), 0);
}

TEST_F(PtyPortTest, StreamOnAFailedOpenReportsItOnceAndSetBaudFails) {
    PosixSerialDevice owner(kPortIndex, 4096, 2048);
    ASSERT_TRUE(owner.isOpen());
    PosixSerialDevice busy(kPortIndex, 4096, 2048);
    SerialStream stream(busy);
    EXPECT_EQ(stream.settings(), nullptr);
    EXPECT_EQ(stream.handshake(), nullptr);
    std::uint16_t bits = 0xFFFF;
    EXPECT_EQ(stream.status(bits), kSerialPortAlreadyOpen);
    EXPECT_EQ(bits, 0);
    bits = 0xFFFF;
    EXPECT_EQ(stream.status(bits), 0);
    EXPECT_EQ(bits, 0);

    // The connection object notices a port it could not open this way.
    LineSettings link;
    link.attach(stream);
    EXPECT_EQ(link.setBaud(4800), kSerialGeneralFailure);
    EXPECT_EQ(stream.readByte(0), kSerialNoData);
    EXPECT_EQ(pty.baud(), 19200);  // the owner's line is untouched
}

}  // namespace
}  // namespace zamel
