#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <functional>
#include <thread>

#include "e2e_files.h"
#include "pty_pair.h"
#include "sim_process.h"

namespace zamel::testing {
namespace {

std::string textOf(const std::string& path) {
    const auto bytes = readWholeFile(path);
    return std::string(bytes.begin(), bytes.end());
}

struct ZamelRun {
    int status = -1;  // the exit status; -1 when it had to be killed
    std::string output;
};

// Runs the zamel program in dir with the environment's display names replaced by
// `display` (none: no display at all); when `signalAt` is given, sends SIGINT once
// the output holds that text.
ZamelRun runZamel(const std::string& dir, const char* display = nullptr,
                  const std::string& signalAt = "") {
    const std::string outputPath = dir + "/zamel-output.txt";
    const pid_t pid = ::fork();
    if (pid == 0) {
        for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) ::unsetenv(name);
        if (display != nullptr) ::setenv("DISPLAY", display, 1);
        const int out = ::open(outputPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (out < 0 || ::chdir(dir.c_str()) != 0) ::_exit(126);
        ::dup2(out, STDOUT_FILENO);
        ::dup2(out, STDERR_FILENO);
        ::execl(ZAMEL_PATH, ZAMEL_PATH, static_cast<char*>(nullptr));
        ::_exit(127);
    }
    int status = 0;
    bool signalled = signalAt.empty();
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(90);
    while (::waitpid(pid, &status, WNOHANG) == 0) {
        if (!signalled && textOf(outputPath).find(signalAt) != std::string::npos) {
            ::kill(pid, SIGINT);
            signalled = true;
        }
        if (std::chrono::steady_clock::now() > deadline) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, &status, 0);
            status = -1;
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return {status != -1 && WIFEXITED(status) ? WEXITSTATUS(status) : -1, textOf(outputPath)};
}

// As over ssh: no display, so the package's automatic upload runs on the console.
// Each row is a working directory as a user leaves it, and what the run must say
// and end with. A refusal must come before the receiver enters its boot loader,
// and a check of the files before the receiver is even looked for.
TEST(ZamelOnTheConsole, EndsEachRunWithAStatusAScriptCanTrust) {
    const auto code = codeImageBytes(30'000, 11, "033", 2, 5);
    enum class Receiver { Untouched, NotSwitched, Switched };
    const struct Case {
        const char* name;
        std::vector<std::string> receiverArguments;
        std::string package;
        std::function<void(const TempWorkDir&)> files;
        int status;
        std::vector<std::string> said;
        Receiver receiver;
        const char* interruptAt = "";
        std::vector<std::string> notSaid = {};
    } cases[] = {
        {"a package for the receiver",
         {"--model", "Talvane GPS"},
         "[Talvane GPS]\nCODE=code.srec\n",
         [&](const TempWorkDir& dir) { writeCodeSRecords(dir.path(), "code.srec", code); },
         0,
         {"[Upload] -> YES", "Using COM1 at 4800 baud - COM1 /dev/pts/",
          "Uploading code file -  code.srec 50%\n", "Uploading code file -  code.srec 100%\n",
          "[STATUS] Upload complete -> OK",
          "zamel: automatic upload complete: every file of the package was sent"},
         Receiver::Switched},
        {"code of another model: the warning is answered Cancel",
         {"--model", "Talvane"},
         "[Talvane]\nCODE=code.srec\n",
         [](const TempWorkDir& dir) {
             writeCodeSRecords(dir.path(), "code.srec", codeImageBytes(8'000, 12, "030", 1, 2));
         },
         2,
         {"[WARNING - FIRMWARE PROBLEM] code.srec does not appear to contain code for Talvane.  "
          "Continue? -> Cancel",
          "zamel: automatic upload REFUSED"},
         Receiver::NotSwitched},
        {"a package for another model",
         {"--model", "Talvane"},
         "[PLT430]\nCODE=code.srec\n",
         [](const TempWorkDir& dir) {
             writeCodeSRecords(dir.path(), "code.srec", codeImageBytes(8'000, 13, "030", 1, 2));
         },
         2,
         {"[ERROR] Incorrect upload package for unit -> OK",
          "zamel: automatic upload REFUSED: the package is for the PLT430, the receiver is a "
          "Talvane (exit status 2)."},
         Receiver::NotSwitched},
        {"Ctrl+C in the middle of the transfer",
         {"--model", "Talvane GPS", "--program-ms", "40"},
         "[Talvane GPS]\nCODE=code.srec\n",
         [&](const TempWorkDir& dir) { writeCodeSRecords(dir.path(), "code.srec", code); },
         130,
         {"[WARNING] UPLOAD HAS NOT COMPLETED!\nTHIS COULD CAUSE FAILURE OF THE UNIT\n",
          "zamel: stopped by signal 2: the upload did not complete (exit status 130)."},
         Receiver::Switched,
         "code.srec 10%"},
        {"no package here",
         {},
         "",
         [](const TempWorkDir&) {},
         4,
         {"no upload package (zamel.ini) here: without a window there is nothing to do"},
         Receiver::Untouched},
        {"a package file without a package",
         {},
         "[Talvane]\n\nCODE=code.srec\n",
         [](const TempWorkDir&) {},
         4,
         {"zamel: no display, and zamel.ini gives no upload package: line 1 after [Talvane] is "
          "not \"CODE=...\" but empty"},
         Receiver::Untouched},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempWorkDir dir;
        sim::testing::SimProcess receiver;
        if (!c.receiverArguments.empty()) {
            std::vector<std::string> arguments = {"--dir",
                                                  dir.path(),
                                                  "--port",
                                                  "1",
                                                  "--erase-ms",
                                                  "1",
                                                  "--transcript",
                                                  dir.file("transcript.txt"),
                                                  "--flash-out-each",
                                                  dir.file("flash")};
            arguments.insert(arguments.end(), c.receiverArguments.begin(),
                             c.receiverArguments.end());
            ASSERT_TRUE(receiver.start(arguments));
        }
        if (!c.package.empty()) writeWholeFile(dir.file("zamel.ini"), c.package);
        c.files(dir);
        const ZamelRun run = runZamel(dir.path(), nullptr, c.interruptAt);
        EXPECT_EQ(run.status, c.status) << run.output;
        for (const std::string& text : c.said)
            EXPECT_NE(run.output.find(text), std::string::npos) << text << "\n" << run.output;
        for (const std::string& text : c.notSaid)
            EXPECT_EQ(run.output.find(text), std::string::npos) << text << "\n" << run.output;
        // Nothing claims success after a failure.
        if (c.status != 0) {
            EXPECT_EQ(run.output.find("complete: every file"), std::string::npos);
        }
        if (receiver.running()) receiver.stop(SIGTERM);
        const std::string transcript = textOf(dir.file("transcript.txt"));
        switch (c.receiver) {
            case Receiver::Untouched:
                EXPECT_EQ(transcript.find(" in "), std::string::npos);
                break;
            case Receiver::NotSwitched:
                EXPECT_EQ(transcript.find("BootLoader/"), std::string::npos);
                break;
            case Receiver::Switched:
                EXPECT_NE(transcript.find("BootLoader/"), std::string::npos);
                break;
        }
        const bool codeSent = c.status == 0 || c.said[0] == "[STATUS] Upload complete -> OK";
        EXPECT_EQ(flashDumpContents(dir.file("flash-1.srec")),
                  codeSent ? code : std::vector<std::uint8_t>{});
        EXPECT_TRUE(flashDumpContents(dir.file("flash-2.srec")).empty());
    }
}

// A display that is named but does not answer (a stale DISPLAY over ssh) is no
// display: zamel runs on the console instead of ending in Qt's abort.
TEST(ZamelOnTheConsole, UnreachableDisplayCountsAsNone) {
    TempWorkDir dir;
    const ZamelRun run = runZamel(dir.path(), ":4242");
    EXPECT_EQ(run.status, 4) << run.output;
    EXPECT_NE(run.output.find("nothing to do"), std::string::npos) << run.output;
}

}  // namespace
}  // namespace zamel::testing
