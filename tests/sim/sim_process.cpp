#include "sim_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <iterator>

namespace zamel::sim::testing {

namespace {

using Clock = std::chrono::steady_clock;

int remainingMs(Clock::time_point deadline) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left > 0 ? static_cast<int>(left) : 0;
}

}  // namespace

struct SimProcess::Child {
    pid_t pid = -1;
    int stdoutFd = -1;
    std::string errorPath;
};

SimProcess::SimProcess() : child_(std::make_unique<Child>()) {}

SimProcess::~SimProcess() {
    if (child_->pid > 0 && stop(SIGTERM) < 0) {
        ::kill(child_->pid, SIGKILL);
        ::waitpid(child_->pid, nullptr, 0);
    }
    if (child_->stdoutFd >= 0) ::close(child_->stdoutFd);
    if (!child_->errorPath.empty()) {
        std::fputs(errorOutput().c_str(), stderr);
        ::unlink(child_->errorPath.c_str());
    }
}

bool SimProcess::running() const { return child_->pid > 0; }

std::string SimProcess::errorOutput() const {
    std::ifstream in(child_->errorPath);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

bool SimProcess::start(const std::vector<std::string>& arguments, int readyTimeoutMs) {
    int pipeFds[2];
    if (::pipe2(pipeFds, O_CLOEXEC) != 0) return false;
    char errorPath[] = "/tmp/receiver-sim-stderr-XXXXXX";
    const int errorFd = ::mkostemp(errorPath, O_CLOEXEC);
    if (errorFd < 0) {
        ::close(pipeFds[0]);
        ::close(pipeFds[1]);
        return false;
    }
    child_->errorPath = errorPath;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, errorFd, STDERR_FILENO);
    std::vector<char*> argv;
    std::string program = RECEIVER_SIM_PATH;
    argv.push_back(program.data());
    std::vector<std::string> copies = arguments;
    for (auto& a : copies) argv.push_back(a.data());
    argv.push_back(nullptr);
    const int spawned =
        posix_spawn(&child_->pid, program.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(pipeFds[1]);
    ::close(errorFd);
    child_->stdoutFd = pipeFds[0];
    if (spawned != 0) {
        child_->pid = -1;
        return false;
    }
    const auto deadline = Clock::now() + std::chrono::milliseconds(readyTimeoutMs);
    std::string out;
    while (out.find('\n') == std::string::npos) {
        pollfd p{child_->stdoutFd, POLLIN, 0};
        if (::poll(&p, 1, remainingMs(deadline)) <= 0) return false;
        char buffer[256];
        const ssize_t got = ::read(child_->stdoutFd, buffer, sizeof buffer);
        if (got <= 0) return false;
        out.append(buffer, static_cast<std::size_t>(got));
    }
    readyLine_ = out.substr(0, out.find('\n'));
    return readyLine_.rfind("ready ", 0) == 0;
}

int SimProcess::waitExit(int timeoutMs) {
    pid_t& pid = child_->pid;
    if (pid <= 0) return -1;
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while (true) {
        int status = 0;
        const pid_t done = ::waitpid(pid, &status, WNOHANG);
        if (done == pid) {
            pid = -1;
            return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        }
        if (remainingMs(deadline) == 0) return -1;
        // Child exit raises no event we can poll here; look again shortly.
        pollfd none{-1, 0, 0};
        ::poll(&none, 0, 10);
    }
}

bool SimProcess::signal(int number) { return child_->pid > 0 && ::kill(child_->pid, number) == 0; }

int SimProcess::stop(int signal, int timeoutMs) {
    if (child_->pid <= 0) return -1;
    ::kill(child_->pid, signal);
    return waitExit(timeoutMs);
}

}  // namespace zamel::sim::testing
