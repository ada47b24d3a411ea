#include <cstdlib>

#include "host_command.h"

namespace zamel::testing {

bool runHostCommand(const std::string& shellCommand) {
    return std::system(shellCommand.c_str()) == 0;
}

}  // namespace zamel::testing
