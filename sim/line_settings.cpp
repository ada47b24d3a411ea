#include "line_settings.h"

namespace zamel::sim {

std::string LineSettings::describe() const {
    std::string text = twoStopBits ? "8N2" : "8N1";
    if (hardwareFlowControl) text += ", RTS/CTS flow control";
    if (softwareFlowControl) text += ", XON/XOFF flow control";
    if (!hardwareFlowControl && !softwareFlowControl) text += " without flow control";
    return text;
}

}  // namespace zamel::sim
