#include "scripted_loader.h"

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>

#include "loader_frames.h"

namespace zamel::sim::testing {

namespace {

using Clock = std::chrono::steady_clock;

speed_t speedOf(long baud) {
    switch (baud) {
        case 1200:
            return B1200;
        case 4800:
            return B4800;
        case 9600:
            return B9600;
        case 19200:
            return B19200;
        case 38400:
            return B38400;
        case 115200:
            return B115200;
        default:
            return B0;
    }
}

int remainingMs(Clock::time_point deadline) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left > 0 ? static_cast<int>(left) : 0;
}

}  // namespace

ScriptedLoader::~ScriptedLoader() { close(); }

bool ScriptedLoader::open(const std::string& path, long baud) {
    close();
    path_ = path;
    fd_ = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (fd_ < 0) return false;
    termios settings{};
    if (tcgetattr(fd_, &settings) != 0) return false;
    cfmakeraw(&settings);
    cfsetispeed(&settings, speedOf(baud));
    cfsetospeed(&settings, speedOf(baud));
    if (tcsetattr(fd_, TCSANOW, &settings) != 0) return false;
    tcflush(fd_, TCIOFLUSH);
    return true;
}

bool ScriptedLoader::reopen(long baud) { return open(path_, baud); }

void ScriptedLoader::close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
}

bool ScriptedLoader::setStopBitsAndFlowControl(bool twoStopBits, bool hardwareFlowControl) {
    termios settings{};
    if (tcgetattr(fd_, &settings) != 0) return false;
    settings.c_cflag &= ~(CSTOPB | CRTSCTS);
    if (twoStopBits) settings.c_cflag |= CSTOPB;
    if (hardwareFlowControl) settings.c_cflag |= CRTSCTS;
    return tcsetattr(fd_, TCSANOW, &settings) == 0;
}

bool ScriptedLoader::write(const std::vector<std::uint8_t>& bytes) {
    std::size_t done = 0;
    const auto deadline = Clock::now() + std::chrono::seconds(5);
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd_, bytes.data() + done, bytes.size() - done);
        if (n > 0) {
            done += static_cast<std::size_t>(n);
            continue;
        }
        if (n < 0 && errno != EAGAIN && errno != EINTR) return false;
        pollfd p{fd_, POLLOUT, 0};
        if (::poll(&p, 1, remainingMs(deadline)) <= 0) return false;
    }
    return true;
}

bool ScriptedLoader::sendCommand(const std::string& body) { return write(sentence(body)); }

std::optional<std::uint8_t> ScriptedLoader::readByte(int timeoutMs) {
    pollfd p{fd_, POLLIN, 0};
    if (::poll(&p, 1, timeoutMs) <= 0 || !(p.revents & POLLIN)) return std::nullopt;
    std::uint8_t byte = 0;
    if (::read(fd_, &byte, 1) != 1) return std::nullopt;
    return byte;
}

std::optional<std::string> ScriptedLoader::readSentence(int timeoutMs) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    std::string line;
    while (true) {
        const auto byte = readByte(remainingMs(deadline));
        if (!byte) return std::nullopt;
        if (line.empty() && *byte != '$') continue;
        line.push_back(static_cast<char>(*byte));
        if (line.size() >= 2 && line.compare(line.size() - 2, 2, "\r\n") == 0) return line;
    }
}

std::vector<std::uint8_t> ScriptedLoader::readUntilQuiet(int quietMs) {
    std::vector<std::uint8_t> out;
    while (const auto byte = readByte(quietMs)) out.push_back(*byte);
    return out;
}

bool ScriptedLoader::waitFor(std::uint8_t wanted, int timeoutMs,
                             std::vector<std::uint8_t>* skipped) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while (true) {
        const auto byte = readByte(remainingMs(deadline));
        if (!byte) return false;
        if (*byte == wanted) return true;
        if (skipped != nullptr) skipped->push_back(*byte);
    }
}

bool ScriptedLoader::waitHangUp(int timeoutMs) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while (true) {
        pollfd p{fd_, POLLIN, 0};
        if (::poll(&p, 1, remainingMs(deadline)) <= 0) return false;
        if (p.revents & (POLLHUP | POLLERR)) return true;
        std::uint8_t byte = 0;
        const ssize_t got = ::read(fd_, &byte, 1);
        if (got == 0 || (got < 0 && errno == EIO)) return true;
    }
}

}  // namespace zamel::sim::testing
