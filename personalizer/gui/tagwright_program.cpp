#include "tagwright_program.h"

#include <QApplication>
#include <QIcon>
#include <memory>
#include <thread>

#include "personalizer_app.h"
#include "personalizer_startup.h"
#include "process_starter.h"
#include "qt_personalizer_ui.h"
#include "qt_personalizer_window.h"

// The pictures live in a static library: naming the resource here keeps the
// linker from dropping them. Q_INIT_RESOURCE must be used outside a namespace.
static void initTagwrightResources() { Q_INIT_RESOURCE(tagwright); }

namespace tagwright {

int runTagwright(const std::string& programDir) {
    initTagwrightResources();
    QApplication::setApplicationName(QString::fromLatin1(kProgramName));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/tagwright/tagwright_emblem.xpm")));

    QtPersonalizerUi ui;
    const std::unique_ptr<ProcessStarter> starter = systemProcessStarter();
    QtPersonalizerWindow window;
    PersonalizerApp app(ui);
    const StartupOutcome outcome = runPersonalizer(
        app,
        StartupPorts{ui, *starter, window,
                     [](std::chrono::milliseconds pause) { std::this_thread::sleep_for(pause); },
                     programDir});
    return outcome == StartupOutcome::WindowClosed ? 0 : 1;
}

}  // namespace tagwright
