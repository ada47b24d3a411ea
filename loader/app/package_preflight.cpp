#include "package_preflight.h"

#include <cstdio>

#include "flash_plain_dialog.h"
#include "ui.h"

namespace zamel {

namespace {

constexpr const char* kCodeError = "Error reading code file";
constexpr const char* kMapError = "Error reading map file";
constexpr const char* kDatabaseError = "Error reading database file";

ReceiverClass classOf(UnitType unitType) {
    for (const ReceiverModel& row : ReceiverModelTable)
        if (row.unitType == unitType) return row.receiverClass;
    return ReceiverClass::NotIdentified;
}

}  // namespace

PackageUploadFile packageDataFile(UnitType unitType, const std::string& dataPath) {
    if (classOf(unitType) == ReceiverClass::Legacy)
        return {dataPath, UploadFileRole::LegacyDatabase, kDatabaseError};
    return {dataPath, UploadFileRole::BaseMap, kMapError};
}

std::vector<PackageUploadFile> packageUploadFiles(UnitType unitType, bool codeSelected,
                                                  const std::string& codePath, bool dataSelected,
                                                  const std::string& dataPath) {
    std::vector<PackageUploadFile> files;
    switch (classOf(unitType)) {
        case ReceiverClass::FlashMapping:
            if (dataSelected) files.push_back(packageDataFile(unitType, dataPath));
            if (codeSelected) files.push_back({codePath, UploadFileRole::FlashCode, kCodeError});
            break;
        case ReceiverClass::FlashPlain:
            if (codeSelected) {
                files.push_back({codePath, UploadFileRole::FlashCode, kCodeError});
            } else if (dataSelected) {
                files.push_back(packageDataFile(unitType, dataPath));
            }
            break;
        case ReceiverClass::Legacy:
            // The automatic upload of a NAV 415/420 always sends its code.
            files.push_back({codePath, UploadFileRole::LegacyCode, kCodeError});
            if (dataSelected) files.push_back(packageDataFile(unitType, dataPath));
            break;
        default:
            break;
    }
    return files;
}

std::string refuseUnusablePackageFile(Ui& ui, UnitType unitType,
                                      const std::vector<PackageUploadFile>& files) {
    for (const PackageUploadFile& file : files) {
        const PreflightResult result = preflightUploadFile(file.path, file.role);
        if (!result.ok) {
            showPreflightRefusal(ui, file.errorText, file.path, result.reason);
            return file.path + ": " + result.reason;
        }
        // The plain receiver's base map has a space of its own.
        if (classOf(unitType) == ReceiverClass::FlashPlain &&
            file.role == UploadFileRole::BaseMap &&
            result.dataBytes > FlashPlainDialog::kBaseMapLimit) {
            char text[96];
            std::snprintf(text, sizeof text, "File size of %d exceeds space limit of %d",
                          static_cast<int>(result.dataBytes),
                          static_cast<int>(FlashPlainDialog::kBaseMapLimit));
            ui.messageBox(text, "ERROR", MessageButtons::Ok, MessageIcon::Information);
            return file.path + ": " + text;
        }
    }
    return {};
}

}  // namespace zamel
