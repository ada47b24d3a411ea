#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace zamel::testing {

// A program of the machine that runs this Windows test under Wine, started
// through host_bridge.sh (see there for the modes), which talks to the test
// over a local TCP connection: Wine starts a Linux program but gives no handle
// to wait on and no pipes. Closes the connection when destroyed.
class HostProcess {
  public:
    enum class Mode { Run, Serve, Relay };

    HostProcess() = default;
    ~HostProcess();
    HostProcess(const HostProcess&) = delete;
    HostProcess& operator=(const HostProcess&) = delete;

    // Starts the program (a path of this machine and its arguments) and waits
    // (bounded) until it is connected.
    bool start(Mode mode, const std::vector<std::string>& commandLine, int connectTimeoutMs = 5000);
    bool connected() const;

    bool send(const std::uint8_t* bytes, std::size_t count);
    // Up to `size` bytes that arrive within timeoutMs; 0 when none came in time
    // or the program's side has ended (ended() then says so).
    std::size_t receive(std::uint8_t* buffer, std::size_t size, int timeoutMs);
    // The next line without its end; false when none came in time or at the end.
    bool readLine(std::string& line, int timeoutMs);
    // Ends the test's side of the connection; the program's side stays readable.
    void finishSending();
    bool ended() const { return ended_; }

  private:
    std::uintptr_t listener_ = ~std::uintptr_t{0};
    std::uintptr_t connection_ = ~std::uintptr_t{0};
    std::string lineBuffer_;
    bool ended_ = false;
};

// Runs a command line of this machine to its end (bounded); its exit status,
// or -1 when it could not be run or did not end in time. Its output is passed
// to standard error.
int runOnHost(const std::vector<std::string>& commandLine, int timeoutMs = 60000);

// The Wine prefix's directory where its COM ports lead: COMn there is what
// "\\.\COMn" opens.
std::string winePortsDirectory();

}  // namespace zamel::testing
