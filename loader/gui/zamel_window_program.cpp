#include <QApplication>
#include <QIcon>
#include <cstdio>

#include "loader_app.h"
#include "main_frame.h"
#include "qt_ui.h"
#include "receiver_link.h"
#include "system_clock.h"
#include "zamel_program.h"

// The pictures live in a static library: naming the resource here keeps the
// linker from dropping them. Q_INIT_RESOURCE must be used outside a namespace.
static void initZamelResources() { Q_INIT_RESOURCE(zamel); }

namespace zamel {

int runZamelWindow(const std::string& codeFile) {
    initZamelResources();
    QApplication::setApplicationName(QStringLiteral("zamel"));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/zamel/zamel_emblem.xpm")));

    SystemClock clock;
    QtUi ui;
    ReceiverLink link(ui, clock);
    link.loadSettings();
    // The command line checked that the path fits the field.
    if (!codeFile.empty())
        std::snprintf(link.codePath, sizeof link.codePath, "%s", codeFile.c_str());
    LoaderApp app(link, ui, clock);
    CMainFrame frame(app, ui);
    frame.showAndStart();
    const int status = QApplication::exec();
    link.close();
    return status;
}

}  // namespace zamel
