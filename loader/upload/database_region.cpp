#include "database_region.h"

#include <array>
#include <cstdio>
#include <memory>
#include <string_view>

namespace zamel {

namespace {

struct StandardDatabase {
    DatabaseRegion region;
    std::string_view description;
    const char* fileName;
};

// In the order a receiver's description is compared with them.
constexpr StandardDatabase kStandardDatabases[] = {
    {kWorldwide, ",    NAV 415    ,   WORLDWIDE   ,    CITIES     ", "nav415wo.bin"},
    {kAmericas, ",    NAV 420    ,   AMERICAS    ,CITIES-NAVAIDS ", "nav420am.bin"},
    {kAsiaAustralia, ",    NAV 420    ,ASIA-AUSTRALIA ,CITIES-NAVAIDS ", "nav420as.bin"},
    {kEuropeAfrica, ",    NAV 420    , EUROPE-AFRICA ,CITIES-NAVAIDS ", "nav420eu.bin"},
};

const StandardDatabase* standardDatabase(DatabaseRegion region) {
    for (const StandardDatabase& database : kStandardDatabases)
        if (database.region == region) return &database;
    return nullptr;
}

constexpr unsigned char kNoDatabaseMark = 0xFF;

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};

}  // namespace

DatabaseRegion databaseRegion(std::span<const char, kDatabaseHeaderSize> poiHeader) {
    if (poiHeader[0] == 0 || static_cast<unsigned char>(poiHeader[1]) == kNoDatabaseMark)
        return kNoDatabaseInformation;
    const std::string_view description(poiHeader.data() + kDescriptionStart, kDescriptionLength);
    for (const StandardDatabase& database : kStandardDatabases)
        if (database.description == description) return database.region;
    return kCustomDatabase;
}

const char* defaultDatabaseName(DatabaseRegion region) {
    const StandardDatabase* database = standardDatabase(region);
    return database != nullptr ? database->fileName : nullptr;
}

bool packageDatabaseSuits(const char* dataPath, DatabaseRegion region) {
    const std::unique_ptr<std::FILE, FileCloser> file(std::fopen(dataPath, "rb"));
    if (!file) return false;
    if (region == kCustomDatabase) return true;
    const StandardDatabase* expected =
        standardDatabase(region == kNoDatabaseInformation ? kWorldwide : region);
    if (expected == nullptr) return false;
    std::array<char, kDescriptionLength> description{};
    if (std::fseek(file.get(), kDatabaseHeaderOffset + kDescriptionStart, SEEK_SET) != 0 ||
        std::fread(description.data(), 1, description.size(), file.get()) != description.size())
        return false;
    return std::string_view(description.data(), description.size()) == expected->description;
}

}  // namespace zamel
