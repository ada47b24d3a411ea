#include <windows.h>

#include <string>

#include "hand_off.h"
#include "process_starter.h"

namespace tagwright {

// Notepad shows the read-me, as it always has on Windows.
const char* const HandOff::kViewer = "notepad";
const char* const HandOff::kLoaderName = "zamel.exe";

namespace {

// A command line is limited to 32767 characters.
constexpr std::size_t kCommandLineLimit = 32767;

// Quoted where it must be, so that the program's command line splits back into
// exactly these arguments; left bare otherwise, as the command interpreter
// takes its own switches and commands only bare.
std::string quoted(const std::string& argument) {
    if (!argument.empty() && argument.find_first_of(" \t\n\v\"") == std::string::npos) {
        return argument;
    }
    std::string out = "\"";
    std::size_t backslashes = 0;
    for (char c : argument) {
        if (c == '\\') {
            ++backslashes;
            continue;
        }
        if (c == '"') {
            backslashes = backslashes * 2 + 1;
        }
        out.append(backslashes, '\\');
        backslashes = 0;
        out += c;
    }
    out.append(backslashes * 2, '\\');
    return out + "\"";
}

StartError startErrorFromSystemError(DWORD error) {
    switch (error) {
        case ERROR_SUCCESS:
            return StartError::None;
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
        case ERROR_INVALID_NAME:
            return StartError::NotFound;
        case ERROR_FILENAME_EXCED_RANGE:
            return StartError::ArgumentListTooLong;
        case ERROR_BAD_EXE_FORMAT:
        case ERROR_ACCESS_DENIED:
        case ERROR_EXE_MACHINE_TYPE_MISMATCH:
            return StartError::NotExecutable;
        case ERROR_NOT_ENOUGH_MEMORY:
        case ERROR_OUTOFMEMORY:
            return StartError::NotEnoughMemory;
        case ERROR_INVALID_PARAMETER:
            return StartError::InvalidMode;
        default:
            return StartError::Other;
    }
}

StartResult failure(DWORD error) {
    return StartResult{startErrorFromSystemError(error), static_cast<int>(error), std::nullopt};
}

}  // namespace

std::string systemErrorText(int systemError) {
    char text[256] = {};
    const DWORD length =
        FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                       static_cast<DWORD>(systemError), 0, text, sizeof text, nullptr);
    std::string message(text, length);
    while (!message.empty() &&
           (message.back() == '\n' || message.back() == '\r' || message.back() == '.')) {
        message.pop_back();
    }
    return message.empty() ? "system error " + std::to_string(systemError) : message;
}

std::unique_ptr<ProcessStarter> systemProcessStarter() {
    return std::make_unique<Win32ProcessStarter>();
}

StartResult Win32ProcessStarter::start(const std::string& program,
                                       const std::vector<std::string>& arguments,
                                       std::chrono::milliseconds watch) {
    std::string commandLine = quoted(program);
    for (const std::string& argument : arguments) {
        commandLine += " " + quoted(argument);
    }
    if (commandLine.size() > kCommandLineLimit) {
        return failure(ERROR_FILENAME_EXCED_RANGE);
    }
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    // No application name: a program without a path is looked up on the search
    // path, as the spawn functions did.
    if (!CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process)) {
        return failure(GetLastError());
    }
    StartResult result;
    if (watch.count() > 0 && process.hProcess != nullptr &&
        WaitForSingleObject(process.hProcess, static_cast<DWORD>(watch.count())) == WAIT_OBJECT_0) {
        DWORD status = 0;
        if (GetExitCodeProcess(process.hProcess, &status)) {
            result.exitStatus = static_cast<int>(status);
        }
    }
    if (process.hThread != nullptr) {
        CloseHandle(process.hThread);
    }
    if (process.hProcess != nullptr) {
        CloseHandle(process.hProcess);
    }
    return result;
}

}  // namespace tagwright
