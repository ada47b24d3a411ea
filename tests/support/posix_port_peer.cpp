#include <unistd.h>

#include <cstdlib>

#include "port_peer.h"
#include "pty_pair.h"

namespace zamel::testing {

struct PortPeer::Line {
    PtyPair pty;
};

PortPeer::PortPeer() : line_(std::make_unique<Line>()) {}
PortPeer::~PortPeer() = default;

bool PortPeer::attach(const std::string& dir, int comNumber) {
    return line_->pty.ok() && line_->pty.linkAs(dir, comNumber);
}

bool PortPeer::leaveEmpty(const std::string& dir, int comNumber) {
    const std::string link = dir + "/COM" + std::to_string(comNumber);
    ::unlink(link.c_str());
    return ::symlink("/nonexistent/tty", link.c_str()) == 0;
}

bool PortPeer::write(const std::vector<std::uint8_t>& bytes) { return line_->pty.write(bytes); }
bool PortPeer::write(const std::string& text) { return line_->pty.write(text); }

std::vector<std::uint8_t> PortPeer::readFor(int timeoutMs, std::size_t maxBytes) {
    return line_->pty.readFor(timeoutMs, maxBytes);
}

std::vector<std::uint8_t> PortPeer::readExactly(std::size_t n, int timeoutMs) {
    return line_->pty.readExactly(n, timeoutMs);
}

std::string comPortDescription(const std::string& dir, int comNumber) {
    const std::string name = "COM" + std::to_string(comNumber);
    char* real = ::realpath((dir + "/" + name).c_str(), nullptr);
    const std::string device = real != nullptr ? real : "";
    std::free(real);
    return device + " (through " + name + " in the working directory)";
}

}  // namespace zamel::testing
