// zamel without windows (the Windows build without Qt): the command line, then
// the console run of the upload package in the working directory.

#include <cstdio>
#include <string>
#include <vector>

#include "command_line.h"
#include "zamel_console.h"

int main(int argc, char** argv) {
    const zamel::CommandLine line =
        zamel::parseCommandLine(std::vector<std::string>(argv + 1, argv + argc));
    switch (line.action) {
        case zamel::CommandLine::Action::ShowHelp:
            std::fputs(zamel::commandLineHelp().c_str(), stdout);
            return 0;
        case zamel::CommandLine::Action::ShowVersion:
            std::fputs(zamel::versionText().c_str(), stdout);
            return 0;
        case zamel::CommandLine::Action::Refuse:
            std::fprintf(stderr, "zamel: %s\nTry 'zamel --help'.\n", line.error.c_str());
            return 2;
        case zamel::CommandLine::Action::Run:
            break;
    }
    return zamel::runZamelConsole(stdout);
}
