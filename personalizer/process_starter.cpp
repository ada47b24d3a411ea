#include "process_starter.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

extern char** environ;

namespace tagwright {

namespace {

// Closes a descriptor when it goes out of scope.
class Descriptor {
  public:
    explicit Descriptor(int fd = -1) : fd_(fd) {}
    ~Descriptor() { reset(); }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;

    int get() const { return fd_; }
    void reset() {
        if (fd_ >= 0) {
            ::close(fd_);
        }
        fd_ = -1;
    }

  private:
    int fd_;
};

// The attributes of the started program: a session of its own, so it outlives
// this process and its terminal, and no signals blocked.
class SpawnAttributes {
  public:
    SpawnAttributes() {
        ok_ = posix_spawnattr_init(&attr_) == 0;
        if (!ok_) {
            return;
        }
        sigset_t none;
        sigemptyset(&none);
        ok_ = posix_spawnattr_setsigmask(&attr_, &none) == 0 &&
              posix_spawnattr_setflags(&attr_, POSIX_SPAWN_SETSID | POSIX_SPAWN_SETSIGMASK) == 0;
    }
    ~SpawnAttributes() { posix_spawnattr_destroy(&attr_); }
    SpawnAttributes(const SpawnAttributes&) = delete;
    SpawnAttributes& operator=(const SpawnAttributes&) = delete;

    bool ok() const { return ok_; }
    const posix_spawnattr_t* get() const { return &attr_; }

  private:
    posix_spawnattr_t attr_{};
    bool ok_ = false;
};

StartResult resultOf(int errorNumber) {
    return StartResult{startErrorFromErrno(errorNumber), errorNumber};
}

// Reads the intermediate child's report: the posix_spawn result as an int.
bool readReport(int fd, int& report) {
    auto* bytes = reinterpret_cast<char*>(&report);
    std::size_t got = 0;
    while (got < sizeof report) {
        const ssize_t n = ::read(fd, bytes + got, sizeof report - got);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return false;
        }
        got += static_cast<std::size_t>(n);
    }
    return true;
}

void reap(pid_t child) {
    while (::waitpid(child, nullptr, 0) < 0 && errno == EINTR) {
    }
}

}  // namespace

StartError startErrorFromErrno(int errorNumber) {
    switch (errorNumber) {
        case 0:
            return StartError::None;
        case ENOENT:
        case ENOTDIR:
            return StartError::NotFound;
        case E2BIG:
            return StartError::ArgumentListTooLong;
        case ENOEXEC:
        case EACCES:
        case EISDIR:
            return StartError::NotExecutable;
        case ENOMEM:
            return StartError::NotEnoughMemory;
        case EINVAL:
            return StartError::InvalidMode;
        default:
            return StartError::Other;
    }
}

StartResult PosixProcessStarter::start(const std::string& program,
                                       const std::vector<std::string>& arguments) {
    // Everything the intermediate child touches is prepared here: after fork it
    // may only spawn, write its report and exit.
    std::vector<std::string> argvText;
    argvText.reserve(arguments.size() + 1);
    argvText.push_back(program);
    argvText.insert(argvText.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    argv.reserve(argvText.size() + 1);
    for (std::string& text : argvText) {
        argv.push_back(text.data());
    }
    argv.push_back(nullptr);

    SpawnAttributes attributes;
    if (!attributes.ok()) {
        return resultOf(EINVAL);
    }

    int pipeFds[2];
    if (::pipe2(pipeFds, O_CLOEXEC) != 0) {
        return resultOf(errno);
    }
    Descriptor readEnd(pipeFds[0]);
    Descriptor writeEnd(pipeFds[1]);

    const pid_t child = ::fork();
    if (child < 0) {
        return resultOf(errno);
    }
    if (child == 0) {
        pid_t started = 0;
        int report =
            ::posix_spawnp(&started, argv[0], nullptr, attributes.get(), argv.data(), environ);
        const ssize_t written = ::write(writeEnd.get(), &report, sizeof report);
        ::_exit(written == static_cast<ssize_t>(sizeof report) ? 0 : 1);
    }

    writeEnd.reset();
    int report = 0;
    const bool reported = readReport(readEnd.get(), report);
    reap(child);
    if (!reported) {
        return StartResult{StartError::Other, 0};
    }
    return resultOf(report);
}

}  // namespace tagwright
