#include "port_open_outcome.h"

namespace zamel {

std::string describeOpenFailure(const PortOpenOutcome& outcome) {
    switch (outcome.failure) {
        case PortOpenFailure::None:
            return "opened";
        case PortOpenFailure::NoDevice:
            return "no device";
        case PortOpenFailure::PermissionDenied:
            return "permission denied: add yourself to the dialout group with "
                   "\"sudo adduser $USER dialout\", then log in again";
        case PortOpenFailure::InUse:
            if (outcome.lockHolder != 0) {
                return "in use by another program (process " + std::to_string(outcome.lockHolder) +
                       " holds its lock)";
            }
            return "in use by another program";
        case PortOpenFailure::NotATerminal:
            return "not a serial port";
        case PortOpenFailure::Other:
            break;
    }
    return "could not be opened: " + platformErrorText(outcome.error);
}

std::string portLine(int portIndex, const PortMapping& mapping, const std::string& reason) {
    const std::string number = "COM" + std::to_string(portIndex + 1);
    if (mapping.origin == PortOrigin::None) return number + ": no device";
    return number + " " + describePort(mapping) + ": " + reason;
}

}  // namespace zamel
