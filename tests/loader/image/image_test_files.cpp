#include "image_test_files.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>

#include "host_command.h"
#include "work_dir.h"

namespace zamel::testing {

std::string sRecordLine(char type, std::uint32_t address, int addressBytes,
                        std::span<const std::uint8_t> data) {
    const unsigned count = static_cast<unsigned>(addressBytes + data.size() + 1);
    std::string text = {'S', type};
    char hex[3];
    unsigned sum = count;
    std::snprintf(hex, sizeof hex, "%02X", count & 0xFF);
    text += hex;
    for (int i = addressBytes - 1; i >= 0; --i) {
        const unsigned byte = (address >> (8 * i)) & 0xFF;
        sum += byte;
        std::snprintf(hex, sizeof hex, "%02X", byte);
        text += hex;
    }
    for (std::uint8_t byte : data) {
        sum += byte;
        std::snprintf(hex, sizeof hex, "%02X", byte);
        text += hex;
    }
    std::snprintf(hex, sizeof hex, "%02X", ~sum & 0xFF);
    text += hex;
    return text;
}

std::string s3Line(std::uint32_t address, std::span<const std::uint8_t> data) {
    return sRecordLine('3', address, 4, data);
}

std::vector<std::uint8_t> patternBytes(std::size_t count, std::uint32_t seed) {
    std::vector<std::uint8_t> bytes(count);
    std::uint32_t state = seed * 2654435761u + 1;
    for (auto& b : bytes) {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        b = static_cast<std::uint8_t>(state >> 11);
    }
    return bytes;
}

bool objcopySRecord(const std::string& binPath, const std::string& srecPath,
                    const std::vector<std::uint8_t>& bytes, std::uint32_t address,
                    int recordLength) {
    if (!writeWholeFile(binPath, bytes)) return false;
    char command[1024];
    std::snprintf(command, sizeof command,
                  "objcopy -I binary -O srec --change-addresses 0x%08X --srec-forceS3 "
                  "--srec-len=%d '%s' '%s'",
                  address, recordLength, binPath.c_str(), srecPath.c_str());
    return runHostCommand(command);
}

std::vector<Block> readAllBlocks(ImageFile& image, std::int32_t maxLength) {
    std::vector<Block> blocks;
    std::vector<std::uint8_t> buffer(ImageFile::blockCapacity(maxLength));
    // More calls than any test image has bytes means the reader never ends.
    for (int calls = 0; calls < 1'000'000; ++calls) {
        std::uint32_t address = 0xDEADBEEF;
        const std::int16_t got = image.readBlock(std::span(buffer), maxLength, address);
        if (got < 1) return blocks;
        blocks.push_back({address, {buffer.begin(), buffer.begin() + got}});
    }
    ADD_FAILURE() << "readBlock never reported the end of the image";
    return blocks;
}

std::vector<std::uint8_t> joinContiguous(const std::vector<Block>& blocks) {
    std::vector<std::uint8_t> joined;
    for (std::size_t i = 0; i < blocks.size(); ++i) {
        if (i > 0) {
            EXPECT_EQ(blocks[i].address, blocks[i - 1].address + blocks[i - 1].bytes.size())
                << "block " << i;
        }
        joined.insert(joined.end(), blocks[i].bytes.begin(), blocks[i].bytes.end());
    }
    return joined;
}

}  // namespace zamel::testing
