#pragma once

namespace zamel {

// File-open dialog filters: "description|pattern" pairs, ended by "||".
inline constexpr char kCodeFileFilter[] =
    "hex Files (*.hex)|*.hex|S-record Files (*.srec;*.sre;*.s19;*.s28;*.s37;*.mot)|"
    "*.srec;*.sre;*.s19;*.s28;*.s37;*.mot|All Files (*.*)|*.*||";
inline constexpr char kBinaryFileFilter[] =
    "Binary Files (*.bin;*.img)|*.bin;*.img|All Files (*.*)|*.*||";

}  // namespace zamel
