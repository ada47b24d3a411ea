#include "test_images.h"

#include <algorithm>
#include <cstdio>

namespace zamel::testing {

std::string sRecordText(std::uint32_t base, const std::vector<std::uint8_t>& data,
                        std::size_t perRecord) {
    std::string text = "S00600004844521B\n";
    char hex[4];
    for (std::size_t at = 0; at < data.size(); at += perRecord) {
        const std::size_t n = std::min(perRecord, data.size() - at);
        const std::uint32_t address = base + static_cast<std::uint32_t>(at);
        std::vector<std::uint8_t> record{
            static_cast<std::uint8_t>(n + 5), static_cast<std::uint8_t>(address >> 24),
            static_cast<std::uint8_t>(address >> 16), static_cast<std::uint8_t>(address >> 8),
            static_cast<std::uint8_t>(address)};
        record.insert(record.end(), data.begin() + static_cast<std::ptrdiff_t>(at),
                      data.begin() + static_cast<std::ptrdiff_t>(at + n));
        unsigned sum = 0;
        text += "S3";
        for (const std::uint8_t b : record) {
            sum += b;
            std::snprintf(hex, sizeof hex, "%02X", b);
            text += hex;
        }
        std::snprintf(hex, sizeof hex, "%02X", ~sum & 0xFFu);
        text += hex;
        text += '\n';
    }
    return text + "S70500000000FA\n";
}

}  // namespace zamel::testing
