#pragma once

#include <cstdint>

#include "receiver_model_table.h"

namespace zamel {

// zamel.cfg in the working directory: one line "%2d %2d %8ld" holding the receiver
// class, the serial port index (0 for COM1) and the baud rate. The unit type is not kept.
inline constexpr const char* kPortSettingsFileName = "zamel.cfg";

struct PortSettings {
    ReceiverClass receiverClass;
    std::int32_t comIndex;
    std::int32_t baud;
};

// Overwrites the fields of `settings` that parse, in order; the rest keep their values.
// Without a file nothing changes.
void readPortSettings(PortSettings& settings);

// Replaces the file in one step: the line goes to a temporary file beside it, which is
// then renamed over it, so a failure leaves the old file as it was. A zamel.cfg that is
// a symbolic link is followed: its file is replaced and the link stays. Where no
// temporary file can be made beside the file (a directory the user may not write to),
// the file is written in place. False when the file could not be written, or when a
// value is too wide for its field to be read back.
bool writePortSettings(const PortSettings& settings);

}  // namespace zamel
