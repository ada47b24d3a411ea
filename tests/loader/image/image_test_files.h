#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "image_file.h"

namespace zamel::testing {

// One S-record line (without its line end) with a correct checksum; addressBytes
// is 2, 3 or 4 for S1, S2 and S3 data records.
std::string sRecordLine(char type, std::uint32_t address, int addressBytes,
                        std::span<const std::uint8_t> data);
std::string s3Line(std::uint32_t address, std::span<const std::uint8_t> data);

// Reproducible bytes that are not a simple counter, so misplaced data shows.
std::vector<std::uint8_t> patternBytes(std::size_t count, std::uint32_t seed);

// Writes binPath with the bytes and converts it with GNU objcopy into S3 records of
// recordLength data bytes loaded at address. False when objcopy failed.
bool objcopySRecord(const std::string& binPath, const std::string& srecPath,
                    const std::vector<std::uint8_t>& bytes, std::uint32_t address,
                    int recordLength);

struct Block {
    std::uint32_t address = 0;
    std::vector<std::uint8_t> bytes;
};

// Every block of an S-record image, read with a buffer of exactly the capacity the
// reader asks for, until it reports the end (bounded, so a reader that never ends
// fails instead of hanging).
std::vector<Block> readAllBlocks(ImageFile& image, std::int32_t maxLength);

// The blocks laid end to end; fails the test when one does not start where the
// previous one ended.
std::vector<std::uint8_t> joinContiguous(const std::vector<Block>& blocks);

}  // namespace zamel::testing
