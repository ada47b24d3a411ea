#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "work_dir.h"

namespace zamel::testing {

// A pseudo-terminal whose master end the test holds: the code under test opens
// the slave (directly or through a COMn link) as if it were a serial port.
class PtyPair {
  public:
    PtyPair();
    ~PtyPair();
    PtyPair(const PtyPair&) = delete;
    PtyPair& operator=(const PtyPair&) = delete;

    bool ok() const { return masterFd_ >= 0; }
    int masterFd() const { return masterFd_; }
    const std::string& slavePath() const { return slavePath_; }

    // Creates dir/COMn as a symbolic link to the slave.
    bool linkAs(const std::string& dir, int comNumber);

    // Holds a slave descriptor so the master never reads EIO while the code
    // under test has the port closed.
    void holdSlave();
    void releaseSlave();

    bool write(const std::vector<std::uint8_t>& bytes);
    bool write(const std::string& text);
    // Everything that arrives within timeoutMs of the last byte (at most maxBytes).
    std::vector<std::uint8_t> readFor(int timeoutMs, std::size_t maxBytes = 1 << 20);
    // Exactly n bytes, or fewer when none arrives for timeoutMs.
    std::vector<std::uint8_t> readExactly(std::size_t n, int timeoutMs);
    // The line rate the slave's user has set, read from the master side.
    long baud() const;

  private:
    int masterFd_ = -1;
    int heldSlaveFd_ = -1;
    std::string slavePath_;
    std::vector<std::string> links_;
};

}  // namespace zamel::testing
