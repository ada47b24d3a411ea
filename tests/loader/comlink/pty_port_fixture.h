#pragma once

#include <gtest/gtest.h>
#include <termios.h>

#include <chrono>
#include <string>

#include "pty_pair.h"
#include "serial_device.h"
#include "serial_records.h"

namespace zamel::testing {

// A pseudo-terminal linked as COM1 (port index 0) in a fresh working directory;
// the test holds the master end and plays the far side of the cable.
class PtyPortTest : public ::testing::Test {
  protected:
    static constexpr int kPortIndex = 0;

    void SetUp() override {
        ASSERT_TRUE(pty.ok());
        ASSERT_TRUE(pty.linkAs(dir.path(), kPortIndex + 1));
    }

    // The slave's settings as the far end sees them.
    termios lineSettings() const {
        termios tio{};
        EXPECT_EQ(tcgetattr(pty.masterFd(), &tio), 0);
        return tio;
    }

    // Writes from the far end and waits (bounded) until the device has them all.
    bool sendAndWait(SerialDevice& device, const std::string& bytes) {
        QueueStatus before{};
        device.queueStatus(before, 1);
        if (!pty.write(bytes)) return false;
        return waitForReceiveCount(device, before.receiveCount + static_cast<int>(bytes.size()));
    }

    static bool waitForReceiveCount(SerialDevice& device, int count) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
        while (std::chrono::steady_clock::now() < deadline) {
            QueueStatus status{};
            device.queueStatus(status, 1);
            if (status.receiveCount >= count) return true;
            device.waitReadable(10);
        }
        return false;
    }

    TempWorkDir dir;
    PtyPair pty;
};

}  // namespace zamel::testing
