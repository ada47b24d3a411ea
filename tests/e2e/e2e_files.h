#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace zamel::testing {

std::vector<std::uint8_t> randomImage(std::size_t size, unsigned seed);

// A code image as the receivers' firmware carries it: random bytes with the
// version record (product code, major, minor) at 0x2D004E00.
std::vector<std::uint8_t> codeImageBytes(std::size_t size, unsigned seed, const char* productCode,
                                         int major, int minor);

// A map image whose header names the map.
std::vector<std::uint8_t> mapImageBytes(std::size_t size, unsigned seed, const std::string& name);

// Writes bytes as S3 records of recordBytes each from 0x2D004000, as GNU objcopy
// writes them; returns the S-record file's path.
std::string writeCodeSRecords(const std::string& dir, const std::string& name,
                              const std::vector<std::uint8_t>& bytes, int recordBytes = 32);

// The bytes of a flash dump, rebuilt by a tool that nobody here wrote; empty when
// there is no dump.
std::vector<std::uint8_t> flashDumpContents(const std::string& srecordPath);

// Prints the ends of the loader's and the receiver's records of a failed test.
void printUploadRecords(const std::string& dir);

}  // namespace zamel::testing
