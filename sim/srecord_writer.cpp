#include "srecord_writer.h"

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <vector>

namespace zamel::sim {

namespace {

constexpr char kHexDigits[] = "0123456789ABCDEF";

void appendHexByte(std::string& out, std::uint8_t value) {
    out.push_back(kHexDigits[value >> 4]);
    out.push_back(kHexDigits[value & 0x0F]);
}

// One record: type, count, address bytes (big-endian), data, ones'-complement checksum.
void appendRecord(std::string& out, char type, std::uint32_t address, int addressBytes,
                  const std::vector<std::uint8_t>& data) {
    const auto count = static_cast<std::uint8_t>(addressBytes + data.size() + 1);
    std::uint8_t sum = count;
    out.push_back('S');
    out.push_back(type);
    appendHexByte(out, count);
    for (int i = addressBytes - 1; i >= 0; --i) {
        const auto b = static_cast<std::uint8_t>(address >> (8 * i));
        sum = static_cast<std::uint8_t>(sum + b);
        appendHexByte(out, b);
    }
    for (std::uint8_t b : data) {
        sum = static_cast<std::uint8_t>(sum + b);
        appendHexByte(out, b);
    }
    appendHexByte(out, static_cast<std::uint8_t>(~sum));
    out.push_back('\n');
}

}  // namespace

std::string toSRecord(const FlashMemory& flash, std::string_view headerText) {
    std::string out;
    const std::vector<std::uint8_t> header(headerText.begin(), headerText.end());
    appendRecord(out, '0', 0, 2, header);

    std::vector<std::uint8_t> run;
    std::uint32_t runStart = 0;
    std::uint32_t lowest = 0;
    bool any = false;
    flash.forEachProgrammed([&](std::uint32_t address, std::uint8_t byte) {
        if (!any) lowest = address;
        any = true;
        const bool contiguous = !run.empty() && address == runStart + run.size();
        if (!run.empty() && (!contiguous || run.size() == kSRecordDataBytes)) {
            appendRecord(out, '3', runStart, 4, run);
            run.clear();
        }
        if (run.empty()) runStart = address;
        run.push_back(byte);
    });
    if (!run.empty()) appendRecord(out, '3', runStart, 4, run);
    appendRecord(out, '7', lowest, 4, {});
    return out;
}

bool writeSRecordFile(const std::string& path, const FlashMemory& flash,
                      std::string_view headerText) {
    const std::string text = toSRecord(flash, headerText);
    const std::string temporary = path + ".part";
    {
        std::ofstream file(temporary, std::ios::binary | std::ios::trunc);
        file.write(text.data(), static_cast<std::streamsize>(text.size()));
        file.close();
        if (!file) {
            std::remove(temporary.c_str());
            return false;
        }
    }
    if (std::rename(temporary.c_str(), path.c_str()) != 0) {
        std::remove(temporary.c_str());
        return false;
    }
    return true;
}

}  // namespace zamel::sim
