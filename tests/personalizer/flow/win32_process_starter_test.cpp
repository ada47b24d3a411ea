#include <gtest/gtest.h>

#include <chrono>

#include "hand_off.h"
#include "process_starter.h"

// The Windows starter under Wine, with the command interpreter every Windows
// has on its search path.

namespace tagwright {
namespace {

using namespace std::chrono_literals;

TEST(Win32ProcessStarter, StartsAProgramOnTheSearchPathAndSeesItsQuickEnd) {
    Win32ProcessStarter starter;
    const StartResult ended = starter.start("cmd", {"/c", "exit 7"}, 10s);
    EXPECT_TRUE(ended.started());
    ASSERT_TRUE(ended.exitStatus.has_value());
    EXPECT_EQ(*ended.exitStatus, 7);
    EXPECT_FALSE(ended.running()) << "a quick failure is seen as one";

    const StartResult fine = starter.start("cmd", {"/c", "exit 0"}, 10s);
    EXPECT_TRUE(fine.running());
}

TEST(Win32ProcessStarter, AProgramThatIsNotThereIsNamedSo) {
    const auto starter = systemProcessStarter();
    const StartResult result = starter->start("zt-no-such-program", {"x"});
    EXPECT_EQ(result.error, StartError::NotFound);
    EXPECT_NE(result.systemError, 0);
    EXPECT_FALSE(systemErrorText(result.systemError).empty());
    EXPECT_STREQ(HandOff::kViewer, "notepad");
    EXPECT_STREQ(HandOff::kLoaderName, "zamel.exe");
}

}  // namespace
}  // namespace tagwright
