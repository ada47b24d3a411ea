#include <signal.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstring>
#include <fstream>

#include "port_open_outcome.h"

// How a port open fails on POSIX: errno, and the lock files of older terminal
// programs.

namespace zamel {
namespace {

constexpr std::size_t kLockFileLimit = 64;

bool processAlive(long pid) {
    if (pid <= 0 || pid == static_cast<long>(::getpid())) return false;
    // EPERM: it lives, under another user.
    return ::kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM;
}

long lockFilePid(const std::string& content) {
    std::size_t i = 0;
    while (i < content.size() && std::isspace(static_cast<unsigned char>(content[i]))) ++i;
    if (i < content.size() && std::isdigit(static_cast<unsigned char>(content[i]))) {
        long pid = 0;
        for (; i < content.size() && std::isdigit(static_cast<unsigned char>(content[i])); ++i) {
            if (pid > 100'000'000) return 0;
            pid = pid * 10 + (content[i] - '0');
        }
        return pid;
    }
    if (content.size() == sizeof(int)) {
        int pid = 0;
        std::memcpy(&pid, content.data(), sizeof pid);
        return pid;
    }
    return 0;
}

}  // namespace

PortOpenFailure classifyOpenError(int error) {
    switch (error) {
        case 0:
            return PortOpenFailure::None;
        case ENOENT:
        case ENODEV:
        case ENXIO:
        case ENOTDIR:
            return PortOpenFailure::NoDevice;
        case EACCES:
        case EPERM:
            return PortOpenFailure::PermissionDenied;
        case EBUSY:
        case EWOULDBLOCK:
            return PortOpenFailure::InUse;
        case ENOTTY:
            return PortOpenFailure::NotATerminal;
        default:
            return PortOpenFailure::Other;
    }
}

std::string platformErrorText(int error) { return std::strerror(error); }

long lockFileHolder(const std::string& root, const std::string& deviceName) {
    if (deviceName.empty()) return 0;
    std::ifstream file(root + "/var/lock/LCK.." + deviceName, std::ios::binary);
    if (!file) return 0;
    char buffer[kLockFileLimit];
    file.read(buffer, sizeof buffer);
    const std::string content(buffer, static_cast<std::size_t>(file.gcount()));
    const long pid = lockFilePid(content);
    return processAlive(pid) ? pid : 0;
}

}  // namespace zamel
