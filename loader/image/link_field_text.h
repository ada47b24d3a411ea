#pragma once

#include <cstddef>
#include <cstring>
#include <string_view>

namespace zamel {

// The text of one of the link's fixed character fields, which a full field leaves
// without a terminator.
template <std::size_t N>
std::string_view linkFieldText(const char (&field)[N]) {
    return {field, strnlen(field, N)};
}

}  // namespace zamel
