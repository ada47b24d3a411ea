#include "line_state.h"

#include <array>

namespace zamel {
namespace {

constexpr std::array<char, 5> kParityCharacters = {'N', 'O', 'E', 'M', 'S'};

}  // namespace

int parityCode(char parity) {
    for (std::size_t i = 0; i < kParityCharacters.size(); ++i) {
        if (kParityCharacters[i] == parity) return static_cast<int>(i);
    }
    return -1;
}

char parityCharacter(int code) {
    if (code < 0 || code >= static_cast<int>(kParityCharacters.size())) return '\0';
    return kParityCharacters[static_cast<std::size_t>(code)];
}

}  // namespace zamel
