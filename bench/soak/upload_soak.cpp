// The upload soak: for each seed a receiver, an image shape and a fault plan are
// drawn, the loader's own commands upload the images to receiver-sim on a
// pseudo-terminal, and one invariant is checked: an upload reported complete left
// exactly its images in the unit's flash; every other outcome reached the user as a
// message; nothing hangs. Each run happens in a child process of its own, in a
// fresh working directory, with its own receiver, and is killed when it overruns
// its bound. Prints each failing seed with the command that replays it, and last
//   N uploads: C complete and exact, F refused or failed with a message,
//   S false successes, H hangs
//
//   upload_soak                  the fixed sample (seeds 1 to kSampleSeeds)
//   upload_soak --seeds N        seeds 1 to N
//   upload_soak --seed S         one seed
//   --from S                     the first seed of --seeds (default 1)
//   --jobs J                     runs at once (default 4; the runs mostly wait on the line)
//   --verbose                    the plan, every dialog and message; the files are kept
// A run with early answers or a receiver stopped mid-transfer depends on timing as
// well as on its seed: its replay may go the other way, so run it a few times.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "invariant.h"
#include "soak_plan.h"
#include "soak_run.h"

namespace {

using namespace zamel::soak;
using SteadyClock = std::chrono::steady_clock;

constexpr std::uint32_t kSampleSeeds = 60;
constexpr int kDefaultJobs = 4;
constexpr const char* kErrorFile = "stderr.txt";
constexpr std::size_t kErrorTailBytes = 2000;

struct Options {
    std::uint32_t first = 1;
    std::uint32_t count = kSampleSeeds;
    int jobs = kDefaultJobs;
    bool verbose = false;
};

bool parseNumber(const char* text, std::uint32_t& value) {
    char* end = nullptr;
    const unsigned long parsed = std::strtoul(text, &end, 10);
    if (end == text || *end != '\0' || parsed > 0xFFFFFFFFul) return false;
    value = static_cast<std::uint32_t>(parsed);
    return true;
}

bool parseOptions(int argc, char** argv, Options& options) {
    for (int i = 1; i < argc; ++i) {
        const std::string name = argv[i];
        std::uint32_t value = 0;
        if (name == "--verbose") {
            options.verbose = true;
            continue;
        }
        if (i + 1 >= argc || !parseNumber(argv[i + 1], value)) return false;
        ++i;
        if (name == "--seeds" && value > 0) {
            options.count = value;
        } else if (name == "--seed") {
            options.first = value;
            options.count = 1;
        } else if (name == "--from") {
            options.first = value;
        } else if (name == "--jobs" && value > 0) {
            options.jobs = static_cast<int>(value);
        } else {
            return false;
        }
    }
    if (options.verbose) options.jobs = 1;
    return true;
}

// The child's side: one seed, its verdict written to the pipe as "outcome\tdetail".
[[noreturn]] void runSeed(std::uint32_t seed, const std::string& dir, int resultFd, bool verbose,
                          pid_t soak) {
    ::setpgid(0, 0);
    // When the soak itself is stopped, the run goes with its receiver: the whole group.
    ::signal(SIGTERM, [](int) { ::kill(0, SIGKILL); });
    ::prctl(PR_SET_PDEATHSIG, SIGTERM);
    if (::getppid() != soak) ::kill(0, SIGKILL);
    if (::chdir(dir.c_str()) != 0) ::_exit(2);
    if (!verbose) {
        // Quiet, but what the run says on standard error (a sanitizer's report,
        // the receiver's protocol errors) is kept for a run that breaks.
        const int quiet = ::open("/dev/null", O_WRONLY);
        const int errors = ::open(kErrorFile, O_WRONLY | O_CREAT | O_TRUNC, 0644);
        ::dup2(quiet, STDOUT_FILENO);
        ::dup2(errors, STDERR_FILENO);
        ::close(quiet);
        ::close(errors);
    }
    const SoakPlan plan = drawPlan(seed);
    std::printf("%s", plan.describe().c_str());
    std::fflush(stdout);
    const Verdict verdict = judgeRun(plan, runPlan(plan, verbose ? stdout : nullptr));
    const std::string line =
        std::to_string(static_cast<int>(verdict.outcome)) + "\t" + verdict.detail + "\n";
    if (::write(resultFd, line.data(), line.size()) < 0) ::_exit(2);
    std::fflush(nullptr);
    ::_exit(0);
}

struct Running {
    std::uint32_t seed;
    std::string dir;
    int resultFd;
    SteadyClock::time_point deadline;
    std::string result;
};

Verdict verdictOf(const Running& run, int status) {
    const auto tab = run.result.find('\t');
    if (tab != std::string::npos && WIFEXITED(status) && WEXITSTATUS(status) == 0) {
        std::string detail = run.result.substr(tab + 1);
        if (!detail.empty() && detail.back() == '\n') detail.pop_back();
        return {static_cast<Outcome>(std::atoi(run.result.c_str())), detail};
    }
    char text[64];
    std::snprintf(text, sizeof text, "the run ended %s %d",
                  WIFSIGNALED(status) ? "by signal" : "with status",
                  WIFSIGNALED(status) ? WTERMSIG(status) : WEXITSTATUS(status));
    return {Outcome::Broken, text};
}

class Soak {
  public:
    Soak(Options options, std::string program) : options_(options), program_(std::move(program)) {}

