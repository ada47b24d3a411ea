#pragma once

namespace zamel {

// File-open dialog filters: "description|pattern" pairs, ended by "||".
inline constexpr char kCodeFileFilter[] =
    "hex Files (*.hex)|*.hex|S-record Files (*.srec)|*.srec|All Files (*.*)|*.*||";
inline constexpr char kBinaryFileFilter[] =
    "Binary Files (*.bin;*.img)|*.bin;*.img|All Files (*.*)|*.*||";

}  // namespace zamel
