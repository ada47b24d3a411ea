#include "database_region.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <string>

#include "pty_pair.h"

namespace zamel::testing {
namespace {

struct RegionCase {
    const char* description;
    DatabaseRegion region;
    const char* fileName;
};

const RegionCase kStandard[] = {
    {",    NAV 415    ,   WORLDWIDE   ,    CITIES     ", kWorldwide, "nav415wo.bin"},
    {",    NAV 420    ,   AMERICAS    ,CITIES-NAVAIDS ", kAmericas, "nav420am.bin"},
    {",    NAV 420    , EUROPE-AFRICA ,CITIES-NAVAIDS ", kEuropeAfrica, "nav420eu.bin"},
    {",    NAV 420    ,ASIA-AUSTRALIA ,CITIES-NAVAIDS ", kAsiaAustralia, "nav420as.bin"},
};

std::array<char, kDatabaseHeaderSize> header(const char* description, char byte0 = 1,
                                             char byte1 = 1) {
    std::array<char, kDatabaseHeaderSize> bytes{};
    bytes.fill(' ');
    bytes[0] = byte0;
    bytes[1] = byte1;
    std::memcpy(bytes.data() + kDescriptionStart, description, kDescriptionLength);
    return bytes;
}

// A database file carrying the description at its place in the file header.
void writeDatabase(const std::string& path, const char* description) {
    std::string bytes(kDatabaseHeaderOffset + kDatabaseHeaderSize, 'x');
    std::memcpy(bytes.data() + kDatabaseHeaderOffset + kDescriptionStart, description,
                kDescriptionLength);
    writeWholeFile(path, bytes);
}

TEST(DatabaseRegion, ReceiverHeaderNamesTheRegionAndItsStandardFile) {
    for (const RegionCase& c : kStandard) {
        EXPECT_EQ(databaseRegion(header(c.description)), c.region) << c.description;
        EXPECT_STREQ(defaultDatabaseName(c.region), c.fileName);
    }
    const char* custom = ",    NAV 420    ,    CUSTOM     ,  USER POINTS  ";
    EXPECT_EQ(databaseRegion(header(custom)), kCustomDatabase);
    EXPECT_EQ(databaseRegion(header(kStandard[1].description, 0)), kNoDatabaseInformation);
    EXPECT_EQ(databaseRegion(header(kStandard[1].description, 1, '\xFF')), kNoDatabaseInformation);
    EXPECT_EQ(defaultDatabaseName(kCustomDatabase), nullptr);
    EXPECT_EQ(defaultDatabaseName(kNoDatabaseInformation), nullptr);
}

TEST(DatabaseRegion, PackageDatabaseMustCarryTheReceiversDescription) {
    TempWorkDir dir;
    for (const RegionCase& c : kStandard) {
        writeDatabase(dir.file(c.fileName), c.description);
        const std::string path = dir.file(c.fileName);
        EXPECT_TRUE(packageDatabaseSuits(path.c_str(), c.region)) << c.fileName;
        EXPECT_FALSE(packageDatabaseSuits(path.c_str(), c.region % 4 + 1)) << c.fileName;
        // Without database information only the worldwide one; custom takes any.
        EXPECT_EQ(packageDatabaseSuits(path.c_str(), kNoDatabaseInformation),
                  c.region == kWorldwide);
        EXPECT_TRUE(packageDatabaseSuits(path.c_str(), kCustomDatabase));
        EXPECT_FALSE(packageDatabaseSuits(path.c_str(), 5));
    }
    EXPECT_FALSE(packageDatabaseSuits(dir.file("absent.bin").c_str(), kCustomDatabase));
}

}  // namespace
}  // namespace zamel::testing
