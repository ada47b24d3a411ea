#include "hand_off.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "flow_fixture.h"
#include "recording_ui.h"
#include "scratch_dir.h"

namespace tagwright {
namespace {

using namespace std::chrono_literals;
using testing::RecordingUi;
using testing::ScratchDir;
using testing::writeFile;

// Real starts of fake programs: the work directory holds the read-me and the
// loader, bin/ is the only search path.
class HandOffTest : public ::testing::Test {
  protected:
    HandOffTest() : bin(dir.file("bin")), programDir(dir.file("program")), path(bin) {
        makeDirectory(bin);
        makeDirectory(programDir);
        writeFile(dir.file("ReadMeTagwright.txt"), "Read me.\r\n");
    }

    static void makeDirectory(const std::string& path) {
        ASSERT_EQ(::mkdir(path.c_str(), 0755), 0);
    }

    void expectOnlyMessage(const std::string& text) {
        ASSERT_EQ(ui.shown.size(), 1u);
        EXPECT_EQ(ui.shown[0].text, text);
        EXPECT_EQ(ui.shown[0].icon, MessageIcon::Error);
        EXPECT_EQ(ui.shown[0].buttons, MessageButtons::Ok);
    }

    ScratchDir dir;
    std::string bin;
    std::string programDir;
    testing::SearchPath path;
    RecordingUi ui;
    PosixProcessStarter starter;
    HandOff handOff{dir.path(), programDir, ui, starter};
};

TEST_F(HandOffTest, OpensTheReadMeInTheViewerFoundOnTheSearchPath) {
    testing::writeRecordingProgram(bin + "/xdg-open", dir.file("record"));

    EXPECT_TRUE(handOff.openReadMe());

    const auto record = testing::waitForRecord(dir.file("record"), 10s);
    ASSERT_EQ(record.size(), 3u);
    EXPECT_EQ(record[1], "1");
    EXPECT_EQ(record[2], dir.file("ReadMeTagwright.txt"));
    EXPECT_TRUE(ui.shown.empty());
}

TEST_F(HandOffTest, MissingReadMeIsReportedAndNothingStarted) {
    testing::writeRecordingProgram(bin + "/xdg-open", dir.file("record"));
    ::unlink(dir.file("ReadMeTagwright.txt").c_str());

    EXPECT_FALSE(handOff.openReadMe());

    expectOnlyMessage("Could not find help file " + dir.file("ReadMeTagwright.txt"));
    EXPECT_TRUE(testing::waitForRecord(dir.file("record"), 200ms).empty());
}

TEST_F(HandOffTest, ReadMeBesideTheProgramServesWhenTheWorkingDirectoryHasNone) {
    testing::writeRecordingProgram(bin + "/xdg-open", dir.file("record"));
    writeFile(programDir + "/ReadMeTagwright.txt", "Shipped read-me.\n");

    EXPECT_TRUE(handOff.openReadMe());
    auto record = testing::waitForRecord(dir.file("record"), 10s);
    ASSERT_EQ(record.size(), 3u);
    EXPECT_EQ(record[2], dir.file("ReadMeTagwright.txt"));

    ::unlink(dir.file("record").c_str());
    ::unlink(dir.file("ReadMeTagwright.txt").c_str());
    EXPECT_TRUE(handOff.openReadMe());
    record = testing::waitForRecord(dir.file("record"), 10s);
    ASSERT_EQ(record.size(), 3u);
    EXPECT_EQ(record[2], programDir + "/ReadMeTagwright.txt");

    // Installed, the program sits in bin/ and its read-me in share/doc/.
    const std::string installed = dir.file("share/doc/zamel-tagwright/ReadMeTagwright.txt");
    for (const char* sub : {"share", "share/doc", "share/doc/zamel-tagwright"}) {
        makeDirectory(dir.file(sub));
    }
    writeFile(installed, "Installed read-me.\n");
    ::unlink(dir.file("record").c_str());
    ::unlink((programDir + "/ReadMeTagwright.txt").c_str());
    EXPECT_TRUE(handOff.openReadMe());
    record = testing::waitForRecord(dir.file("record"), 10s);
    ASSERT_EQ(record.size(), 3u);
    EXPECT_EQ(record[2], programDir + "/../share/doc/zamel-tagwright/ReadMeTagwright.txt");
    EXPECT_TRUE(ui.shown.empty());
}

TEST_F(HandOffTest, StartsTheLoaderWithThePersonalizedFileAsItsOneFile) {
    testing::writeRecordingProgram(dir.file("zamel"), dir.file("record"));

    EXPECT_TRUE(handOff.startLoader(dir.file("personal.hex")));

    const auto record = testing::waitForRecord(dir.file("record"), 10s);
    ASSERT_EQ(record.size(), 4u);
    EXPECT_EQ(record[1], "2");
    EXPECT_EQ(record[2], "--");
    EXPECT_EQ(record[3], dir.file("personal.hex"));
    EXPECT_TRUE(ui.shown.empty());
}

// The loader installed beside Tagwright comes first: a program called zamel in
// a downloaded firmware folder is started only when none is installed.
TEST_F(HandOffTest, LoaderBesideTheProgramComesBeforeTheWorkingDirectorysOne) {
    testing::writeRecordingProgram(programDir + "/zamel", dir.file("installed-record"));
    testing::writeRecordingProgram(dir.file("zamel"), dir.file("record"));
    EXPECT_EQ(handOff.loaderPath(), programDir + "/zamel");
    EXPECT_TRUE(handOff.startLoader("personal.hex"));
    EXPECT_EQ(testing::waitForRecord(dir.file("installed-record"), 10s).size(), 4u);
    EXPECT_TRUE(testing::waitForRecord(dir.file("record"), 200ms).empty());

    ::unlink((programDir + "/zamel").c_str());
    EXPECT_EQ(handOff.loaderPath(), dir.file("zamel"));
    EXPECT_TRUE(handOff.startLoader("personal.hex"));
    EXPECT_EQ(testing::waitForRecord(dir.file("record"), 10s).size(), 4u);
    EXPECT_TRUE(ui.shown.empty());
}

TEST_F(HandOffTest, MissingLoaderIsReported) {
    EXPECT_FALSE(handOff.startLoader("personal.hex"));

    expectOnlyMessage("Could not find file " + programDir + "/zamel");
}

// A viewer that ends at once in failure has shown nothing: xdg-open without a
// program for text files behind it.
TEST_F(HandOffTest, ViewerThatFailsAtOnceIsReportedWithTheReadMesPath) {
    writeFile(bin + "/xdg-open", "#!/bin/sh\nexit 3\n");
    testing::setMode(bin + "/xdg-open", 0755);

    EXPECT_FALSE(handOff.openReadMe());

    expectOnlyMessage(
        "No program could show the read-me: xdg-open ended with status 3.\r\rPlease open the "
        "read-me with a text viewer: " +
        dir.file("ReadMeTagwright.txt"));
}

// Why a start failed, as the starter reports it, picks the message.
TEST(HandOffMessages, EachStartFailureHasItsOwnText) {
    ScratchDir dir;
    writeFile(dir.file("ReadMeTagwright.txt"), "Read me.\r\n");
    writeFile(dir.file("zamel"), "");
    const struct {
        StartError reason;
        int systemError;
        std::string viewerText;
        std::string loaderText;
    } cases[] = {
        {StartError::NotFound, ENOENT, "xdg-open not found", dir.file("zamel") + " not found"},
        {StartError::NotExecutable, ENOEXEC,
         "xdg-open is not executable or has invalid executable-file format",
         dir.file("zamel") + " is not executable or has invalid executable-file format"},
        {StartError::ArgumentListTooLong, E2BIG, "Argument list exceeds 1024 bytes",
         "Argument list exceeds 1024 bytes"},
        {StartError::NotEnoughMemory, ENOMEM,
         "Not enough memory is available to execute new process",
         "Not enough memory is available to execute new process"},
        {StartError::InvalidMode, EINVAL, "Mode argument(_P_NOWAIT) is invalid",
         "Mode argument(_P_NOWAIT) is invalid"},
        {StartError::Other, EPERM, "Could not start xdg-open: Operation not permitted",
         "Could not start " + dir.file("zamel") + ": Operation not permitted"},
    };
    for (const auto& c : cases) {
        RecordingUi ui;
        testing::RecordingStarter starter;
        starter.result = StartResult{c.reason, c.systemError, std::nullopt};
        HandOff handOff(dir.path(), "", ui, starter);

        EXPECT_FALSE(handOff.openReadMe());
        EXPECT_FALSE(handOff.startLoader("personal.hex"));

        // When the read-me cannot be shown, the message says where it is.
        ASSERT_EQ(ui.shown.size(), 2u);
        EXPECT_EQ(ui.shown[0].text, c.viewerText +
                                        "\r\rPlease open the read-me with a text viewer: " +
                                        dir.file("ReadMeTagwright.txt"));
        EXPECT_EQ(ui.shown[1].text, c.loaderText);
        ASSERT_EQ(starter.starts.size(), 2u);
        EXPECT_EQ(starter.starts[0].program, "xdg-open");
        EXPECT_EQ(starter.starts[0].watch, HandOff::kViewerWatch);
        EXPECT_EQ(starter.starts[1].program, dir.file("zamel"));
        EXPECT_EQ(starter.starts[1].arguments, (std::vector<std::string>{"--", "personal.hex"}));
        EXPECT_EQ(starter.starts[1].watch.count(), 0);
    }
}

}  // namespace
}  // namespace tagwright
