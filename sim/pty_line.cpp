#include "pty_line.h"

#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace zamel::sim {

namespace {

bool makeRaw(int fd) {
    termios settings{};
    if (tcgetattr(fd, &settings) != 0) return false;
    cfmakeraw(&settings);
    return tcsetattr(fd, TCSANOW, &settings) == 0;
}

std::string systemError(const std::string& what) { return what + ": " + std::strerror(errno); }

long baudOf(speed_t speed) {
    switch (speed) {
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

}  // namespace

std::unique_ptr<PtyLine> PtyLine::open(const std::string& dir, int comNumber, std::string& error) {
    std::unique_ptr<PtyLine> line(new PtyLine());
    line->master_ = UniqueFd(posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK));
    if (!line->master_.valid()) {
        error = systemError("cannot open a pseudo-terminal");
        return nullptr;
    }
    char name[128] = {};
    if (grantpt(line->master_.get()) != 0 || unlockpt(line->master_.get()) != 0 ||
        ptsname_r(line->master_.get(), name, sizeof name) != 0) {
        error = systemError("cannot prepare the pseudo-terminal");
        return nullptr;
    }
    line->slavePath_ = name;
    line->heldSlave_ = UniqueFd(::open(name, O_RDWR | O_NOCTTY | O_NONBLOCK));
    if (!line->heldSlave_.valid() || !makeRaw(line->heldSlave_.get())) {
        error = systemError("cannot set up " + line->slavePath_);
        return nullptr;
    }

    const std::string link = dir + "/COM" + std::to_string(comNumber);
    struct stat existing {};
    if (::lstat(link.c_str(), &existing) == 0) {
        // A link left by a simulator that was killed is replaced; anything else is kept.
        if (!S_ISLNK(existing.st_mode)) {
            error = link + " exists and is not a symbolic link";
            return nullptr;
        }
        ::unlink(link.c_str());
    }
    if (::symlink(name, link.c_str()) != 0) {
        error = systemError("cannot create " + link);
        return nullptr;
    }
    line->linkPath_ = link;
    return line;
}

PtyLine::~PtyLine() { close(); }

void PtyLine::close() {
    if (!linkPath_.empty()) ::unlink(linkPath_.c_str());
    linkPath_.clear();
    heldSlave_.reset();
    master_.reset();
}

long PtyLine::baud() const { return settings().baud; }

LineSettings PtyLine::settings() const {
    termios tio{};
    if (!master_.valid() || tcgetattr(master_.get(), &tio) != 0) return {};
    LineSettings settings;
    settings.baud = baudOf(cfgetospeed(&tio));
    settings.twoStopBits = (tio.c_cflag & CSTOPB) != 0;
    settings.hardwareFlowControl = (tio.c_cflag & CRTSCTS) != 0;
    settings.softwareFlowControl = (tio.c_iflag & (IXON | IXOFF)) != 0;
    return settings;
}

int PtyLine::unreadByLoader() const {
    // The held slave shares the loader's input queue.
    int count = 0;
    if (!heldSlave_.valid() || ::ioctl(heldSlave_.get(), FIONREAD, &count) != 0) return 0;
    return count;
}

ssize_t PtyLine::readSome(std::uint8_t* buffer, std::size_t size) {
    if (!master_.valid()) return -1;
    return ::read(master_.get(), buffer, size);
}

ssize_t PtyLine::writeSome(const std::uint8_t* bytes, std::size_t size) {
    if (!master_.valid()) return -1;
    return ::write(master_.get(), bytes, size);
}

}  // namespace zamel::sim
