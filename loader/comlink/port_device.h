#pragma once

#include <memory>
#include <string>

#include "port_open_outcome.h"
#include "serial_device.h"

namespace zamel {

// The serial device of the platform this program was built for (POSIX terminal
// or Win32 communications port) on COM(portIndex + 1), opened at once with DTR
// and RTS raised. A failed open leaves its code in the device's lastError; how
// the open went and on which device is left in outcome. deviceRoot is the
// device tree the ports are looked for in (serialPortsPresent); a platform
// that names its ports itself ignores it.
std::unique_ptr<SerialDevice> openPortDevice(int portIndex, int receiveQueueSize,
                                             int transmitQueueSize, const std::string& deviceRoot,
                                             PortOpenOutcome& outcome);

}  // namespace zamel
