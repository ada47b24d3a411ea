#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <thread>

#include "e2e_files.h"
#include "pty_pair.h"
#include "sim_process.h"

namespace zamel::testing {
namespace {

// Runs the zamel program in dir with no display named; its exit status (-1 when
// it had to be killed) and what it printed.
std::pair<int, std::string> runZamelWithoutDisplay(const std::string& dir) {
    const std::string outputPath = dir + "/zamel-output.txt";
    const pid_t pid = ::fork();
    if (pid == 0) {
        for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) ::unsetenv(name);
        const int out = ::open(outputPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (out < 0 || ::chdir(dir.c_str()) != 0) ::_exit(126);
        ::dup2(out, STDOUT_FILENO);
        ::dup2(out, STDERR_FILENO);
        ::execl(ZAMEL_PATH, ZAMEL_PATH, static_cast<char*>(nullptr));
        ::_exit(127);
    }
    int status = 0;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(90);
    while (::waitpid(pid, &status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() > deadline) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, &status, 0);
            status = -1;
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    const auto bytes = readWholeFile(outputPath);
    return {status != -1 && WIFEXITED(status) ? WEXITSTATUS(status) : -1,
            std::string(bytes.begin(), bytes.end())};
}

// As over ssh: no display, so the package's automatic upload runs on the console.
TEST(ZamelWithoutDisplay, RunsThePackageOnTheConsoleAndHasNothingToDoWithoutOne) {
    TempWorkDir dir;
    const auto [idleStatus, idleOutput] = runZamelWithoutDisplay(dir.path());
    EXPECT_EQ(idleStatus, 0);
    EXPECT_NE(idleOutput.find("without a window there is nothing to do"), std::string::npos);

    sim::testing::SimProcess receiver;
    ASSERT_TRUE(receiver.start({"--dir", dir.path(), "--port", "1", "--model", "Talvane GPS",
                                "--flash-out-each", dir.file("flash"), "--erase-ms", "1"}));
    const auto code = codeImageBytes(8'000, 11, "033", 2, 5);
    writeCodeSRecords(dir.path(), "code.srec", code);
    ASSERT_TRUE(writeWholeFile(dir.file("zamel.ini"), "[Talvane GPS]\nCODE=code.srec\n"));
    const auto [status, output] = runZamelWithoutDisplay(dir.path());
    EXPECT_EQ(status, 0) << output;
    EXPECT_NE(output.find("[Upload] -> YES"), std::string::npos) << output;
    EXPECT_NE(output.find("[STATUS] Upload complete -> OK"), std::string::npos) << output;
    receiver.stop(SIGTERM);
    EXPECT_EQ(flashDumpContents(dir.file("flash-1.srec")), code);
}

}  // namespace
}  // namespace zamel::testing
