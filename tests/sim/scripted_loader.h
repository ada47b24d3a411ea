#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace zamel::sim::testing {

// The loader's end of the cable, played by the test: opens COMn like a serial
// port, sets the line rate, writes sentences and frames, and reads the unit's bytes
// with bounded waits. Built from the wire rules alone, not from the loader's code.
class ScriptedLoader {
  public:
    ~ScriptedLoader();

    bool open(const std::string& path, long baud);
    // Sets the rate as the loader does: reopen the port at the new rate, dropping
    // whatever was waiting.
    bool reopen(long baud);
    void close();
    // Line settings the unit does not use, on the port as it is open.
    bool setStopBitsAndFlowControl(bool twoStopBits, bool hardwareFlowControl);

    bool write(const std::vector<std::uint8_t>& bytes);
    bool writeByte(std::uint8_t byte) { return write(std::vector{byte}); }
    bool sendCommand(const std::string& body);
    // The next reply sentence (from "$" to CR LF), or nothing within the time.
    std::optional<std::string> readSentence(int timeoutMs);
    // The next byte, or nothing within the time.
    std::optional<std::uint8_t> readByte(int timeoutMs);
    // Everything that arrives until the line stays quiet for quietMs.
    std::vector<std::uint8_t> readUntilQuiet(int quietMs);
    // Reads until the wanted byte arrives; the bytes before it go to `skipped`.
    bool waitFor(std::uint8_t wanted, int timeoutMs, std::vector<std::uint8_t>* skipped = nullptr);
    // True once the far end has gone (hang-up or error on the port).
    bool waitHangUp(int timeoutMs);

  private:
    std::string path_;
    int fd_ = -1;
};

}  // namespace zamel::sim::testing
