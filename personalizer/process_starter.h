#pragma once

#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace tagwright {

// Why a program could not be started; the read-me viewer and the loader
// hand-off turn each reason into its own message.
enum class StartError {
    None,
    NotFound,
    ArgumentListTooLong,
    NotExecutable,
    NotEnoughMemory,
    InvalidMode,
    Other,
};

struct StartResult {
    StartError error = StartError::None;
    int systemError = 0;  // the system error (errno, Windows error code) behind error, 0 on success
    // How a started program ended while it was watched: its exit status, or 128
    // and the signal that killed it; none when it ran on or was not watched.
    std::optional<int> exitStatus;

    bool started() const { return error == StartError::None; }
    // Started, and not seen to end in failure.
    bool running() const { return started() && (!exitStatus || *exitStatus == 0); }
};

// Maps an errno from starting a program to the reasons above.
StartError startErrorFromErrno(int errorNumber);
// The platform's own words for the system error behind a failed start.
std::string systemErrorText(int systemError);

// Starts a program without waiting for it to finish. A program name without a
// slash is looked up on the search path; arguments follow the program's own name.
// A watch of more than zero waits that long at most to see whether the program
// ends at once, as a launcher that finds nothing to launch does.
class ProcessStarter {
  public:
    virtual ~ProcessStarter() = default;

    virtual StartResult start(const std::string& program, const std::vector<std::string>& arguments,
                              std::chrono::milliseconds watch) = 0;
    StartResult start(const std::string& program, const std::vector<std::string>& arguments) {
        return start(program, arguments, std::chrono::milliseconds(0));
    }
};

// posix_spawn through a short-lived intermediate child, which also does the
// watching: the started program is handed to init once that child ends, so it
// never lingers as a zombie of this process.
class PosixProcessStarter final : public ProcessStarter {
  public:
    using ProcessStarter::start;
    StartResult start(const std::string& program, const std::vector<std::string>& arguments,
                      std::chrono::milliseconds watch) override;
};

// CreateProcess; the watch waits on the process itself. The started program
// runs on by itself once its handles are closed.
class Win32ProcessStarter final : public ProcessStarter {
  public:
    using ProcessStarter::start;
    StartResult start(const std::string& program, const std::vector<std::string>& arguments,
                      std::chrono::milliseconds watch) override;
};

// The starter of the platform the program was built for.
std::unique_ptr<ProcessStarter> systemProcessStarter();

}  // namespace tagwright
