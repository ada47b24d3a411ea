#pragma once

#include <cstdio>

namespace zamel {

// What the console run asks of the platform's console: Ctrl+C (and on POSIX a
// terminating signal) only notes the request, which the run looks at between
// ticks, where it can still close the port and say what state the receiver is in.
void catchStopSignals();
// The signal that asked the run to stop (Ctrl+C is SIGINT on every platform),
// 0 while none did.
int stopSignal();

// Whether out shows on a terminal, where a progress line is redrawn in place.
bool isTerminal(std::FILE* out);

}  // namespace zamel
