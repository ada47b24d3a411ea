#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "hand_off.h"
#include "process_starter.h"

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
    return StartResult{startErrorFromErrno(errorNumber), errorNumber, std::nullopt};
}

// Reads one report of the intermediate child, an int: the posix_spawn result,
// then, when the program is watched, how it ended.
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

// What the intermediate child reports when the watched program still runs.
constexpr int kStillRunning = -1;
constexpr long kWatchStepNs = 10'000'000;

long long monotonicNs() {
    timespec now{};
    ::clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<long long>(now.tv_sec) * 1'000'000'000 + now.tv_nsec;
}

// In the intermediate child: only async-signal-safe calls. The program's exit
// status, or kStillRunning once the watch is over.
int watchProgram(pid_t program, long long watchNs) {
    const long long deadline = monotonicNs() + watchNs;
    for (;;) {
        int status = 0;
        const pid_t ended = ::waitpid(program, &status, WNOHANG);
        if (ended == program) {
            return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        }
        if (ended < 0 && errno != EINTR) {
            return kStillRunning;
        }
        if (monotonicNs() >= deadline) {
            return kStillRunning;
        }
        const timespec step{0, kWatchStepNs};
        ::nanosleep(&step, nullptr);
    }
}

void reap(pid_t child) {
    while (::waitpid(child, nullptr, 0) < 0 && errno == EINTR) {
    }
}

}  // namespace

// The desktop's opener for the read-me, and the loader as the build names it.
const char* const HandOff::kViewer = "xdg-open";
const char* const HandOff::kLoaderName = "zamel";

std::string systemErrorText(int systemError) { return std::strerror(systemError); }

std::unique_ptr<ProcessStarter> systemProcessStarter() {
    return std::make_unique<PosixProcessStarter>();
}

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
                                       const std::vector<std::string>& arguments,
                                       std::chrono::milliseconds watch) {
    const long long watchNs = std::chrono::nanoseconds(watch).count();
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
        ssize_t written = ::write(writeEnd.get(), &report, sizeof report);
        if (report == 0 && watchNs > 0 && written == static_cast<ssize_t>(sizeof report)) {
            const int ending = watchProgram(started, watchNs);
            written = ::write(writeEnd.get(), &ending, sizeof ending);
        }
        ::_exit(written == static_cast<ssize_t>(sizeof report) ? 0 : 1);
    }

    writeEnd.reset();
    int report = 0;
    const bool reported = readReport(readEnd.get(), report);
    int ending = kStillRunning;
    // Without a second report the program's end was not seen.
    const bool ended = reported && report == 0 && watchNs > 0 &&
                       readReport(readEnd.get(), ending) && ending != kStillRunning;
    reap(child);
    if (!reported) {
        return StartResult{StartError::Other, 0, std::nullopt};
    }
    StartResult result = resultOf(report);
    if (ended) {
        result.exitStatus = ending;
    }
    return result;
}

}  // namespace tagwright
