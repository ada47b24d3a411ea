#pragma once

#include <string>
#include <vector>

namespace tagwright {

// What Tagwright's command line asks for: nothing (the window), "--help" or
// "--version". Anything else is refused with the reason in error.
struct CommandLine {
    enum class Action { Run, ShowHelp, ShowVersion, Refuse };
    Action action = Action::Run;
    std::string error;
};

// The arguments after the program's name.
CommandLine parseCommandLine(const std::vector<std::string>& arguments);

std::string commandLineHelp();
std::string versionText();

}  // namespace tagwright
