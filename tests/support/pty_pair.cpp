#include "pty_pair.h"

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace zamel::testing {

PtyPair::PtyPair() {
    masterFd_ = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (masterFd_ < 0) return;
    if (grantpt(masterFd_) != 0 || unlockpt(masterFd_) != 0) {
        ::close(masterFd_);
        masterFd_ = -1;
        return;
    }
    char name[128] = {};
    if (ptsname_r(masterFd_, name, sizeof name) != 0) {
        ::close(masterFd_);
        masterFd_ = -1;
        return;
    }
    slavePath_ = name;
    termios t{};
    if (tcgetattr(masterFd_, &t) == 0) {
        cfmakeraw(&t);
        tcsetattr(masterFd_, TCSANOW, &t);
    }
}

PtyPair::~PtyPair() {
    for (const auto& link : links_) ::unlink(link.c_str());
    releaseSlave();
    if (masterFd_ >= 0) ::close(masterFd_);
}

bool PtyPair::linkAs(const std::string& dir, int comNumber) {
    const std::string link = dir + "/COM" + std::to_string(comNumber);
    ::unlink(link.c_str());
    if (::symlink(slavePath_.c_str(), link.c_str()) != 0) return false;
    links_.push_back(link);
    return true;
}

void PtyPair::holdSlave() {
    if (heldSlaveFd_ >= 0) return;
    heldSlaveFd_ = ::open(slavePath_.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (heldSlaveFd_ >= 0) {
        termios t{};
        if (tcgetattr(heldSlaveFd_, &t) == 0) {
            cfmakeraw(&t);
            tcsetattr(heldSlaveFd_, TCSANOW, &t);
        }
    }
}

void PtyPair::releaseSlave() {
    if (heldSlaveFd_ >= 0) ::close(heldSlaveFd_);
    heldSlaveFd_ = -1;
}

bool PtyPair::write(const std::vector<std::uint8_t>& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(masterFd_, bytes.data() + done, bytes.size() - done);
        if (n > 0) {
            done += static_cast<std::size_t>(n);
            continue;
        }
        if (n < 0 && errno != EAGAIN && errno != EINTR) return false;
        pollfd p{masterFd_, POLLOUT, 0};
        if (::poll(&p, 1, 2000) <= 0) return false;
    }
    return true;
}

bool PtyPair::write(const std::string& text) {
    return write(std::vector<std::uint8_t>(text.begin(), text.end()));
}

std::vector<std::uint8_t> PtyPair::readFor(int timeoutMs, std::size_t maxBytes) {
    std::vector<std::uint8_t> out;
    std::uint8_t buf[4096];
    while (out.size() < maxBytes) {
        pollfd p{masterFd_, POLLIN, 0};
        if (::poll(&p, 1, timeoutMs) <= 0 || !(p.revents & POLLIN)) break;
        const ssize_t n = ::read(masterFd_, buf, std::min(sizeof buf, maxBytes - out.size()));
        if (n <= 0) break;
        out.insert(out.end(), buf, buf + n);
    }
    return out;
}

std::vector<std::uint8_t> PtyPair::readExactly(std::size_t n, int timeoutMs) {
    std::vector<std::uint8_t> out;
    std::uint8_t buf[4096];
    while (out.size() < n) {
        pollfd p{masterFd_, POLLIN, 0};
        if (::poll(&p, 1, timeoutMs) <= 0 || !(p.revents & POLLIN)) break;
        const ssize_t got = ::read(masterFd_, buf, std::min(sizeof buf, n - out.size()));
        if (got <= 0) break;
        out.insert(out.end(), buf, buf + got);
    }
    return out;
}

long PtyPair::baud() const {
    termios t{};
    if (tcgetattr(masterFd_, &t) != 0) return -1;
    switch (cfgetospeed(&t)) {
        case B1200:
            return 1200;
        case B2400:
            return 2400;
        case B4800:
            return 4800;
        case B9600:
            return 9600;
        case B19200:
            return 19200;
        case B38400:
            return 38400;
        case B57600:
            return 57600;
        case B115200:
            return 115200;
        default:
            return 0;
    }
}

}  // namespace zamel::testing
