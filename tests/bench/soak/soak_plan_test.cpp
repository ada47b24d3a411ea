#include "soak_plan.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>

#include <set>
#include <string>
#include <vector>

extern char** environ;

namespace zamel::soak {
namespace {

// receiver-sim reads its whole command line before it acts on --help: exit 0
// means every option and fault the plan wrote is one it knows.
int receiverAccepts(std::vector<std::string> arguments) {
    arguments.insert(arguments.begin(), RECEIVER_SIM_PATH);
    arguments.push_back("--help");
    std::vector<char*> argv;
    for (auto& a : arguments) argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    pid_t pid = -1;
    const int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) return -1;
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(SoakPlan, EveryDrawnReceiverCommandLineIsOneReceiverSimTakes) {
    std::set<std::string> faultKinds;
    for (std::uint32_t seed = 1; seed <= 120; ++seed) {
        const SoakPlan plan = drawPlan(seed);
        ASSERT_EQ(receiverAccepts(plan.receiverArguments()), 0) << plan.describe();
        for (std::size_t i = 0; i + 1 < plan.faults.receiverArguments.size(); ++i)
            if (plan.faults.receiverArguments[i] == "--fault")
                faultKinds.insert(plan.faults.receiverArguments[i + 1].substr(
                    0, plan.faults.receiverArguments[i + 1].find_first_of(":@")));
    }
    EXPECT_GE(faultKinds.size(), 15u);
}

TEST(SoakPlan, ASeedDrawsTheSamePlanEveryTime) {
    std::set<std::string> plans;
    for (std::uint32_t seed = 1; seed <= 30; ++seed) {
        EXPECT_EQ(drawPlan(seed).describe(), drawPlan(seed).describe());
        plans.insert(drawPlan(seed).describe());
    }
    EXPECT_EQ(plans.size(), 30u);
}

}  // namespace
}  // namespace zamel::soak
