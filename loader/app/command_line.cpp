#include "command_line.h"

#include <utility>

#include "file_system.h"

namespace zamel {
namespace {

// The code file's field holds 255 characters; a longer path would be cut to
// another file's name.
constexpr std::size_t kPathLimit = 255;

CommandLine refuse(std::string error) {
    CommandLine refused;
    refused.action = CommandLine::Action::Refuse;
    refused.error = std::move(error);
    return refused;
}

}  // namespace

CommandLine parseCommandLine(const std::vector<std::string>& arguments) {
    CommandLine line;
    bool optionsEnded = false;
    for (const std::string& argument : arguments) {
        if (!optionsEnded && argument == "--") {
            optionsEnded = true;
        } else if (!optionsEnded && (argument == "--help" || argument == "-h")) {
            return {CommandLine::Action::ShowHelp, {}, {}};
        } else if (!optionsEnded && argument == "--version") {
            return {CommandLine::Action::ShowVersion, {}, {}};
        } else if (!optionsEnded && argument.size() > 1 && argument[0] == '-') {
            return refuse("unknown option '" + argument + "'");
        } else if (!line.codeFile.empty()) {
            return refuse("one FILE only, not '" + line.codeFile + "' and '" + argument + "'");
        } else if (argument.empty() || argument.size() > kPathLimit) {
            return refuse("'" + argument + "': a path of 1 to 255 characters is needed");
        } else if (const std::string why = unreadableReason(argument); !why.empty()) {
            return refuse("cannot read '" + argument + "': " + why);
        } else {
            line.codeFile = argument;
        }
    }
    return line;
}

std::string versionText() { return "zamel 1.14\n"; }

std::string commandLineHelp() {
    return R"(Usage: zamel [FILE]
       zamel --help | --version
Writes firmware, point-of-interest databases and maps into the flash of a
Corvath hand-held receiver on a serial port.

  FILE        select FILE as the code file, as "File > Select Code File..."
              does ("--" before it when its name begins with "-")
  -h, --help  show this text
  --version   show the version

zamel works in the current directory: zamel.cfg (the expert setup), zamel.ini
(an upload package, run at once) and DEBUG.OUT (the log of the last transfer)
are there. COM1 to COM4 are COMn links there, else the serial ports present,
USB adapters first. Without a display zamel runs the package on the console
and its exit status says how the run ended (0 complete, 1 failed, 2 refused,
3 no receiver, 4 no package, 130 stopped). The manual page zamel(1) says more.
)";
}

}  // namespace zamel
