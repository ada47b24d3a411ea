#pragma once

#include <string>

#include "serial_port_map.h"

namespace zamel {

// Why a port could not be opened.
enum class PortOpenFailure {
    None,              // it opened
    NoDevice,          // nothing behind the COM number, or the node is gone
    PermissionDenied,  // the user may not open the device
    InUse,             // another program holds it (exclusive open, a lock)
    NotATerminal,      // the path is not a serial port
    Other,             // any other refusal; error says which
};

// How the last open of a port went, and on which device.
struct PortOpenOutcome {
    PortMapping mapping;
    PortOpenFailure failure = PortOpenFailure::None;
    int error = 0;        // the platform's error number of the refused call, 0 when none
    long lockHolder = 0;  // the process whose lock file keeps the port, 0 when none
};

// The failure a platform error number (errno, or a Windows system error code)
// stands for.
PortOpenFailure classifyOpenError(int error);
// The platform's own words for one of its error numbers.
std::string platformErrorText(int error);

// The reason for people, without the port's name: "permission denied: ...", or
// "opened" for an outcome without failure.
std::string describeOpenFailure(const PortOpenOutcome& outcome);

// One port for people: "COM2 /dev/ttyUSB0 (USB adapter): " and the reason, or
// "COM3: no device" when nothing is behind the number.
std::string portLine(int portIndex, const PortMapping& mapping, const std::string& reason);

// The live process other than this one that holds a lock file "LCK..name" for the
// device in root's var/lock (the convention of older terminal programs); 0 when
// there is none or its process is gone. The file holds the process number as text
// or, in the oldest form, as a binary int.
long lockFileHolder(const std::string& root, const std::string& deviceName);

}  // namespace zamel