    int run() {
        const auto started = SteadyClock::now();
        std::uint32_t next = options_.first;
        const std::uint32_t end = options_.first + options_.count;
        while (next != end || !running_.empty()) {
            while (next != end && static_cast<int>(running_.size()) < options_.jobs) start(next++);
            waitForAny();
        }
        const double seconds = std::chrono::duration<double>(SteadyClock::now() - started).count();
        std::printf("ran %u seeds from %u in %.0f s, %d at a time\n", options_.count,
                    options_.first, seconds, options_.jobs);
        if (counts_[Outcome::Silent] + counts_[Outcome::Broken] > 0)
            std::printf("%u ended without a word to the user, %u runs broke\n",
                        counts_[Outcome::Silent], counts_[Outcome::Broken]);
        std::printf(
            "%u uploads: %u complete and exact, %u refused or failed with a message, "
            "%u false successes, %u hangs\n",
            options_.count, counts_[Outcome::CompleteAndExact], counts_[Outcome::FailedWithMessage],
            counts_[Outcome::FalseSuccess], counts_[Outcome::Hang]);
        return counts_[Outcome::CompleteAndExact] + counts_[Outcome::FailedWithMessage] ==
                       options_.count
                   ? 0
                   : 1;
    }

  private:
    void start(std::uint32_t seed) {
        char dir[] = "/tmp/zamel-soak-XXXXXX";
        int fds[2];
        // Not blocking: a later run inherits the writing end, so the reader never
        // sees the end of the pipe; the verdict is all there once the run has ended.
        if (::mkdtemp(dir) == nullptr || ::pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0) {
            finish({seed, dir, -1, {}, {}}, {Outcome::Broken, "no directory or pipe for the run"});
            return;
        }
        std::fflush(nullptr);
        const pid_t soak = ::getpid();
        const pid_t pid = ::fork();
        if (pid == 0) {
            ::close(fds[0]);
            runSeed(seed, dir, fds[1], options_.verbose, soak);
        }
        ::close(fds[1]);
        if (pid < 0) {
            ::close(fds[0]);
            finish({seed, dir, -1, {}, {}}, {Outcome::Broken, "cannot start the run"});
            return;
        }
        ::setpgid(pid, pid);
        const int bound = drawPlan(seed).boundSeconds();
        running_[pid] = {seed, dir, fds[0], SteadyClock::now() + std::chrono::seconds(bound), {}};
    }

