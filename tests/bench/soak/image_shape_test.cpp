#include "image_shape.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <set>
#include <string>

#include "pty_pair.h"

namespace zamel::soak {
namespace {

using zamel::testing::readWholeFile;
using zamel::testing::TempWorkDir;
using zamel::testing::writeWholeFile;

constexpr std::uint32_t kDraws = 150;

ImageMarks marks() {
    ImageMarks m;
    m.mapName = "TALVANE BASEMAP";
    m.databaseDescription = ",    NAV 420    ,   AMERICAS    ,CITIES-NAVAIDS ";
    return m;
}

std::string text(const SparseBytes& bytes, std::uint32_t address, std::size_t length) {
    std::string out;
    for (std::size_t i = 0; i < length; ++i)
        out += static_cast<char>(bytes.at(address + static_cast<std::uint32_t>(i)).value_or('?'));
    return out;
}

// Each S-record file, rebuilt by a tool nobody here wrote, holds exactly the
// image's bytes at their addresses (gaps filled with a byte the images avoid
// checking), and its checksums hold.
TEST(ImageShape, SRecordFilesHoldTheirBytesAsObjcopyReadsThem) {
    TempWorkDir dir;
    int checked = 0;
    for (std::uint32_t seed = 1; seed <= kDraws; ++seed) {
        Rng rng(seed);
        for (ImageRole role : {ImageRole::FlashCode, ImageRole::LegacyCode}) {
            const ImageShape image = drawImage(rng, role, marks());
            bool conflicting = false;
            const SparseBytes flash = image.flashImage(conflicting);
            if (!image.sRecord || conflicting || flash.size() == 0) continue;
            writeWholeFile(dir.file("image.srec"), image.fileText());
            ASSERT_EQ(std::system("objcopy -I srec -O binary image.srec image.bin"), 0)
                << "seed " << seed << ": " << image.summary;
            const auto rebuilt = readWholeFile(dir.file("image.bin"));
            std::uint32_t lowest = 0xFFFFFFFF;
            flash.forEach([&](std::uint32_t a, std::uint8_t) { lowest = std::min(lowest, a); });
            flash.forEach([&](std::uint32_t a, std::uint8_t b) {
                ASSERT_LT(a - lowest, rebuilt.size()) << "seed " << seed;
                ASSERT_EQ(rebuilt[a - lowest], b) << "seed " << seed << std::hex << " at " << a;
            });
            ++checked;
        }
    }
    EXPECT_GT(checked, 50);
}

TEST(ImageShape, MarksStandWhereTheLoaderLooksForThem) {
    for (std::uint32_t seed = 1; seed <= kDraws; ++seed) {
        Rng rng(seed);
        for (ImageRole role : {ImageRole::FlashCode, ImageRole::Map, ImageRole::LegacyCode,
                               ImageRole::LegacyDatabase}) {
            const ImageShape image = drawImage(rng, role, marks());
            bool conflicting = false;
            const SparseBytes flash = image.flashImage(conflicting);
            if (!image.sRecord) {
                ASSERT_EQ(image.records.size(), 1u);
                EXPECT_EQ(image.records[0].address, loadAddress(role));
            }
            if (role == ImageRole::FlashCode && flash.has(kVersionRecordAddress + 5)) {
                EXPECT_EQ(text(flash, kVersionRecordAddress, 3), "033") << "seed " << seed;
                // The loader finds the version only in a record that starts there.
                bool recordStarts = !image.sRecord;
                for (const auto& r : image.records)
                    recordStarts |= r.address == kVersionRecordAddress;
                EXPECT_TRUE(recordStarts) << "seed " << seed << ": " << image.summary;
            }
            const std::string header = "[MAP_INFO]\r\nMAP_NAME=TALVANE BASEMAP\r\n";
            if (role == ImageRole::Map &&
                flash.has(64 + static_cast<std::uint32_t>(header.size()))) {
                EXPECT_EQ(text(flash, 64, header.size()), header);
            }
            if (role == ImageRole::LegacyCode && image.sRecord && !image.records.empty() &&
                image.records.front().bytes.size() >= 3) {
                const auto& first = image.records.front().bytes;
                EXPECT_EQ(std::string(first.begin(), first.begin() + 3), "024");
            }
            if (role == ImageRole::LegacyCode && !image.sRecord && flash.has(1026)) {
                EXPECT_EQ(text(flash, 1024, 3), "024");
            }
            if (role == ImageRole::LegacyDatabase && flash.has(kLegacyDatabaseLoad + 270)) {
                EXPECT_EQ(text(flash, kLegacyDatabaseLoad + 223, 48), marks().databaseDescription);
            }
        }
    }
}

}  // namespace
}  // namespace zamel::soak
