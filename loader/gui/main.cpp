#include <QApplication>
#include <cstdio>
#include <string>
#include <vector>

#include "command_line.h"
#include "zamel_program.h"

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
    // Without a display Qt could not even start: the console runs the package.
    if (!zamel::displayAvailable()) return zamel::runZamelConsole(stdout);
    QApplication application(argc, argv);
    return zamel::runZamelWindow(line.codeFile);
}
