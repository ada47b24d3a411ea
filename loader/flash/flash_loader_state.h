#pragma once

#include <cstdint>

namespace zamel {

// The states of the flash loader engine. The values are fixed: they are the
// numbers the engine has always used, and owners compare against them.
enum class FlashLoaderState : std::int32_t {
    NoPort = 0,
    Reset = 1,
    NoConnect = 2,
    Hand = 3,
    EraseCmd = 4,
    InvalidFlash = 5,
    EraseAdr = 6,
    Erasing = 7,
    SendCold = 8,
    WaitCold = 9,
    SendRec = 10,
    WaitRec = 11,
    Prog = 12,
    WriteFail = 13,
    FileDone = 14,
    SendEnd = 15,
    EndChecksum = 16,
    EndSize = 17,
    AllDone = 18,
    Debug1 = 20,
    Debug2 = 21,
    RecNum1 = 22,
    RecNum2 = 23,
    RecNum3 = 24,
    RecNum4 = 25,
};

}  // namespace zamel
