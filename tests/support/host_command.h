#pragma once

#include <string>

namespace zamel::testing {

// Runs a shell command line on the machine that runs the tests: a Windows test
// under Wine reaches the tools of that machine (objcopy, srec_cat) this way.
// True when it ended with status 0.
bool runHostCommand(const std::string& shellCommand);

}  // namespace zamel::testing
