#include "comlink.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>

#include "serial_device.h"
#include "serial_records.h"
#include "serial_result.h"

namespace zamel {
namespace {

TEST(PortUseCountersTest, RaiseAndLowerPerIndexWithinTheTable) {
    const int index = kPortIndexCount - 1;
    ASSERT_EQ(portUseCount(index), 0);
    EXPECT_TRUE(raisePortUse(index));
    EXPECT_TRUE(raisePortUse(index));
    EXPECT_EQ(portUseCount(index), 2);
    EXPECT_EQ(portUseCount(index - 1), 0);
    lowerPortUse(index);
    lowerPortUse(index);
    lowerPortUse(index);  // never below zero
    EXPECT_EQ(portUseCount(index), 0);

    EXPECT_FALSE(raisePortUse(-1));
    EXPECT_FALSE(raisePortUse(kPortIndexCount));
    EXPECT_EQ(portUseCount(-1), 0);
    EXPECT_EQ(portUseCount(kPortIndexCount), 0);
}

// A device that implements nothing, so every open operation reaches the base.
class BareDevice final : public SerialDevice {
  public:
    BareDevice() : SerialDevice(0) {}
};

TEST(LibraryErrorTest, ReservedSlotsAndTheDrainAnswerNotSupported) {
    BareDevice device;
    EXPECT_EQ(device.reserved23(), kSerialNotSupported);
    EXPECT_EQ(device.reserved24(), kSerialNotSupported);
    EXPECT_EQ(device.drainTransmit(), kSerialNotSupported);
}

TEST(LibraryErrorDeathTest, AnOperationTheDeviceLeftOpenEndsTheProgram) {
    const auto callRead = [] {
        BareDevice device;
        device.readByte();
    };
    EXPECT_EXIT(callRead(), ::testing::ExitedWithCode(1),
                "Library Error: Pure Virtual function called @COMLINK,.+\n"
                "Unable to continue execution");
    // The timed wait of the base falls back on idle, which is left open too.
    const auto callWait = [] {
        BareDevice device;
        device.waitReadable(10);
    };
    EXPECT_EXIT(callWait(), ::testing::ExitedWithCode(1), "Pure Virtual function called");
}

void printMarked(const char* title, const char* text) {
    std::fprintf(stderr, "hook<%s><%s>", title, text);
}

TEST(LibraryErrorDeathTest, TheProgramsHookShowsTheMessage) {
    const auto callWithHook = [] {
        setLibraryErrorHook(printMarked);
        BareDevice device;
        QueueStatus status;
        device.queueStatus(status, 1);
    };
    EXPECT_EXIT(callWithHook(), ::testing::ExitedWithCode(1),
                "hook<Library Error><Pure Virtual function called @COMLINK,.+\n"
                "Unable to continue execution>");
}

TEST(LineSnapshotTest, FieldsSitTwoBitsEachLowestFirst) {
    LineSnapshot snapshot;
    snapshot.setField(0, 1);   // DTR
    snapshot.setField(3, 2);   // DSR
    snapshot.setField(4, 2);   // CTS
    snapshot.setField(15, 1);  // overrun
    EXPECT_EQ(snapshot.bytes[0], 0x81);
    EXPECT_EQ(snapshot.bytes[1], 0x02);
    EXPECT_EQ(snapshot.bytes[2], 0x00);
    EXPECT_EQ(snapshot.bytes[3], 0x40);
    snapshot.setField(3, 0);
    EXPECT_EQ(snapshot.bytes[0], 0x01);
    EXPECT_EQ(snapshot.lineResult(LineId::Dtr), 1);
    EXPECT_EQ(snapshot.lineResult(LineId::Cts), 2);
    EXPECT_EQ(snapshot.lineResult(LineId::OverrunError), 1);

    snapshot.setField(16, 3);  // out of range: ignored
    snapshot.setField(-1, 3);
    EXPECT_EQ(snapshot.bytes[3], 0x40);
    EXPECT_EQ(snapshot.field(16), kLineUnknown);
}

}  // namespace
}  // namespace zamel
