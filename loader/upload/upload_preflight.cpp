#include "upload_preflight.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "flash_engine_plan.h"
#include "flash_loader.h"
#include "image_file.h"
#include "legacy_upload_dialog.h"
#include "s_record_check.h"
#include "ui.h"

namespace zamel {

namespace {

std::string sentence(const std::string& fragment) { return "It " + fragment + "."; }

// Why a path cannot be opened as an image, or nothing.
std::optional<std::string> fileFault(const std::string& path) {
    if (path.empty()) return "No file is chosen.";
    std::error_code error;
    const std::filesystem::file_status status = std::filesystem::status(path, error);
    if (status.type() == std::filesystem::file_type::not_found) return sentence("does not exist");
    if (error) return sentence("cannot be read: " + error.message());
    if (!std::filesystem::is_regular_file(status)) return sentence("is not a regular file");
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) return sentence(std::string("cannot be read: ") + std::strerror(errno));
    std::fclose(file);
    return std::nullopt;
}

}  // namespace

SegmentWindow uploadWindow(UploadFileRole role) {
    using Legacy = LegacyUploadDialog;
    switch (role) {
        case UploadFileRole::FlashCode:
            return {kCodeLoadAddress, kCodeLoadAddress, 0xFFFFFFFF, false, false};
        case UploadFileRole::BaseMap:
        case UploadFileRole::DetailMap:
            return {0, 0, 0xFFFFFFFF, false, true};
        case UploadFileRole::LegacyCode:
            return {0, 0, Legacy::kCodeEnd, false, false};
        case UploadFileRole::LegacyDatabase:
            return {Legacy::kDatabaseAddress, Legacy::kDatabaseAddress, Legacy::kDatabaseEnd, false,
                    false};
    }
    return {};
}

SegmentWindow bootBlockWindow() {
    return {0, LegacyUploadDialog::kBootBlockAddress, LegacyUploadDialog::kCodeEnd, true, false};
}

PreflightResult preflightImage(ImageFile& image, const SegmentWindow& window) {
    PreflightResult result;
    if (const auto fault = fileFault(image.path)) {
        result.reason = *fault;
        return result;
    }
    if (image.isSRecord) {
        const SRecordCheck check = checkSRecordFile(image.path);
        if (!check.intact) {
            char text[160];
            if (check.faultLine > 0) {
                std::snprintf(text, sizeof text, "It is damaged: line %lld %s.",
                              static_cast<long long>(check.faultLine), check.fault);
            } else {
                std::snprintf(text, sizeof text, "It %s.", check.fault);
            }
            result.reason = text;
            return result;
        }
    }
    std::string fragment;
    result.segment = loadTransferSegment(image, window, FlashLoader::kRecordDataLength, fragment);
    if (!result.segment) {
        result.reason = sentence(fragment);
        return result;
    }
    result.ok = true;
    result.dataBytes = result.segment->data.size();
    return result;
}

PreflightResult preflightUploadFile(const std::string& path, UploadFileRole role) {
    ImageFile image(path);
    return preflightImage(image, uploadWindow(role));
}

void showPreflightRefusal(Ui& ui, const char* firstLine, const std::string& path,
                          const std::string& reason) {
    const std::string text = std::string(firstLine) + "\n" + path + "\n" + reason +
                             "\n\nNothing was sent to the receiver.";
    ui.messageBox(text, "ERROR", MessageButtons::Ok, MessageIcon::Stop);
}

}  // namespace zamel
