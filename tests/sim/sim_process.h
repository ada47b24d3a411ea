#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace zamel::sim::testing {

// The receiver-sim program run as a child, its standard output read for the
// "ready" line and its standard error kept in a file, passed on to ours when the
// object goes. Stopped with SIGTERM when destroyed.
class SimProcess {
  public:
    SimProcess() = default;
    ~SimProcess();
    SimProcess(const SimProcess&) = delete;
    SimProcess& operator=(const SimProcess&) = delete;

    // Starts the program with the arguments and waits (bounded) for its ready line.
    bool start(const std::vector<std::string>& arguments, int readyTimeoutMs = 5000);
    const std::string& readyLine() const { return readyLine_; }
    // Sends a signal without waiting (SIGSTOP: a receiver that falls silent).
    bool signal(int number);
    // Sends a signal and waits (bounded) for the exit; returns the exit status, or -1.
    int stop(int signal, int timeoutMs = 5000);
    // Waits (bounded) for the program to end by itself; returns its status, or -1.
    int waitExit(int timeoutMs);
    bool running() const { return pid_ > 0; }
    // What the program has written to its standard error so far.
    std::string errorOutput() const;

  private:
    pid_t pid_ = -1;
    int stdoutFd_ = -1;
    std::string readyLine_;
    std::string errorPath_;
};

}  // namespace zamel::sim::testing
