#include <QApplication>
#include <QFile>
#include <cstdio>
#include <string>
#include <vector>

#include "display_probe.h"
#include "tagwright_command_line.h"
#include "tagwright_program.h"

int main(int argc, char** argv) {
    const tagwright::CommandLine line =
        tagwright::parseCommandLine(std::vector<std::string>(argv + 1, argv + argc));
    switch (line.action) {
        case tagwright::CommandLine::Action::ShowHelp:
            std::fputs(tagwright::commandLineHelp().c_str(), stdout);
            return 0;
        case tagwright::CommandLine::Action::ShowVersion:
            std::fputs(tagwright::versionText().c_str(), stdout);
            return 0;
        case tagwright::CommandLine::Action::Refuse:
            std::fprintf(stderr, "Tagwright: %s\nTry 'Tagwright --help'.\n", line.error.c_str());
            return 2;
        case tagwright::CommandLine::Action::Run:
            break;
    }
    // Tagwright is a window and nothing else: without a display it says so.
    if (!tagwright::displayAvailable()) {
        std::fprintf(stderr,
                     "Tagwright needs a display: no X server or Wayland compositor answers here "
                     "(DISPLAY, WAYLAND_DISPLAY). Start it from your desktop session.\n");
        return 1;
    }
    QApplication application(argc, argv);
    return tagwright::runTagwright(
        QFile::encodeName(QCoreApplication::applicationDirPath()).toStdString());
}
