#pragma once

namespace tagwright {

// Whether a window can be shown: an X server or a Wayland compositor answers, or a
// Qt platform that needs no display is chosen.
bool displayAvailable();

}  // namespace tagwright
