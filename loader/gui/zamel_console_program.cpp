#include "console_ui.h"
#include "loader_app.h"
#include "receiver_link.h"
#include "system_clock.h"
#include "zamel_program.h"

namespace zamel {

int runZamelConsole(std::FILE* out) {
    SystemClock clock;
    ConsoleUi ui(out, clock, ConsoleUi::Options{});
    ReceiverLink link(ui, clock);
    link.loadSettings();
    LoaderApp app(link, ui, clock);
    app.readPackage();
    if (app.packageMissing) {
        std::fprintf(out,
                     "zamel: no display and no upload package (%s) here: without a window there "
                     "is nothing to do.\n",
                     LoaderApp::kPackageFile);
        return 0;
    }
    std::fprintf(out,
                 "zamel: no display: running the automatic upload of %s on the console "
                 "(every question answered positively; Ctrl+C stops).\n",
                 LoaderApp::kPackageFile);
    std::fflush(out);
    app.start();
    link.close();
    std::fprintf(out, "zamel: automatic upload finished.\n");
    return 0;
}

}  // namespace zamel
