#pragma once

#include <string>

namespace tagwright {

// The whole Tagwright program inside a running QApplication: the real message
// boxes, process starts and window around the start-up flow. programDir is
// where the program is installed: its read-me and an installed loader lie
// there or below. Returns the program's exit status.
int runTagwright(const std::string& programDir);

}  // namespace tagwright
