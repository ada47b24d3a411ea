#include "map_names.h"

#include <algorithm>
#include <cstring>
#include <optional>
#include <span>
#include <string_view>

#include "buffered_file.h"
#include "link_field_text.h"
#include "receiver_link.h"

namespace zamel {

namespace {

constexpr std::size_t kMaxNameChars = MapNames::kCapacity - 1;
constexpr std::string_view kSectionMark = "[MAP_INFO]";
constexpr std::string_view kNameKey = "MAP_NAME=";
constexpr std::size_t kWindowBytes = 512;
// The header's text ends at the window's last byte.
constexpr std::size_t kTextBytes = kWindowBytes - 1;
// Bytes kept from one window to the next, so a mark split between two reads is
// still found.
constexpr std::size_t kCarryBytes = kSectionMark.size() - 1;

void store(std::string_view name, std::array<char, MapNames::kCapacity>& field) {
    field.fill('\0');
    const std::size_t length = std::min(name.size(), kMaxNameChars);
    std::copy_n(name.begin(), length, field.begin());
}

std::string_view windowText(const std::array<std::uint8_t, kWindowBytes>& window,
                            std::size_t length) {
    return {reinterpret_cast<const char*>(window.data()), length};
}

// Reads windows until one holds the section mark; leaves the text that follows
// the mark at the window's start and returns its length.
std::optional<std::size_t> findSection(BufferedFile& file,
                                       std::array<std::uint8_t, kWindowBytes>& window) {
    std::size_t filled = file.read(window);
    for (;;) {
        const std::size_t at = windowText(window, filled).find(kSectionMark);
        if (at != std::string_view::npos) {
            const std::size_t after = at + kSectionMark.size();
            std::memmove(window.data(), window.data() + after, filled - after);
            return filled - after;
        }
        // A short read was the end of the file, and its bytes have been searched.
        if (filled < kWindowBytes) return std::nullopt;
        std::memmove(window.data(), window.data() + filled - kCarryBytes, kCarryBytes);
        filled = kCarryBytes + file.read(std::span(window).subspan(kCarryBytes));
    }
}

}  // namespace

std::string receiverMapNameOf(std::string_view mapHeader) {
    std::size_t start = 0;
    for (int comma = 0; comma < 2; ++comma) {
        const std::size_t at = mapHeader.find(',', start);
        if (at == std::string_view::npos) return {};
        start = at + 1;
    }
    const std::string_view rest = mapHeader.substr(start);
    const std::string_view name = rest.substr(0, rest.find_first_of(",*\r\n"));
    return std::string(name.substr(0, kMaxNameChars));
}

std::string fileMapNameOf(const std::string& filePath) {
    BufferedFile file;
    if (filePath.empty() || !file.open(filePath)) return {};
    std::array<std::uint8_t, kWindowBytes> window{};
    const auto kept = findSection(file, window);
    if (!kept) return {};
    const std::size_t filled = *kept + file.read(std::span(window).subspan(*kept));
    const std::string_view text = windowText(window, std::min(filled, kTextBytes));
    const std::size_t key = text.find(kNameKey);
    if (key == std::string_view::npos) return {};
    const std::string_view value = text.substr(key + kNameKey.size());
    // A header saved with bare LF line ends, or ending in binary data, still ends the name.
    const std::string_view name =
        value.substr(0, value.find_first_of(std::string_view("\r\n\0", 3)));
    return std::string(name.substr(0, kMaxNameChars));
}

void readMapHeader(const ReceiverLink& link, MapNames& names) {
    store(receiverMapNameOf(linkFieldText(link.mapHeader)), names.receiverMapName);
    store(fileMapNameOf(std::string(linkFieldText(link.dataPath))), names.fileMapName);
}

bool mapPackageMatches(const MapNames& names) {
    return std::strncmp(names.receiverMapName.data(), names.fileMapName.data(),
                        MapNames::kCapacity) == 0;
}

}  // namespace zamel