    void waitForAny() {
        std::vector<pollfd> fds;
        for (const auto& [pid, run] : running_) fds.push_back({run.resultFd, POLLIN, 0});
        ::poll(fds.data(), fds.size(), 100);
        for (auto it = running_.begin(); it != running_.end();) {
            int status = 0;
            const pid_t pid = it->first;
            Running& run = it->second;
            // Seen ended but not yet reaped, so its process group cannot be reused:
            // a run that crashed leaves its receiver behind, which goes with the group.
            siginfo_t ended{};
            ::waitid(P_PID, static_cast<id_t>(pid), &ended, WEXITED | WNOHANG | WNOWAIT);
            if (ended.si_pid == pid) {
                ::kill(-pid, SIGKILL);
                ::waitpid(pid, &status, 0);
                drain(run);
                finish(run, verdictOf(run, status));
            } else if (SteadyClock::now() > run.deadline) {
                // The run's whole process group: the loader and its receiver.
                ::kill(-pid, SIGKILL);
                ::waitpid(pid, &status, 0);
                finish(run, {Outcome::Hang, "still running after its bound; killed"});
            } else {
                ++it;
                continue;
            }
            it = running_.erase(it);
        }
    }

    static void drain(Running& run) {
        char buffer[512];
        ssize_t got = 0;
        while ((got = ::read(run.resultFd, buffer, sizeof buffer)) > 0)
            run.result.append(buffer, static_cast<std::size_t>(got));
    }

    void finish(const Running& run, const Verdict& verdict) {
        if (run.resultFd >= 0) ::close(run.resultFd);
        ++counts_[verdict.outcome];
        const bool clean = verdict.outcome == Outcome::CompleteAndExact ||
                           verdict.outcome == Outcome::FailedWithMessage;
        if (verdict.outcome == Outcome::Broken && !options_.verbose) printErrorTail(run.dir);
        if (options_.verbose) {
            std::printf("outcome: %s%s%s\nfiles kept in %s\n", outcomeName(verdict.outcome),
                        verdict.detail.empty() ? "" : ": ", verdict.detail.c_str(),
                        run.dir.c_str());
        } else if (clean) {
            std::error_code ignored;
            std::filesystem::remove_all(run.dir, ignored);
        } else {
            // The plan without its seed and receiver command line, which the replay
            // shows; the run's files stay for a failure that a replay may not repeat.
            std::string plan = drawPlan(run.seed).describe();
            plan = "  " + plan.substr(plan.find(": ") + 2);
            plan = plan.substr(0, plan.rfind("  receiver-sim"));
            std::printf(
                "seed %u: %s: %s\n%s  files kept in %s (DEBUG.OUT, %s, flash dump)\n"
                "  replay: %s --seed %u --verbose\n",
                run.seed, outcomeName(verdict.outcome), verdict.detail.c_str(), plan.c_str(),
                run.dir.c_str(), kErrorFile, program_.c_str(), run.seed);
        }
        std::fflush(stdout);
    }

    static void printErrorTail(const std::string& dir) {
        std::FILE* file = std::fopen((dir + "/" + kErrorFile).c_str(), "rb");
        if (file == nullptr) return;
        std::fseek(file, 0, SEEK_END);
        const long size = std::ftell(file);
        std::fseek(file,
                   size > static_cast<long>(kErrorTailBytes)
                       ? size - static_cast<long>(kErrorTailBytes)
                       : 0,
                   SEEK_SET);
        char buffer[kErrorTailBytes + 1];
        const std::size_t got = std::fread(buffer, 1, kErrorTailBytes, file);
        std::fclose(file);
        buffer[got] = '\0';
        std::printf("---- the run's standard error, its end:\n%s\n----\n", buffer);
    }

    Options options_;
    std::string program_;
    std::map<pid_t, Running> running_;
    std::map<Outcome, std::uint32_t> counts_;
};

}  // namespace

int main(int argc, char** argv) {
    Options options;
    if (!parseOptions(argc, argv, options)) {
        std::fprintf(stderr, "usage: %s [--seeds N [--from S] | --seed S] [--jobs J] [--verbose]\n",
                     argv[0]);
        return 2;
    }
    return Soak(options, argv[0]).run();
}
