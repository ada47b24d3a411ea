#pragma once

#include <array>
#include <optional>

namespace zamel {

// The keyboard's caps-lock, num-lock and scroll-lock lights, in that order, read
// from the X11 display the program runs on; nothing when it runs on another one.
std::optional<std::array<bool, 3>> readX11LockLights();

}  // namespace zamel
