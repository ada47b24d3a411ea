#pragma once

#include <memory>
#include <string>
#include <vector>

namespace zamel::sim::testing {

// The receiver-sim program run as a child, its standard output read for the
// "ready" line and its standard error kept in a file, passed on to ours when the
// object goes. Stopped with SIGTERM when destroyed.
//
// A Windows test under Wine runs the program of the machine it runs on, and the
// simulator's COMn link goes where the Wine prefix's COMn leads, whatever
// directory the arguments name; its standard error goes straight to ours.
class SimProcess {
  public:
    SimProcess();
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
    bool running() const;
    // What the program has written to its standard error so far.
    std::string errorOutput() const;

  private:
    // The platform's hold on the running program.
    struct Child;
    std::unique_ptr<Child> child_;
    std::string readyLine_;
};

}  // namespace zamel::sim::testing
