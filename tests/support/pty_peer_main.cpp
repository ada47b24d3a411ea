// pty-peer --dir DIR --port N: the far end of a serial cable for a test that
// cannot hold a pseudo-terminal itself (a Windows program under Wine). Links a
// pseudo-terminal as DIR/COMn, prints "ready COMn PATH", then passes the bytes
// of its standard input to the line and those of the line to its standard
// output, until its standard input ends.

#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "pty_pair.h"

namespace {

bool writeAll(int fd, const std::uint8_t* bytes, std::size_t count) {
    while (count > 0) {
        const ssize_t n = ::write(fd, bytes, count);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        bytes += n;
        count -= static_cast<std::size_t>(n);
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    std::string dir = ".";
    int port = 1;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string option = argv[i];
        if (option == "--dir") {
            dir = argv[i + 1];
        } else if (option == "--port") {
            port = std::atoi(argv[i + 1]);
        } else {
            std::fprintf(stderr, "pty-peer: unknown option %s\n", option.c_str());
            return 2;
        }
    }
    zamel::testing::PtyPair pty;
    // A slave stays open so that bytes sent before the port is opened wait in
    // it, and the master never reads the end of a line nobody holds.
    pty.holdSlave();
    if (!pty.ok() || !pty.linkAs(dir, port)) {
        std::fprintf(stderr, "pty-peer: cannot link a pseudo-terminal as %s/COM%d\n", dir.c_str(),
                     port);
        return 1;
    }
    std::printf("ready COM%d %s\n", port, pty.slavePath().c_str());
    std::fflush(stdout);

    std::vector<std::uint8_t> buffer(4096);
    for (;;) {
        pollfd watched[2] = {{STDIN_FILENO, POLLIN, 0}, {pty.masterFd(), POLLIN, 0}};
        if (::poll(watched, 2, -1) < 0) {
            if (errno == EINTR) continue;
            return 1;
        }
        if (watched[0].revents != 0) {
            const ssize_t n = ::read(STDIN_FILENO, buffer.data(), buffer.size());
            if (n <= 0) return 0;
            if (!pty.write(std::vector<std::uint8_t>(buffer.begin(), buffer.begin() + n))) return 1;
        }
        if (watched[1].revents & POLLIN) {
            const ssize_t n = ::read(pty.masterFd(), buffer.data(), buffer.size());
            if (n > 0 && !writeAll(STDOUT_FILENO, buffer.data(), static_cast<std::size_t>(n)))
                return 1;
        }
    }
}
