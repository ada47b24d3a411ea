#include "process_starter.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <optional>

#include "flow_fixture.h"
#include "scratch_dir.h"

namespace tagwright {
namespace {

using namespace std::chrono_literals;
using testing::ScratchDir;
using testing::writeFile;

TEST(StartErrorFromErrno, MapsEachSpawnErrorToItsReason) {
    const struct {
        int errorNumber;
        StartError reason;
    } cases[] = {
        {0, StartError::None},
        {ENOENT, StartError::NotFound},
        {ENOTDIR, StartError::NotFound},
        {E2BIG, StartError::ArgumentListTooLong},
        {ENOEXEC, StartError::NotExecutable},
        {EACCES, StartError::NotExecutable},
        {EISDIR, StartError::NotExecutable},
        {ENOMEM, StartError::NotEnoughMemory},
        {EINVAL, StartError::InvalidMode},
        {EPERM, StartError::Other},
        {EAGAIN, StartError::Other},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(startErrorFromErrno(c.errorNumber), c.reason) << "errno " << c.errorNumber;
    }
}

class PosixProcessStarterTest : public ::testing::Test {
  protected:
    ScratchDir dir;
    PosixProcessStarter starter;
};

TEST_F(PosixProcessStarterTest, StartsAProgramFoundOnTheSearchPathWithItsArguments) {
    testing::writeRecordingProgram(dir.file("viewer"), dir.file("record"));
    testing::SearchPath path("/nonexistent:" + dir.path());

    const StartResult result = starter.start("viewer", {"first argument", "second"});

    ASSERT_TRUE(result.started()) << result.systemError;
    const auto record = testing::waitForRecord(dir.file("record"), 10s);
    ASSERT_EQ(record.size(), 4u);
    EXPECT_EQ(record[1], "2");
    EXPECT_EQ(record[2], "first argument");
    EXPECT_EQ(record[3], "second");
}

TEST_F(PosixProcessStarterTest, LeavesNeitherAZombieNorAChildBehind) {
    testing::writeRecordingProgram(dir.file("quick"), dir.file("record"));

    ASSERT_TRUE(starter.start(dir.file("quick"), {}).started());
    const auto record = testing::waitForRecord(dir.file("record"), 10s);
    ASSERT_FALSE(record.empty());

    // The program ran as a grandchild handed to init: this process has no
    // child left to reap, exited or not.
    EXPECT_NE(record[0], std::to_string(::getpid()));
    EXPECT_EQ(::waitpid(-1, nullptr, WNOHANG), -1);
    EXPECT_EQ(errno, ECHILD);
}

// A watched program that ends at once reports how; one that runs on, or one
// not watched, reports nothing, and the start returns all the same.
TEST_F(PosixProcessStarterTest, WatchSeesAQuickEndButDoesNotWaitForALongRun) {
    writeFile(dir.file("runs-on"),
              "#!/bin/sh\n{ echo $$; echo done; } > '" + dir.file("pid") + "'\nexec sleep 30\n");
    const struct {
        const char* script;
        std::chrono::milliseconds watch;
        std::optional<int> exitStatus;
    } cases[] = {
        {"#!/bin/sh\nexit 3\n", 5s, 3},
        {"#!/bin/sh\nexit 0\n", 5s, 0},
        {"#!/bin/sh\nkill -9 $$\n", 5s, 128 + SIGKILL},
        {"#!/bin/sh\nexit 3\n", 0ms, std::nullopt},
        {nullptr, 200ms, std::nullopt},
    };
    for (const auto& c : cases) {
        const std::string program = c.script != nullptr ? dir.file("ends") : dir.file("runs-on");
        if (c.script != nullptr) {
            writeFile(program, c.script);
        }
        testing::setMode(program, 0755);

        const StartResult result = starter.start(program, {}, c.watch);

        ASSERT_TRUE(result.started()) << result.systemError;
        EXPECT_EQ(result.exitStatus, c.exitStatus) << (c.script != nullptr ? c.script : "runs on");
        EXPECT_EQ(result.running(), c.exitStatus.value_or(0) == 0);
    }
    // The program that ran on is still running; it is ended here.
    const auto pid = testing::waitForRecord(dir.file("pid"), 10s);
    ASSERT_FALSE(pid.empty());
    EXPECT_EQ(::kill(std::stoi(pid[0]), SIGTERM), 0);
    EXPECT_EQ(::waitpid(-1, nullptr, WNOHANG), -1);
}

TEST_F(PosixProcessStarterTest, ReportsWhyAProgramCouldNotStart) {
    writeFile(dir.file("plain"), "#!/bin/sh\n");
    testing::setMode(dir.file("plain"), 0644);
    writeFile(dir.file("garbage"), std::string("\x7F"
                                               "ELF not really",
                                               15));
    testing::setMode(dir.file("garbage"), 0755);

    const struct {
        const char* name;
        std::string program;
        std::vector<std::string> arguments;
        StartError reason;
    } cases[] = {
        {"missing", dir.file("missing"), {}, StartError::NotFound},
        {"missing on the search path", "no-such-program-here", {}, StartError::NotFound},
        {"no execute permission", dir.file("plain"), {}, StartError::NotExecutable},
        {"not an executable format", dir.file("garbage"), {}, StartError::NotExecutable},
        {"a directory", dir.path(), {}, StartError::NotExecutable},
        {"argument too long",
         "/bin/true",
         {std::string(200 * 1024, 'x')},
         StartError::ArgumentListTooLong},
    };
    testing::SearchPath path(dir.path());
    for (const auto& c : cases) {
        const StartResult result = starter.start(c.program, c.arguments);
        EXPECT_EQ(result.error, c.reason) << c.name << ": errno " << result.systemError;
    }
}

}  // namespace
}  // namespace tagwright
