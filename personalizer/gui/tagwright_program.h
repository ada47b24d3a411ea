#pragma once

namespace tagwright {

// The whole Tagwright program inside a running QApplication: the real message
// boxes, process starts and window around the start-up flow. Returns the
// program's exit status.
int runTagwright();

}  // namespace tagwright
