#include "main_window_status.h"

#include <cstdio>
#include <ctime>

#include "file_system.h"
#include "image_file.h"
#include "link_field_text.h"
#include "loader_app.h"
#include "map_names.h"
#include "receiver_link.h"

namespace zamel {

namespace {

template <typename... Args>
std::string format(const char* pattern, Args... args) {
    char text[512];
    std::snprintf(text, sizeof text, pattern, args...);
    return text;
}

std::string localTimeOf(std::int64_t wallMs) {
    const std::time_t seconds = static_cast<std::time_t>(wallMs / 1000);
    // One thread: the C library's shared result is safe to use here.
    const std::tm* local = std::localtime(&seconds);
    if (local == nullptr) return {};
    char text[16];
    std::strftime(text, sizeof text, "%H:%M:%S", local);
    return text;
}

}  // namespace

MainWindowStatus::MainWindowStatus(const LoaderApp& app, Ui& ui) : app_(app), ui_(ui) {}

std::string MainWindowStatus::codeFileText() {
    return describe(std::string(linkFieldText(app_.link().codePath)), true, code_);
}

std::string MainWindowStatus::dataFileText() {
    return describe(std::string(linkFieldText(app_.link().dataPath)), false, data_);
}

std::string MainWindowStatus::describe(const std::string& path, bool code, DescribedFile& last) {
    if (path.empty()) return kNoFile;
    const std::optional<FileFacts> facts = regularFileFacts(path);
    if (!facts) return path + " (cannot be read)";
    const auto size = static_cast<std::int64_t>(facts->size);
    if (last.path == path && last.size == size && last.modifiedNs == facts->modifiedNs)
        return last.description;

    std::string found;
    if (code) {
        found = readCodeFile(path);
    } else {
        const std::string name = fileMapNameOf(path);
        found = name.empty() ? "no map name in the file" : "map " + name;
    }
    last = {path, size, facts->modifiedNs, path + " (" + found + ")"};
    return last.description;
}

std::string MainWindowStatus::readCodeFile(const std::string& path) {
    ImageFile image(path);
    if (image.isOpen == 0) return "cannot be read";
    // Silent: the check only reads the version record, it asks nothing.
    image.checkContent(ContentCheck::FlashCode, true, app_.link(), ui_);
    std::string found = image.versionKnown()
                            ? format("version %u.%02u", image.versionMajor, image.versionMinor)
                            : "no version record";
    image.close();
    return found;
}

std::string MainWindowStatus::receiverText() const {
    const auto& receiver = app_.session().receiver;
    if (!receiver) return kNoReceiver;
    if (!receiver->supported) return "not supported";
    return format("%s, firmware %d.%02d", receiver->modelName.c_str(),
                  static_cast<int>(receiver->firmwareMajor),
                  static_cast<int>(receiver->firmwareMinor));
}

std::string MainWindowStatus::portText() const {
    const auto& receiver = app_.session().receiver;
    if (!receiver) return "";
    return format("COM%d %s at %d baud", static_cast<int>(receiver->comIndex + 1),
                  receiver->device.c_str(), static_cast<int>(receiver->baud));
}

std::string MainWindowStatus::expertText() const {
    const ReceiverLink& link = app_.link();
    if (!link.expertUpload) return kExpertOff;
    return format("on: COM%d at %d baud, without identification",
                  static_cast<int>(link.comIndex + 1), static_cast<int>(link.baud));
}

std::string MainWindowStatus::lastUploadText() const {
    const auto& passes = app_.session().lastUploads;
    if (passes.empty()) return kNoUpload;
    std::string text;
    for (const UploadOutcome& pass : passes) {
        if (!text.empty()) text += '\n';
        text += pass.text + " (" + localTimeOf(pass.wallMs) + ")";
    }
    return text;
}

bool MainWindowStatus::lastUploadFailed() const {
    const auto& passes = app_.session().lastUploads;
    return !passes.empty() && passes.back().kind == UploadOutcome::Kind::NotCompleted;
}

}  // namespace zamel
