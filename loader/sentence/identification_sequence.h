#pragma once

#include <functional>

namespace zamel {

class Clock;
class ReceiverLink;
class Ui;

// How much of identification the upload command runs: the map upload that
// follows a code upload only reconnects and queries the header.
enum class IdentificationSteps { All, DialogsOnly };

// Finds and identifies the receiver: the connect dialog, the unsupported-receiver
// message and the status pane, the header query, and (with All) the map-header
// rule that can re-identify the plain model. True when the receiver is
// identified and its header has arrived. onConnected, when given, is called as
// soon as a receiver has answered, supported or not, while its port is open.
bool identifyReceiver(ReceiverLink& link, Ui& ui, const Clock& clock,
                      IdentificationSteps steps = IdentificationSteps::All,
                      const std::function<void()>& onConnected = {});

}  // namespace zamel
