#include "tagwright_command_line.h"

namespace tagwright {

CommandLine parseCommandLine(const std::vector<std::string>& arguments) {
    CommandLine line;
    for (const std::string& argument : arguments) {
        if (argument == "--help" || argument == "-h") {
            line.action = CommandLine::Action::ShowHelp;
            return line;
        }
        if (argument == "--version") {
            line.action = CommandLine::Action::ShowVersion;
            return line;
        }
        line.action = CommandLine::Action::Refuse;
        line.error = argument.rfind('-', 0) == 0 ? "unknown option '" + argument + "'"
                                                 : "no file argument is taken: '" + argument +
                                                       "'; choose the firmware in the window";
        return line;
    }
    return line;
}

std::string versionText() { return "Tagwright 0.05b Alpha (zamel-tagwright 1.14)\n"; }

std::string commandLineHelp() {
    return R"(Usage: Tagwright
       Tagwright --help | --version
Writes your own start-up warning (menu title, disclaimer, acknowledgement line)
into a Corvath receiver's factory firmware image in S-record text, then offers
to start zamel to upload the personalized firmware.

  -h, --help  show this text
  --version   show the version

Tagwright works in the current directory: Tagwright.ini (created with defaults
when missing), the factory firmware files and the personalized firmware are
there. The manual page Tagwright(1) says more.
)";
}

}  // namespace tagwright
