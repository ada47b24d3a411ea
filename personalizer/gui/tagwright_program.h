#pragma once

#include <string>

namespace tagwright {

// The whole Tagwright program inside a running QApplication: the real message
// boxes, process starts and window around the start-up flow. programDir is
// where the program's read-me is shipped. Returns the program's exit status.
int runTagwright(const std::string& programDir);

}  // namespace tagwright
