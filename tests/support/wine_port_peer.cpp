#include <algorithm>
#include <string>

#include "port_peer.h"
#include "wine_host_process.h"

namespace zamel::testing {

namespace {
constexpr int kReadyTimeoutMs = 5000;
}  // namespace

struct PortPeer::Line {
    HostProcess peer;
};

PortPeer::PortPeer() : line_(std::make_unique<Line>()) {}
PortPeer::~PortPeer() = default;

bool PortPeer::attach(const std::string& /*dir*/, int comNumber) {
    if (!line_->peer.start(
            HostProcess::Mode::Relay,
            {ZT_HOST_PTY_PEER, "--dir", winePortsDirectory(), "--port", std::to_string(comNumber)}))
        return false;
    std::string ready;
    return line_->peer.readLine(ready, kReadyTimeoutMs) && ready.rfind("ready COM", 0) == 0;
}

bool PortPeer::leaveEmpty(const std::string& /*dir*/, int comNumber) {
    // The prefix leads only COM1 to COM4 somewhere; Wine itself opens the
    // machine's /dev/ttyS(n-1) for a COM number up to 9 that leads nowhere.
    return comNumber > 9;
}

bool PortPeer::write(const std::vector<std::uint8_t>& bytes) {
    return line_->peer.send(bytes.data(), bytes.size());
}

bool PortPeer::write(const std::string& text) {
    return line_->peer.send(reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
}

std::vector<std::uint8_t> PortPeer::readFor(int timeoutMs, std::size_t maxBytes) {
    std::vector<std::uint8_t> out;
    std::uint8_t chunk[4096];
    while (out.size() < maxBytes) {
        const std::size_t got =
            line_->peer.receive(chunk, std::min(sizeof chunk, maxBytes - out.size()), timeoutMs);
        if (got == 0) break;
        out.insert(out.end(), chunk, chunk + got);
    }
    return out;
}

std::vector<std::uint8_t> PortPeer::readExactly(std::size_t n, int timeoutMs) {
    std::vector<std::uint8_t> out;
    std::uint8_t chunk[4096];
    while (out.size() < n) {
        const std::size_t got =
            line_->peer.receive(chunk, std::min(sizeof chunk, n - out.size()), timeoutMs);
        if (got == 0) break;
        out.insert(out.end(), chunk, chunk + got);
    }
    return out;
}

std::string comPortDescription(const std::string& /*dir*/, int comNumber) {
    // The device Wine's port driver made for the number, as the system lists it.
    return "\\\\.\\COM" + std::to_string(comNumber) + " (\\Device\\Serial" +
           std::to_string(comNumber - 1) + ")";
}

}  // namespace zamel::testing
