#include "firmware_image_builder.h"

#include <cstdio>
#include <fstream>

namespace tagwright::testing {

namespace {

constexpr std::string_view kHeaderText = "TESTFW";

void appendHex(std::string& out, std::uint8_t byte) {
    char digits[3];
    std::snprintf(digits, sizeof digits, "%02X", byte);
    out.append(digits, 2);
}

}  // namespace

FirmwareImageBuilder::FirmwareImageBuilder(std::size_t recordCount, std::uint32_t baseAddress,
                                           std::uint8_t filler)
    : baseAddress_(baseAddress), data_(recordCount * kDataBytesPerRecord, filler) {}

FirmwareImageBuilder& FirmwareImageBuilder::place(std::size_t offset, std::string_view bytes) {
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        data_.at(offset + i) = static_cast<std::uint8_t>(bytes[i]);
    }
    return *this;
}

FirmwareImageBuilder& FirmwareImageBuilder::placeString(std::size_t offset, std::string_view text) {
    place(offset, text);
    return setByte(offset + text.size(), 0);
}

FirmwareImageBuilder& FirmwareImageBuilder::setByte(std::size_t offset, std::uint8_t byte) {
    data_.at(offset) = byte;
    return *this;
}

std::string FirmwareImageBuilder::recordLine(char type, std::uint32_t address,
                                             const std::vector<std::uint8_t>& data) {
    const int addressBytes = type == '0' ? 2 : (type == '3' || type == '7') ? 4 : 2;
    std::vector<std::uint8_t> bytes;
    bytes.push_back(static_cast<std::uint8_t>(addressBytes + data.size() + 1));
    for (int i = addressBytes - 1; i >= 0; --i) {
        bytes.push_back(static_cast<std::uint8_t>(address >> (8 * i)));
    }
    bytes.insert(bytes.end(), data.begin(), data.end());
    unsigned sum = 0;
    for (const std::uint8_t b : bytes) {
        sum += b;
    }
    bytes.push_back(static_cast<std::uint8_t>(0xFF - (sum & 0xFF)));
    std::string line = {'S', type};
    for (const std::uint8_t b : bytes) {
        appendHex(line, b);
    }
    return line;
}

std::size_t FirmwareImageBuilder::headerLength() const {
    return recordLine('0', 0, std::vector<std::uint8_t>(kHeaderText.begin(), kHeaderText.end()))
               .size() +
           2;
}

std::string FirmwareImageBuilder::build() const {
    std::string text =
        recordLine('0', 0, std::vector<std::uint8_t>(kHeaderText.begin(), kHeaderText.end()));
    text += "\r\n";
    for (std::size_t start = 0; start < data_.size(); start += kDataBytesPerRecord) {
        const std::vector<std::uint8_t> chunk(
            data_.begin() + static_cast<std::ptrdiff_t>(start),
            data_.begin() + static_cast<std::ptrdiff_t>(start + kDataBytesPerRecord));
        text += recordLine('3', baseAddress_ + static_cast<std::uint32_t>(start), chunk);
        text += "\r\n";
    }
    text += recordLine('7', baseAddress_, {});
    text += "\r\n";
    return text;
}

bool FirmwareImageBuilder::writeTo(const std::string& path) const {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    const std::string text = build();
    out.write(text.data(), static_cast<std::streamsize>(text.size()));
    out.close();
    return static_cast<bool>(out);
}

std::size_t FirmwareImageBuilder::recordPosition(std::size_t offset) const {
    return headerLength() + (offset / kDataBytesPerRecord) * kRecordLineLength;
}

std::size_t FirmwareImageBuilder::bytePosition(std::size_t offset) const {
    return recordPosition(offset) + 12 + 2 * (offset % kDataBytesPerRecord);
}

}  // namespace tagwright::testing
