// Reads and rewrites arbitrary initialization texts; any value written under
// plain names must read back, and nothing may read outside the input.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "ini_profile.h"

namespace {

bool plain(std::string_view s) {
    if (s.empty()) {
        return false;
    }
    for (const char c : s) {
        const bool alnum =
            (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
        if (!alnum) {
            return false;
        }
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    // Layout: section NUL key NUL value NUL ini text.
    std::string_view parts[3];
    std::string_view rest = input;
    for (std::string_view& part : parts) {
        const std::size_t nul = rest.find('\0');
        if (nul == std::string_view::npos) {
            return 0;
        }
        part = rest.substr(0, nul);
        rest.remove_prefix(nul + 1);
    }
    const std::string_view section = parts[0];
    const std::string_view key = parts[1];
    const std::string_view value = parts[2];

    tagwright::findProfileValue(rest, section, key);
    const std::optional<std::string> updated =
        tagwright::setProfileValue(rest, section, key, value);
    if (updated && plain(section) && plain(key)) {
        if (tagwright::findProfileValue(*updated, section, key) != std::string(value)) {
            std::abort();
        }
    }
    return 0;
}
