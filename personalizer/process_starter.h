#pragma once

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
    int systemError = 0;  // the errno behind error, 0 on success

    bool started() const { return error == StartError::None; }
};

// Maps an errno from starting a program to the reasons above.
StartError startErrorFromErrno(int errorNumber);

// Starts a program without waiting for it. A program name without a slash is
// looked up on the search path; arguments follow the program's own name.
class ProcessStarter {
  public:
    virtual ~ProcessStarter() = default;

    virtual StartResult start(const std::string& program,
                              const std::vector<std::string>& arguments) = 0;
};

// posix_spawn through a short-lived intermediate child: the started program is
// handed to init at once, so it never lingers as a zombie of this process.
class PosixProcessStarter final : public ProcessStarter {
  public:
    StartResult start(const std::string& program,
                      const std::vector<std::string>& arguments) override;
};

}  // namespace tagwright
