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

// Stores text in one of the link's fixed character fields, cut to fit with its terminator.
template <std::size_t N>
void setLinkField(char (&field)[N], std::string_view text) {
    const std::size_t length = text.size() < N - 1 ? text.size() : N - 1;
    std::memcpy(field, text.data(), length);
    field[length] = '\0';
}

}  // namespace zamel
