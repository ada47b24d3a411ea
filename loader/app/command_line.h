#pragma once

#include <string>
#include <vector>

namespace zamel {

// What zamel's command line asks for: "zamel [FILE]", "--help", "--version".
struct CommandLine {
    enum class Action { Run, ShowHelp, ShowVersion, Refuse };
    Action action = Action::Run;
    // FILE: selected as the code file, as "Select Code File..." selects one; empty: none.
    std::string codeFile;
    // Why the command line is refused.
    std::string error;
};

// The arguments after the program's name. FILE must be a readable file whose
// path fits the code file's field (255 characters); "--" ends the options, so a
// file may begin with "-".
CommandLine parseCommandLine(const std::vector<std::string>& arguments);

std::string commandLineHelp();
std::string versionText();

}  // namespace zamel
