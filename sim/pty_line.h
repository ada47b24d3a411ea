#pragma once

#include <sys/types.h>

#include <cstdint>
#include <memory>
#include <string>

#include "line_settings.h"
#include "unique_fd.h"

namespace zamel::sim {

// The receiver's end of the cable: the master of a pseudo-terminal whose slave is
// linked as DIR/COMn for the loader to open. A slave descriptor stays open for the
// line's life so the master never reads EIO while the loader has the port closed.
// Removes the link when closed or destroyed.
class PtyLine {
  public:
    // Creates the pseudo-terminal and the link; nullptr with a message on failure.
    static std::unique_ptr<PtyLine> open(const std::string& dir, int comNumber, std::string& error);
    ~PtyLine();
    PtyLine(const PtyLine&) = delete;
    PtyLine& operator=(const PtyLine&) = delete;

    int masterFd() const { return master_.get(); }
    const std::string& slavePath() const { return slavePath_; }
    const std::string& linkPath() const { return linkPath_; }

    // The rate the loader set on its port, read from the shared terminal settings;
    // 0 when unknown.
    long baud() const;
    // Rate, stop bits and flow control the loader set, read the same way.
    LineSettings settings() const;
    // Non-blocking; return what read(2) and write(2) return.
    ssize_t readSome(std::uint8_t* buffer, std::size_t size);
    ssize_t writeSome(const std::uint8_t* bytes, std::size_t size);
    // Bytes written to the loader that it has not read yet.
    int unreadByLoader() const;
    // Pulls the cable: closes both ends and removes the link.
    void close();

  private:
    PtyLine() = default;

    UniqueFd master_;
    UniqueFd heldSlave_;
    std::string slavePath_;
    std::string linkPath_;
};

}  // namespace zamel::sim
