#include "flash_dump.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "pty_pair.h"

namespace zamel::soak {
namespace {

using zamel::testing::readWholeFile;
using zamel::testing::TempWorkDir;
using zamel::testing::writeWholeFile;

// objcopy writes S1, S2 or S3 records by the address's size; every byte must come
// back at its address.
TEST(FlashDump, ReadsWhatObjcopyWritesAtEachAddressSize) {
    TempWorkDir dir;
    std::vector<std::uint8_t> bytes(777);
    for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<std::uint8_t>(i * 13 + 5);
    writeWholeFile(dir.file("data.bin"), bytes);
    for (std::uint32_t address : {0x100u, 0xA0000u, 0x2D004000u}) {
        const std::string command = "objcopy -I binary -O srec --change-addresses " +
                                    std::to_string(address) + " data.bin data.srec";
        ASSERT_EQ(std::system(command.c_str()), 0);
        const FlashDump dump = readFlashDump(dir.file("data.srec"));
        EXPECT_EQ(dump.damagedLines, 0);
        EXPECT_EQ(dump.bytes.size(), bytes.size());
        for (std::size_t i = 0; i < bytes.size(); ++i)
            ASSERT_EQ(dump.bytes.at(address + static_cast<std::uint32_t>(i)), bytes[i])
                << std::hex << address << "+" << i;
        EXPECT_FALSE(dump.bytes.has(address - 1));
    }
}

TEST(FlashDump, LeavesOutAndCountsRecordsThatDoNotHoldTogether) {
    const FlashDump dump = parseFlashDump(
        "S00600004844521B\n"
        "S3090000000001020304EC\r\n"  // good, CR LF
        "S3090000001001020304EB\n"    // bad checksum
        "S30900000020010203\n"        // short
        "S3090000003001020304BC\n"    // good
        "S70500000000FA\n");
    EXPECT_EQ(dump.damagedLines, 2);
    EXPECT_EQ(dump.bytes.size(), 8u);
    EXPECT_EQ(dump.bytes.at(0x03), 0x04);
    EXPECT_EQ(dump.bytes.at(0x30), 0x01);
    EXPECT_FALSE(dump.bytes.has(0x10));
    EXPECT_EQ(readFlashDump("/nonexistent/flash.srec").bytes.size(), 0u);
}

}  // namespace
}  // namespace zamel::soak
