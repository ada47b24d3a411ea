#include "main_window_status.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <ctime>
#include <string>

#include "e2e_files.h"
#include "link_field_text.h"
#include "loader_app.h"
#include "pty_pair.h"
#include "receiver_link.h"
#include "scripted_ui.h"
#include "test_clocks.h"

namespace zamel::testing {
namespace {

// The status view's texts over a fresh working directory whose COM ports lead
// nowhere, local time being UTC.
class MainWindowStatusTest : public ::testing::Test {
  protected:
    MainWindowStatusTest() {
        ::setenv("TZ", "UTC", 1);
        ::tzset();
        for (int n = 1; n <= 4; ++n) {
            const std::string port = dir.file("COM" + std::to_string(n));
            if (::symlink("/nonexistent/port", port.c_str()) != 0) ADD_FAILURE() << port;
        }
    }

    TempWorkDir dir;
    ManualClock clock{1'700'000'000'000};  // 22:13:20 UTC
    ScriptedUi ui;
    ReceiverLink link{ui, clock};
    LoaderApp app{link, ui, clock};
    MainWindowStatus status{app, ui};
};

// Files are read again only once changed: a rewritten file shows its new contents.
TEST_F(MainWindowStatusTest, ChosenFilesAreShownWithWhatIsReadFromThem) {
    writeCodeSRecords(dir.path(), "code.srec", codeImageBytes(6'000, 1, "033", 1, 10));
    writeCodeSRecords(dir.path(), "plain.srec", randomImage(3'000, 2));
    writeWholeFile(dir.file("map.img"), mapImageBytes(4'000, 4, "TALVANE BASEMAP"));
    const struct {
        const char* path;
        bool code;
        std::string expected;
    } cases[] = {
        {"", true, "none chosen"},
        {"code.srec", true, "code.srec (version 1.10)"},
        {"plain.srec", true, "plain.srec (no version record)"},
        {"absent.srec", true, "absent.srec (cannot be read)"},
        {".", true, ". (cannot be read)"},
        {"map.img", false, "map.img (map TALVANE BASEMAP)"},
        {"code.srec", false, "code.srec (no map name in the file)"},
    };
    for (const auto& c : cases) {
        setLinkField(c.code ? link.codePath : link.dataPath, c.path);
        EXPECT_EQ(c.code ? status.codeFileText() : status.dataFileText(), c.expected) << c.path;
    }

    writeCodeSRecords(dir.path(), "code.srec", codeImageBytes(7'000, 5, "033", 2, 5));
    writeWholeFile(dir.file("map.img"), mapImageBytes(5'000, 6, "NEW"));
    setLinkField(link.codePath, "code.srec");
    setLinkField(link.dataPath, "map.img");
    EXPECT_EQ(status.codeFileText(), "code.srec (version 2.05)");
    EXPECT_EQ(status.dataFileText(), "map.img (map NEW)");
}

TEST_F(MainWindowStatusTest, ReceiverExpertModeAndLastUploadBeforeAndAfterASearchInVain) {
    EXPECT_EQ(status.receiverText(), "none identified yet");
    EXPECT_EQ(status.portText(), "");
    EXPECT_EQ(status.expertText(), "off");
    EXPECT_EQ(status.lastUploadText(), "none yet");

    ui.expectDialog("Establishing Communication with Receiver",
                    [](DialogController& c) { c.onCancel(); });
    app.upload();
    EXPECT_EQ(status.receiverText(), "none identified yet");
    EXPECT_EQ(status.lastUploadText(), "Not started: no receiver found (22:13:20)");
    EXPECT_FALSE(status.lastUploadFailed());

    link.expertUpload = true;
    link.comIndex = 1;
    link.baud = 9600;
    EXPECT_EQ(status.expertText(), "on: COM2 at 9600 baud, without identification");
    EXPECT_EQ(ui.pendingQuestions(), 0u);
}

}  // namespace
}  // namespace zamel::testing
