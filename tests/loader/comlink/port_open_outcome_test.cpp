#include "port_open_outcome.h"

#include <fcntl.h>
#include <grp.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <functional>
#include <string>

#include "fake_device_tree.h"
#include "posix_serial_device.h"
#include "pty_pair.h"

namespace zamel {
namespace {

using testing::FakeDeviceTree;
using testing::PtyPair;
using testing::TempWorkDir;

constexpr uid_t kNobody = 65534;
constexpr const char* kDenied =
    "permission denied: add yourself to the dialout group with \"sudo adduser $USER dialout\", "
    "then log in again";

// Opens COM1 in a child process (as an ordinary user when asked and we are
// root, since root passes every permission check) and returns the line the
// loader would show for it.
std::string openAndDescribe(const std::string& root, bool asOrdinaryUser) {
    int pipeFds[2];
    if (::pipe(pipeFds) != 0) return "no pipe";
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(pipeFds[0]);
        if (asOrdinaryUser && ::geteuid() == 0 &&
            (::setgroups(0, nullptr) != 0 || ::setgid(kNobody) != 0 || ::setuid(kNobody) != 0))
            ::_exit(2);
        PosixSerialDevice device(0, 4096, 2048, PortOpening::Now, root);
        const auto& outcome = device.outcome();
        const std::string line = portLine(0, outcome.mapping, describeOpenFailure(outcome));
        const bool written =
            ::write(pipeFds[1], line.data(), line.size()) == static_cast<ssize_t>(line.size());
        ::_exit(written && device.isOpen() == (outcome.failure == PortOpenFailure::None) ? 0 : 1);
    }
    ::close(pipeFds[1]);
    std::string line;
    char buffer[512];
    for (ssize_t n; (n = ::read(pipeFds[0], buffer, sizeof buffer)) > 0;) line.append(buffer, n);
    ::close(pipeFds[0]);
    int status = 0;
    ::waitpid(child, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) line += " [child failed]";
    return line;
}

// Each way an open can fail, set up in a fake device tree where COM1 is the
// adapter ttyUSB0, and the line that explains it.
TEST(PortOpenOutcome, EveryFailureIsExplainedWithTheDevice) {
    struct Case {
        const char* what;
        std::function<void(FakeDeviceTree&, PtyPair&, int& holder)> setUp;
        bool asOrdinaryUser;
        std::string reason;  // empty: COM1 has no device at all
    };
    const std::string usb0 = " (USB adapter): ";
    const Case cases[] = {
        {"nothing present", [](FakeDeviceTree&, PtyPair&, int&) {}, false, ""},
        {"node gone", [](FakeDeviceTree& t, PtyPair&, int&) { t.link("ttyUSB0", "/gone/tty"); },
         false, "no device"},
        {"no terminal", [](FakeDeviceTree& t, PtyPair&, int&) { t.node("ttyUSB0"); }, false,
         "not a serial port"},
        {"a directory",
         [](FakeDeviceTree& t, PtyPair&, int&) { ::mkdir(t.dev("ttyUSB0").c_str(), 0755); }, false,
         "could not be opened: Is a directory"},
        {"not the user's",
         [](FakeDeviceTree& t, PtyPair& pty, int&) {
             t.link("ttyUSB0", pty.slavePath());
             ::chmod(pty.slavePath().c_str(), 0);
         },
         true, kDenied},
        {"held exclusively",
         [](FakeDeviceTree& t, PtyPair& pty, int& holder) {
             t.link("ttyUSB0", pty.slavePath());
             ::chmod(pty.slavePath().c_str(), 0666);
             holder = ::open(pty.slavePath().c_str(), O_RDWR | O_NOCTTY);
             ::ioctl(holder, TIOCEXCL);
         },
         true, "in use by another program"},
        {"flock held",
         [](FakeDeviceTree& t, PtyPair& pty, int& holder) {
             t.link("ttyUSB0", pty.slavePath());
             holder = ::open(pty.slavePath().c_str(), O_RDWR | O_NOCTTY);
             ::flock(holder, LOCK_EX);
         },
         false, "in use by another program"},
        {"live lock file",
         [](FakeDeviceTree& t, PtyPair& pty, int&) {
             t.link("ttyUSB0", pty.slavePath());
             t.lockFile("ttyUSB0", "      " + std::to_string(::getpid()) + "\n");
         },
         false,
         "in use by another program (process " + std::to_string(::getpid()) + " holds its lock)"},
        {"stale lock file",
         [](FakeDeviceTree& t, PtyPair& pty, int&) {
             t.link("ttyUSB0", pty.slavePath());
             t.lockFile("ttyUSB0", "4194303\n");  // above the largest process number
         },
         false, "opened"},
    };
    for (const auto& c : cases) {
        TempWorkDir dir;
        ::chmod(dir.path().c_str(), 0755);
        FakeDeviceTree tree;
        PtyPair pty;
        ASSERT_TRUE(pty.ok());
        int holder = -1;
        c.setUp(tree, pty, holder);
        const std::string expected =
            c.reason.empty() ? "COM1: no device" : "COM1 " + tree.dev("ttyUSB0") + usb0 + c.reason;
        EXPECT_EQ(openAndDescribe(tree.root(), c.asOrdinaryUser), expected) << c.what;
        if (holder >= 0) {
            ::ioctl(holder, TIOCNXCL);
            ::close(holder);
        }
    }
}

}  // namespace
}  // namespace zamel
