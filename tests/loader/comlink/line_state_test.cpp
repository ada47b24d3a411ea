#include "line_state.h"

#include <gtest/gtest.h>

namespace zamel {
namespace {

TEST(LineStateTest, ParityTableMapsFiveCharactersAndNothingElse) {
    const char characters[] = {'N', 'O', 'E', 'M', 'S'};
    for (int code = 0; code < 5; ++code) {
        EXPECT_EQ(parityCode(characters[code]), code);
        EXPECT_EQ(parityCharacter(code), characters[code]);
    }
    for (char other : {'X', 'n', '\0', '0'}) EXPECT_EQ(parityCode(other), -1) << other;
    EXPECT_EQ(parityCharacter(5), '\0');
    EXPECT_EQ(parityCharacter(-1), '\0');
}

}  // namespace
}  // namespace zamel
