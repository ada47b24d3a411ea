#pragma once

#include <cstdint>

namespace zamel {

// What a dialog waits on besides its timers: bytes arriving at a serial port.
// Console and test hosts wait through waitReadable; an event loop watches the
// native handle of inputEvent.
class InputSource {
  public:
    virtual ~InputSource() = default;

    // Waits up to timeoutMs (0: not at all) until bytes can be read; 1 then, 0
    // when the time ran out. A hung-up line sits the time out rather than wake
    // its caller for ever.
    virtual int waitReadable(int timeoutMs) = 0;
    // The far end is gone and nothing is left to read.
    virtual bool hungUp() const = 0;
    // What an event loop watches: a descriptor on POSIX, an event handle on
    // Windows, made ready to signal as soon as bytes arrive (at once when some
    // already wait); -1 when there is none.
    virtual std::intptr_t inputEvent() = 0;
};

}  // namespace zamel
