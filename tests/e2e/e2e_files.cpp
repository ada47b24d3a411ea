#include "e2e_files.h"

#include <cstdlib>
#include <cstring>
#include <iostream>
#include <random>

#include "host_command.h"
#include "work_dir.h"

namespace zamel::testing {

namespace {
constexpr std::size_t kVersionRecordOffset = 0xE00;
bool run(const std::string& command) { return runHostCommand(command); }
}  // namespace

std::vector<std::uint8_t> randomImage(std::size_t size, unsigned seed) {
    std::mt19937 generator(seed);
    std::vector<std::uint8_t> bytes(size);
    for (auto& b : bytes) b = static_cast<std::uint8_t>(generator());
    return bytes;
}

std::vector<std::uint8_t> codeImageBytes(std::size_t size, unsigned seed, const char* productCode,
                                         int major, int minor) {
    auto bytes = randomImage(size, seed);
    if (size < kVersionRecordOffset + 6) return bytes;
    std::memcpy(&bytes[kVersionRecordOffset], productCode, 3);
    bytes[kVersionRecordOffset + 3] = 0;
    bytes[kVersionRecordOffset + 4] = static_cast<std::uint8_t>(major);
    bytes[kVersionRecordOffset + 5] = static_cast<std::uint8_t>(minor);
    return bytes;
}

std::vector<std::uint8_t> mapImageBytes(std::size_t size, unsigned seed, const std::string& name) {
    auto bytes = randomImage(size, seed);
    const std::string header = "[MAP_INFO]\r\nMAP_NAME=" + name + "\r\n";
    if (bytes.size() >= 64 + header.size()) std::memcpy(&bytes[64], header.data(), header.size());
    return bytes;
}

std::string writeCodeSRecords(const std::string& dir, const std::string& name,
                              const std::vector<std::uint8_t>& bytes, int recordBytes) {
    const std::string binary = dir + "/" + name + ".raw";
    const std::string srecord = dir + "/" + name;
    writeWholeFile(binary, bytes);
    run("objcopy -I binary -O srec --change-addresses 0x2D004000 --srec-forceS3 --srec-len=" +
        std::to_string(recordBytes) + " " + binary + " " + srecord);
    return srecord;
}

std::vector<std::uint8_t> flashDumpContents(const std::string& srecordPath) {
    const std::string binary = srecordPath + ".bin";
    if (!run("objcopy -I srec -O binary " + srecordPath + " " + binary + " 2>/dev/null")) return {};
    return readWholeFile(binary);
}

void printUploadRecords(const std::string& dir) {
    for (const char* name : {"DEBUG.OUT", "transcript.txt"}) {
        const auto bytes = readWholeFile(dir + "/" + name);
        const std::size_t keep = 3000;
        const std::size_t from = bytes.size() > keep ? bytes.size() - keep : 0;
        std::cerr << "---- end of " << name << "\n"
                  << std::string(bytes.begin() + static_cast<std::ptrdiff_t>(from), bytes.end())
                  << "\n";
    }
}

}  // namespace zamel::testing
