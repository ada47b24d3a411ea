#pragma once

#include "win32_serial_device.h"

namespace zamel::testing {

// The serial device the contract tests hold to the library's promises here.
using PlatformSerialDevice = Win32SerialDevice;

}  // namespace zamel::testing
