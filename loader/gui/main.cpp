#include <QApplication>
#include <cstdio>

#include "zamel_program.h"

int main(int argc, char** argv) {
    // Without a display Qt could not even start: the console runs the package.
    if (!zamel::displayAvailable()) return zamel::runZamelConsole(stdout);
    QApplication application(argc, argv);
    return zamel::runZamelWindow();
}
