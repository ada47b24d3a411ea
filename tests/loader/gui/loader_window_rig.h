#pragma once

#include <unistd.h>

#include <string>

#include "fake_device_tree.h"
#include "loader_app.h"
#include "pty_pair.h"
#include "qt_ui.h"
#include "receiver_link.h"
#include "system_clock.h"

namespace zamel::testing {

// The loader's objects as the program makes them, in a fresh working directory
// whose COM1 to COM4 lead nowhere and with a device tree of no ports, so no
// dialog ever reaches a real port.
struct LoaderWindowRig {
    LoaderWindowRig() {
        for (int n = 1; n <= 4; ++n) {
            const std::string link = dir.file("COM" + std::to_string(n));
            if (::symlink("/nonexistent/port", link.c_str()) != 0) ADD_FAILURE() << link;
        }
        link.loadSettings();
        link.deviceRoot = devices.root();
    }

    TempWorkDir dir;
    FakeDeviceTree devices;
    SystemClock clock;
    QtUi ui;
    ReceiverLink link{ui, clock};
    LoaderApp app{link, ui, clock};
};

}  // namespace zamel::testing
