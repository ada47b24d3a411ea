#include <dirent.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>

#include "flow_fixture.h"
#include "hand_off.h"
#include "personalizer_dialog.h"
#include "recording_ui.h"
#include "scratch_dir.h"
#include "sim_process.h"

namespace tagwright {
namespace {

using namespace std::chrono_literals;
using testing::AmberLayout;
using testing::readFile;
using testing::RecordingUi;
using testing::ScratchDir;
using testing::writeFile;
using zamel::sim::testing::SimProcess;

// The factory image's records of 20 bytes start 4 bytes past the code's load
// address, so that one of them starts at 0x2D004E00 and is the version record.
constexpr std::uint32_t kFactoryBase = 0x2D004004;
constexpr std::size_t kVersionRecordOffset = 0x2D004E00 - kFactoryBase;

// The standard output of programs started while it lives goes into a pipe, so
// the test reads what the loader prints and sees it end: the pipe reaches its
// end when the last program holding it has exited.
class CapturedOutput {
  public:
    CapturedOutput() {
        int fds[2];
        if (::pipe2(fds, O_CLOEXEC) != 0) std::abort();
        readEnd_ = fds[0];
        saved_ = ::dup(STDOUT_FILENO);
        std::fflush(stdout);
        ::dup2(fds[1], STDOUT_FILENO);
        ::close(fds[1]);
    }
    ~CapturedOutput() {
        restore();
        ::close(readEnd_);
    }
    CapturedOutput(const CapturedOutput&) = delete;
    CapturedOutput& operator=(const CapturedOutput&) = delete;

    void restore() {
        if (saved_ < 0) return;
        std::fflush(stdout);
        ::dup2(saved_, STDOUT_FILENO);
        ::close(saved_);
        saved_ = -1;
    }

    // Everything written until the end, or nullopt when the end has not come
    // within the timeout.
    std::optional<std::string> readToEnd(std::chrono::milliseconds timeout) {
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        std::array<char, 4096> buffer;
        for (;;) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            pollfd pfd{readEnd_, POLLIN, 0};
            if (left.count() <= 0 || ::poll(&pfd, 1, static_cast<int>(left.count())) <= 0) {
                return std::nullopt;
            }
            const ssize_t n = ::read(readEnd_, buffer.data(), buffer.size());
            if (n == 0) return text_;
            if (n > 0) text_.append(buffer.data(), static_cast<std::size_t>(n));
        }
    }
    const std::string& text() const { return text_; }

  private:
    int readEnd_ = -1;
    int saved_ = -1;
    std::string text_;
};

// Ends what a failed run left behind: processes started in the scratch directory.
void killProcessesIn(const std::string& dir) {
    DIR* proc = ::opendir("/proc");
    if (proc == nullptr) return;
    while (const dirent* entry = ::readdir(proc)) {
        const int pid = std::atoi(entry->d_name);
        if (pid <= 0 || pid == ::getpid()) continue;
        std::array<char, 4096> cwd{};
        const std::string link = "/proc/" + std::to_string(pid) + "/cwd";
        if (::readlink(link.c_str(), cwd.data(), cwd.size() - 1) > 0 && dir == cwd.data()) {
            ::kill(pid, SIGKILL);
        }
    }
    ::closedir(proc);
}

// The bytes of an S-record file, rebuilt by objcopy.
std::string bytesOf(const std::string& srecordPath) {
    const std::string binary = srecordPath + ".bin";
    const std::string command = "objcopy -I srec -O binary " + srecordPath + " " + binary;
    return std::system(command.c_str()) == 0 ? readFile(binary) : std::string();
}

// The whole user story after the personalizer: "Save Changes", "Yes" to the
// upload question, and the real loader, started by the hand-off in the working
// directory, uploads the personalized firmware from its zamel.ini package to a
// simulated Talvane on COM1 there.
class LoaderHandOffEndToEnd : public ::testing::Test {
  protected:
    void SetUp() override {
        // No display, as on a console: the loader then runs without a window.
        for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
            ::unsetenv(name);
        }
        testing::prepareWorkDir(dir.path());
        // The factory firmware of these runs is also the Talvane's program code:
        // S3 records with the version record at 0x2D004E00.
        testing::FirmwareImageBuilder factory = testing::amberImage(200, kFactoryBase);
        factory.place(kVersionRecordOffset, std::string("033\0\x03\x0C", 6));
        writeFile(dir.file("tambr312.hex"), factory.build());
        writeFile(dir.file("zamel.ini"), "[Talvane]\nCODE=personal.hex\nVERSION=3.12\nMAP=\nX\n");
        ASSERT_EQ(::mkdir(dir.file("bin").c_str(), 0755), 0);
        testing::writeRecordingProgram(dir.file("bin/xdg-open"), dir.file("viewer-record"));
        ASSERT_TRUE(receiver.start({"--dir", dir.path(), "--port", "1", "--model", "Talvane",
                                    "--erase-ms", "1", "--flash-out-each", dir.file("flash")}));
    }

