#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace tagwright {

inline constexpr std::size_t kSearchTextCapacity = 49;
inline constexpr std::size_t kPersonalTextCapacity = 254;
inline constexpr std::size_t kMaxGroupRecords = 10;

// One start-up text of a firmware image (menu title, disclaimer or
// acknowledgement): what to look for, where it was found, how much room it has
// and the user's replacement. Positions index the firmware's S-record text.
struct TextGroup {
    std::string searchText;
    std::optional<std::size_t> matchPos;  // first hex digit of the text's first character
    std::array<std::optional<std::size_t>, kMaxGroupRecords> records{};  // each at its "S319"
    std::array<std::int16_t, kMaxGroupRecords> recordRoom{};  // the first 0 ends the table
    int charLimit = 0;
    // The scan stopped before the text's terminating zero (record table full or
    // image ended): the last byte seen is kept for a new terminator.
    bool openEnded = false;
    std::string factoryText;
    std::string personalText;
};

}  // namespace tagwright
