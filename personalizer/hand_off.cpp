#include "hand_off.h"

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <utility>
#include <vector>

namespace tagwright {

namespace {

// Where an install puts the read-me, seen from the installed program.
constexpr const char* kInstalledDocDir = TAGWRIGHT_INSTALLED_DOC_DIR;

bool fileExists(const std::string& path) {
    std::error_code error;
    return std::filesystem::exists(path, error);
}

// printf-style formatting of one message with string arguments.
template <typename... Args>
std::string format(const char* pattern, Args... args) {
    const int length = std::snprintf(nullptr, 0, pattern, args...);
    if (length <= 0) {
        return {};
    }
    std::vector<char> buffer(static_cast<std::size_t>(length) + 1);
    std::snprintf(buffer.data(), buffer.size(), pattern, args...);
    return std::string(buffer.data(), static_cast<std::size_t>(length));
}

// The first of the paths that exists, else the first.
std::string firstExisting(const std::vector<std::string>& paths) {
    for (const std::string& path : paths) {
        if (fileExists(path)) {
            return path;
        }
    }
    return paths.front();
}

}  // namespace

HandOff::HandOff(std::string workDir, std::string programDir, PersonalizerUi& ui,
                 ProcessStarter& starter)
    : workDir_(std::move(workDir)),
      programDir_(std::move(programDir)),
      ui_(ui),
      starter_(starter) {}

// The read-me the user put beside the settings comes first; what came with the
// program is the fallback: the read-me beside it in the build and in the
// documentation directory after an install. Without any, the path in the
// working directory.
std::string HandOff::readMePath() const {
    std::vector<std::string> paths = {workDir_ + "/" + kReadMeName};
    if (!programDir_.empty()) {
        paths.push_back(programDir_ + "/" + kReadMeName);
        paths.push_back(programDir_ + "/" + kInstalledDocDir + "/" + kReadMeName);
    }
    return firstExisting(paths);
}

std::string HandOff::loaderPath() const {
    std::vector<std::string> paths;
    if (!programDir_.empty()) {
        paths.push_back(programDir_ + "/" + kLoaderName);
    }
    paths.push_back(workDir_ + "/" + kLoaderName);
    return firstExisting(paths);
}

bool HandOff::openReadMe() {
    const std::string path = readMePath();
    if (!fileExists(path)) {
        ui_.showMessage(format("Could not find help file %s", path.c_str()), MessageIcon::Error);
        return false;
    }
    const StartResult result = starter_.start(kViewer, {path}, kViewerWatch);
    if (result.running()) {
        return true;
    }
    // A failure names the viewer, not the read-me: the read-me was found above.
    const std::string why =
        result.started() ? format("No program could show the read-me: %s ended with status %d.",
                                  kViewer, *result.exitStatus)
                         : startFailureText(result, kViewer);
    ui_.showMessage(
        why + format("\r\rPlease open the read-me with a text viewer: %s", path.c_str()),
        MessageIcon::Error);
    return false;
}

bool HandOff::startLoader(const std::string& codeFile) {
    const std::string path = loaderPath();
    if (!fileExists(path)) {
        ui_.showMessage(format("Could not find file %s", path.c_str()), MessageIcon::Error);
        return false;
    }
    // "--" first: a file name that begins with "-" is still the file.
    const StartResult result = starter_.start(path, {"--", codeFile});
    if (result.started()) {
        return true;
    }
    ui_.showMessage(startFailureText(result, path), MessageIcon::Error);
    return false;
}

std::string HandOff::startFailureText(const StartResult& result, const std::string& program) const {
    switch (result.error) {
        case StartError::NotFound:
            return format("%s not found", program.c_str());
        case StartError::ArgumentListTooLong:
            return "Argument list exceeds 1024 bytes";
        case StartError::NotExecutable:
            return format("%s is not executable or has invalid executable-file format",
                          program.c_str());
        case StartError::NotEnoughMemory:
            return "Not enough memory is available to execute new process";
        case StartError::InvalidMode:
            return "Mode argument(_P_NOWAIT) is invalid";
        case StartError::None:
        case StartError::Other:
            break;
    }
    return result.systemError != 0 ? format("Could not start %s: %s", program.c_str(),
                                            systemErrorText(result.systemError).c_str())
                                   : format("Could not start %s", program.c_str());
}

}  // namespace tagwright
