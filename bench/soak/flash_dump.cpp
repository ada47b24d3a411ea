#include "flash_dump.h"

#include <fstream>
#include <iterator>
#include <optional>

namespace zamel::soak {

namespace {

std::optional<unsigned> hexPair(std::string_view line, std::size_t at) {
    if (at + 2 > line.size()) return std::nullopt;
    unsigned value = 0;
    for (std::size_t i = at; i < at + 2; ++i) {
        const char c = line[i];
        value <<= 4;
        if (c >= '0' && c <= '9') {
            value |= static_cast<unsigned>(c - '0');
        } else if (c >= 'A' && c <= 'F') {
            value |= static_cast<unsigned>(c - 'A' + 10);
        } else if (c >= 'a' && c <= 'f') {
            value |= static_cast<unsigned>(c - 'a' + 10);
        } else {
            return std::nullopt;
        }
    }
    return value;
}

// One line; false when it is a data record that does not hold together.
bool takeLine(std::string_view line, SparseBytes& bytes) {
    if (line.size() < 2 || line[0] != 'S') return false;
    int addressBytes = 0;
    switch (line[1]) {
        case '1':
            addressBytes = 2;
            break;
        case '2':
            addressBytes = 3;
            break;
        case '3':
            addressBytes = 4;
            break;
        default:
            return true;  // headers, counts and end records carry no data
    }
    const auto count = hexPair(line, 2);
    if (!count || *count < static_cast<unsigned>(addressBytes) + 1 || line.size() != 4 + 2 * *count)
        return false;
    std::vector<unsigned> fields;
    unsigned sum = *count;
    for (unsigned i = 0; i < *count; ++i) {
        const auto value = hexPair(line, 4 + 2 * i);
        if (!value) return false;
        sum += *value;
        fields.push_back(*value);
    }
    if ((sum & 0xFF) != 0xFF) return false;
    std::uint32_t address = 0;
    for (int i = 0; i < addressBytes; ++i)
        address = address << 8 | fields[static_cast<std::size_t>(i)];
    for (std::size_t i = static_cast<std::size_t>(addressBytes); i + 1 < fields.size(); ++i)
        bytes.set(address++, static_cast<std::uint8_t>(fields[i]));
    return true;
}

}  // namespace

FlashDump parseFlashDump(std::string_view text) {
    FlashDump dump;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (!line.empty() && !takeLine(line, dump.bytes)) ++dump.damagedLines;
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
    }
    return dump;
}

FlashDump readFlashDump(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    const std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    return parseFlashDump(text);
}

}  // namespace zamel::soak
