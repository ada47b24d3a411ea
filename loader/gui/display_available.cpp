#include <X11/Xlib.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "zamel_program.h"

namespace zamel {

namespace {

const char* valueOf(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr && *value != '\0' ? value : nullptr;
}

// An X server answers at DISPLAY.
bool x11Reachable() {
    if (valueOf("DISPLAY") == nullptr) return false;
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr) return false;
    XCloseDisplay(display);
    return true;
}

// A Wayland compositor listens on its socket: WAYLAND_DISPLAY, a path or a name
// in XDG_RUNTIME_DIR.
bool waylandReachable() {
    const char* name = valueOf("WAYLAND_DISPLAY");
    if (name == nullptr) return false;
    std::string path = name;
    if (path.front() != '/') {
        const char* runtime = valueOf("XDG_RUNTIME_DIR");
        if (runtime == nullptr) return false;
        path = std::string(runtime) + "/" + path;
    }
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (path.size() >= sizeof address.sun_path) return false;
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return false;
    const bool reached =
        ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
    ::close(fd);
    return reached;
}

}  // namespace

// Qt ends the program when the display it is given cannot be reached, so the
// display is tried first. A platform of Qt's own choosing that needs no display
// (offscreen, minimal) is taken as it is.
bool displayAvailable() {
    if (const char* platform = valueOf("QT_QPA_PLATFORM")) {
        const std::string_view chosen(platform);
        if (!chosen.starts_with("xcb") && !chosen.starts_with("wayland")) return true;
    }
    return x11Reachable() || waylandReachable();
}

}  // namespace zamel
