#pragma once

namespace zamel {

class Clock;
class DialogController;

// Waits for a dialog's next timer tick, periodMs from now on the clock. Meanwhile
// the dialog's input source is waited on: when bytes arrive the dialog's
// onReadable runs at once. Between events the process sleeps; a hung-up line gets
// one call (so the dialog can notice) and then the rest of the wait is slept.
// Returns early when the dialog ends.
void waitForNextTick(DialogController& controller, Clock& clock, int periodMs);

}  // namespace zamel