    void TearDown() override { killProcessesIn(dir.path()); }

    // Saves a personal title and answers "Yes"; returns what the loader printed
    // once it has ended, or nullopt when it did not end in time.
    std::optional<std::string> saveAndStartLoader(const std::string& programDir) {
        PersonalizerApp app(ui);
        EXPECT_TRUE(app.setWorkDir(dir.path()));
        app.loadSettings();
        EXPECT_TRUE(app.loadFirmware());
        HandOff handOff(dir.path(), programDir, ui, starter);
        PersonalizerDialog dialog(app, ui, handOff, [](std::chrono::milliseconds) {});
        dialog.onInit();
        ui.answers = {MessageAnswer::Ok, MessageAnswer::Yes};

        CapturedOutput output;
        {
            testing::SearchPath path(dir.file("bin"));
            dialog.onSaveChanges({"MY GPS", testing::kAmberMessage, "PRESS ENTER TO AGREE"});
        }
        output.restore();
        auto printed = output.readToEnd(120s);
        if (!printed) ADD_FAILURE() << "the loader did not end; it printed:\n" << output.text();
        return printed;
    }

    void expectPersonalFirmwareUploaded(const std::optional<std::string>& printed) {
        ASSERT_TRUE(printed);
        EXPECT_NE(printed->find("Upload of CODE complete"), std::string::npos) << *printed;
        receiver.stop(SIGTERM);
        const std::string personal = bytesOf(dir.file("personal.hex"));
        ASSERT_EQ(personal.size(), 4000u);
        EXPECT_EQ(personal.substr(AmberLayout::kTitle, 6), "MY GPS");
        EXPECT_EQ(bytesOf(dir.file("flash-1.srec")), personal);
        EXPECT_EQ(testing::waitForRecord(dir.file("viewer-record"), 10s).size(), 3u);
    }

    ScratchDir dir;
    testing::CurrentDirectory cwd{dir.path()};
    SimProcess receiver;
    RecordingUi ui;
    PosixProcessStarter starter;
};

TEST_F(LoaderHandOffEndToEnd, YesStartsTheLoaderInstalledBesideTheProgram) {
    ASSERT_EQ(::mkdir(dir.file("program").c_str(), 0755), 0);
    ASSERT_EQ(::symlink(ZAMEL_PATH, dir.file("program/zamel").c_str()), 0);

    expectPersonalFirmwareUploaded(saveAndStartLoader(dir.file("program")));
}

TEST_F(LoaderHandOffEndToEnd, YesStartsTheLoaderInTheWorkingDirectory) {
    ASSERT_EQ(::symlink(ZAMEL_PATH, dir.file("zamel").c_str()), 0);

    expectPersonalFirmwareUploaded(saveAndStartLoader(""));
}

}  // namespace
}  // namespace tagwright
