#include "x11_lock_lights.h"

#include <QGuiApplication>

// Last, and alone in this file: X11 defines macros (None, Bool, KeyPress, ...)
// that clash with Qt's names.
#include <X11/XKBlib.h>

namespace zamel {

namespace {
// The keyboard's names for its lock lights.
constexpr std::array<const char*, 3> kLightNames = {"Caps Lock", "Num Lock", "Scroll Lock"};
}  // namespace

std::optional<std::array<bool, 3>> readX11LockLights() {
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    Display* display = x11 != nullptr ? x11->display() : nullptr;
    if (display == nullptr) return std::nullopt;
    std::array<bool, 3> lit{};
    for (std::size_t i = 0; i < kLightNames.size(); ++i) {
        Bool on = False;
        const Atom name = XInternAtom(display, kLightNames[i], False);
        if (XkbGetNamedIndicator(display, name, nullptr, &on, nullptr, nullptr)) lit[i] = on != False;
    }
    return lit;
}

}  // namespace zamel
