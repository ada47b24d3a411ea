#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace zamel::testing {

// The far end of a serial cable, where the platform's serial device finds COM n:
// a pseudo-terminal whose master the test holds, linked as COMn in the working
// directory (POSIX), or one held by a program of the machine that runs a
// Windows test under Wine, linked as the Wine prefix's COMn. The test plays the
// unit through it.
class PortPeer {
  public:
    PortPeer();
    ~PortPeer();
    PortPeer(const PortPeer&) = delete;
    PortPeer& operator=(const PortPeer&) = delete;

    // Makes COM(comNumber) lead here; dir is the working directory of the test.
    bool attach(const std::string& dir, int comNumber);
    // Makes COM(comNumber) lead nowhere (a link to a device that is not there).
    bool leaveEmpty(const std::string& dir, int comNumber);

    bool write(const std::vector<std::uint8_t>& bytes);
    bool write(const std::string& text);
    // Everything that arrives within timeoutMs of the last byte (at most maxBytes).
    std::vector<std::uint8_t> readFor(int timeoutMs, std::size_t maxBytes = 1 << 20);
    // Exactly n bytes, or fewer when none arrives for timeoutMs.
    std::vector<std::uint8_t> readExactly(std::size_t n, int timeoutMs);

  private:
    struct Line;
    std::unique_ptr<Line> line_;
};

// How the loader names COM(comNumber) when something is attached there for a
// test whose working directory is dir: the link and its device on POSIX, the
// system's device on Windows.
std::string comPortDescription(const std::string& dir, int comNumber);

}  // namespace zamel::testing
