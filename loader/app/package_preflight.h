#pragma once

#include <string>
#include <vector>

#include "receiver_model_table.h"
#include "upload_preflight.h"

namespace zamel {

class Ui;

// A file the automatic upload of a package will send: its path, what it is sent
// as, and the message that names it when it cannot be used.
struct PackageUploadFile {
    std::string path;
    UploadFileRole role;
    const char* errorText;
};

// The data file (map, or a NAV 415/420's database) of a package of this unit type.
PackageUploadFile packageDataFile(UnitType unitType, const std::string& dataPath);

// The files the automatic upload sends for a package of this unit type, both passes
// and in their order: a mapping receiver takes the base map, then the code; the
// plain receiver the code, or else the base map; a NAV 415/420 its code, with the
// database when the package names one; other models nothing.
std::vector<PackageUploadFile> packageUploadFiles(UnitType unitType, bool codeSelected,
                                                  const std::string& codePath, bool dataSelected,
                                                  const std::string& dataPath);

// Checks each file whole before any receiver is touched and refuses the first that
// cannot be used, naming it and the reason. Returns what was wrong ("" when all is
// well).
std::string refuseUnusablePackageFile(Ui& ui, UnitType unitType,
                                      const std::vector<PackageUploadFile>& files);

}  // namespace zamel
