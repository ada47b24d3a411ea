#include <windows.h>

#include <string>

#include "port_open_outcome.h"

// How a port open fails on Windows: the system error codes of CreateFileA.

namespace zamel {

PortOpenFailure classifyOpenError(int error) {
    switch (static_cast<DWORD>(error)) {
        case ERROR_SUCCESS:
            return PortOpenFailure::None;
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
        case ERROR_INVALID_NAME:
        case ERROR_BAD_UNIT:
        case ERROR_DEV_NOT_EXIST:
            return PortOpenFailure::NoDevice;
        // A communications port that another program holds refuses access.
        case ERROR_ACCESS_DENIED:
        case ERROR_SHARING_VIOLATION:
        case ERROR_BUSY:
            return PortOpenFailure::InUse;
        case ERROR_NOT_SUPPORTED:
        case ERROR_INVALID_FUNCTION:
            return PortOpenFailure::NotATerminal;
        default:
            return PortOpenFailure::Other;
    }
}

std::string platformErrorText(int error) {
    char text[256] = {};
    const DWORD length =
        FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                       static_cast<DWORD>(error), 0, text, sizeof text, nullptr);
    std::string message(text, length);
    while (!message.empty() &&
           (message.back() == '\n' || message.back() == '\r' || message.back() == '.'))
        message.pop_back();
    if (message.empty()) message = "system error " + std::to_string(error);
    return message;
}

}  // namespace zamel
