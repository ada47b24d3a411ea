#pragma once

#include <string>

namespace zamel::sim {

// The far end's line settings as far as a pseudo-terminal shows them. It keeps
// 8 data bits and no parity whatever is asked, so those cannot be seen; the rate,
// the stop bits and the flow control the loader set can.
struct LineSettings {
    long baud = 0;  // 0 when unknown
    bool twoStopBits = false;
    bool hardwareFlowControl = false;  // RTS/CTS
    bool softwareFlowControl = false;  // XON/XOFF either way

    // The unit talks 8N1 without flow control.
    bool suitsTheUnit() const {
        return !twoStopBits && !hardwareFlowControl && !softwareFlowControl;
    }
    // "8N2, RTS/CTS flow control" and the like.
    std::string describe() const;

    bool operator==(const LineSettings&) const = default;
};

}  // namespace zamel::sim
