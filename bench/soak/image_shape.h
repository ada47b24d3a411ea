#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "soak_random.h"
#include "sparse_bytes.h"

namespace zamel::soak {

// Where the receivers keep what the loader writes.
inline constexpr std::uint32_t kFlashCodeLoad = 0x2D004000;  // binary code on the flash receivers
inline constexpr std::uint32_t kVersionRecordAddress = 0x2D004E00;
inline constexpr std::uint32_t kLegacyDatabaseLoad = 0xA0000;
inline constexpr std::uint32_t kBootBlockFirst = 0x70000;
inline constexpr std::uint32_t kBootBlockLast = 0x9FFFF;
inline constexpr std::uint32_t kSectorBytes = 0x10000;
inline constexpr std::uint32_t kRecordBytes = 1980;

enum class ImageRole { FlashCode, Map, LegacyCode, LegacyDatabase };

// What an image must carry to pass the loader's content checks for its receiver.
struct ImageMarks {
    std::string productCode = "033";
    int major = 1;
    int minor = 10;
    std::string mapName;              // MAP_NAME= of a map's header
    std::string databaseDescription;  // the 48 characters at offset 223 of a database
};

// A block of data at its flash address: one data record of an S-record file, or
// the whole content of a binary file.
struct DataRecord {
    std::uint32_t address;
    std::vector<std::uint8_t> bytes;
};

// One file the soak offers the loader, and the flash it should leave behind.
struct ImageShape {
    ImageRole role = ImageRole::FlashCode;
    bool sRecord = false;
    std::vector<DataRecord> records;  // in file order
    std::string summary;              // the shape in a few words, for the report

    std::uint64_t dataBytes() const;
    // Every byte at its flash address; `conflicting` when two records give one
    // address different values, so that no flash can hold the image.
    SparseBytes flashImage(bool& conflicting) const;
    // The file's bytes: the data as they are (binary), or S0, S3 records and S7.
    std::string fileText() const;
};

// Draws the size (0, 1, odd, whole records, sector boundaries, sparse), the file
// format and, for S-records, the layout (gaps, records out of order, overlapping
// or outside the load range) of one image, with the marks placed where the
// loader looks for them. For code that an old NAV 415/420 takes with a boot-block
// pass, sizes that reach the boot block come up more often (they are slow to send).
ImageShape drawImage(Rng& rng, ImageRole role, const ImageMarks& marks, bool bootBlockPass = false);

// Where a binary image of this role is written.
std::uint32_t loadAddress(ImageRole role);

}  // namespace zamel::soak
