#include <cstdio>

#include "flash_loader.h"

namespace zamel {

void FlashLoader::statusText(std::string& text) const {
    switch (state) {
        case FlashLoaderState::NoPort:
            text = "       NO PORT   ";
            return;
        case FlashLoaderState::Reset:
            text = "         RESET   ";
            return;
        case FlashLoaderState::NoConnect:
            text = " NO CONNECTION   ";
            return;
        case FlashLoaderState::Hand:
            text = " CREATING LINK   ";
            return;
        case FlashLoaderState::EraseCmd:
        case FlashLoaderState::EraseAdr:
            text = "   ERASE BEGIN   ";
            return;
        case FlashLoaderState::InvalidFlash:
            text = " INVALID FLASH   ";
            return;
        case FlashLoaderState::Erasing: {
            char erasing[32];
            std::snprintf(erasing, sizeof erasing, "   ERASING - %d   ", sectorsErased);
            text = erasing;
            return;
        }
        case FlashLoaderState::SendCold:
        case FlashLoaderState::WaitCold:
        case FlashLoaderState::SendRec:
        case FlashLoaderState::WaitRec:
        case FlashLoaderState::Prog:
        case FlashLoaderState::Debug1:
        case FlashLoaderState::Debug2:
            text = "   PROGRAMMING   ";
            return;
        case FlashLoaderState::WriteFail:
            text = "ROM WRITE FAIL   ";
            return;
        case FlashLoaderState::FileDone:
            text = "  COMMUNICATING  ";
            return;
        case FlashLoaderState::SendEnd:
        case FlashLoaderState::EndChecksum:
        case FlashLoaderState::EndSize:
            text = "     FINISHING   ";
            return;
        case FlashLoaderState::AllDone:
            text = "     COMPLETED   ";
            return;
        case FlashLoaderState::RecNum1:
        case FlashLoaderState::RecNum2:
        case FlashLoaderState::RecNum3:
        case FlashLoaderState::RecNum4:
            return;
    }
}

}  // namespace zamel
