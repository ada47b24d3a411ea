#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "e2e_files.h"
#include "pty_pair.h"
#include "sim_process.h"

namespace zamel::testing {
namespace {

using sim::testing::SimProcess;

struct Finished {
    int status = -1;  // exit status, -1 when it had to be killed
    std::string output;
};

// Runs the zamel program in dir with no display named, its output to a file.
Finished runZamelWithoutDisplay(const std::string& dir) {
    const std::string outputPath = dir + "/zamel-output.txt";
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::unsetenv("DISPLAY");
        ::unsetenv("WAYLAND_DISPLAY");
        ::unsetenv("QT_QPA_PLATFORM");
        const int out = ::open(outputPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (out < 0 || ::chdir(dir.c_str()) != 0) ::_exit(126);
        ::dup2(out, STDOUT_FILENO);
        ::dup2(out, STDERR_FILENO);
        ::execl(ZAMEL_PATH, ZAMEL_PATH, static_cast<char*>(nullptr));
        ::_exit(127);
    }
    Finished finished;
    int status = 0;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(90);
    while (::waitpid(pid, &status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() > deadline) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, &status, 0);
            ADD_FAILURE() << "zamel did not end";
            status = -1;
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    if (status != -1 && WIFEXITED(status)) finished.status = WEXITSTATUS(status);
    const auto bytes = readWholeFile(outputPath);
    finished.output.assign(bytes.begin(), bytes.end());
    return finished;
}

// The program as a user starts it over ssh: no display, so the package's automatic
// upload runs on the console against the receiver on COM1.
TEST(ZamelWithoutDisplay, RunsThePackageOnTheConsole) {
    TempWorkDir dir;
    SimProcess receiver;
    ASSERT_TRUE(receiver.start({"--dir", dir.path(), "--port", "1", "--model", "Talvane GPS",
                                "--flash-out-each", dir.file("flash"), "--erase-ms", "1"}));
    const auto code = codeImageBytes(8'000, 11, "033", 2, 5);
    writeCodeSRecords(dir.path(), "code.srec", code);
    ASSERT_TRUE(writeWholeFile(dir.file("zamel.ini"), "[Talvane GPS]\nCODE=code.srec\n"));

    const Finished run = runZamelWithoutDisplay(dir.path());
    EXPECT_EQ(run.status, 0) << run.output;
    EXPECT_NE(run.output.find("[Upload] -> YES"), std::string::npos) << run.output;
    EXPECT_NE(run.output.find("[STATUS] Upload complete -> OK"), std::string::npos) << run.output;
    receiver.stop(SIGTERM);
    EXPECT_EQ(flashDumpContents(dir.file("flash-1.srec")), code);
}

TEST(ZamelWithoutDisplay, WithoutAPackageSaysThereIsNothingToDo) {
    TempWorkDir dir;
    const Finished run = runZamelWithoutDisplay(dir.path());
    EXPECT_EQ(run.status, 0);
    EXPECT_NE(run.output.find("without a window there is nothing to do"), std::string::npos)
        << run.output;
}

}  // namespace
}  // namespace zamel::testing
