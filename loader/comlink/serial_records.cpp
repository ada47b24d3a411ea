#include "serial_records.h"

namespace zamel {

int LineSnapshot::field(int index) const {
    if (index < 0 || index >= kFieldCount) return kLineUnknown;
    const auto byte = bytes[static_cast<std::size_t>(index / 4)];
    return (byte >> (2 * (index % 4))) & 0x03;
}

void LineSnapshot::setField(int index, int value) {
    if (index < 0 || index >= kFieldCount) return;
    auto& byte = bytes[static_cast<std::size_t>(index / 4)];
    const int shift = 2 * (index % 4);
    byte = static_cast<std::uint8_t>((byte & ~(0x03 << shift)) | ((value & 0x03) << shift));
}

int LineSnapshot::lineResult(LineId id) const {
    for (int i = 0; i < kFieldCount; ++i) {
        if (kFieldLines[static_cast<std::size_t>(i)] == id) return field(i);
    }
    return kLineUnknown;
}

}  // namespace zamel
