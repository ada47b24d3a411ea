#pragma once

#include "posix_serial_device.h"

namespace zamel::testing {

// The serial device the contract tests hold to the library's promises here.
using PlatformSerialDevice = PosixSerialDevice;

}  // namespace zamel::testing
