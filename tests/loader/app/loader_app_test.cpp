#include "loader_app.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <array>
#include <string>

#include "expert_setup_dialog.h"
#include "package_file.h"
#include "pty_pair.h"
#include "receiver_link.h"
#include "scripted_ui.h"
#include "test_clocks.h"

namespace zamel::testing {
namespace {

// zamel.ini read as the program reads it at start-up, in a fresh working directory.
class PackageFileTest : public ::testing::Test {
  protected:
    void package(const std::string& text) { writeWholeFile("zamel.ini", text); }

    TempWorkDir dir;
    ManualClock clock;
    ScriptedUi ui;
    ReceiverLink link{ui, clock};
    LoaderApp app{link, ui, clock};
};

TEST_F(PackageFileTest, SectionNameMatchesAModelWithoutRegardToCaseAfterOtherSections) {
    writeWholeFile("map.img", "map");
    package(
        "[Other]\nCODE=other.hex\nx\nMAP=other.img\n1234567Other\n"
        "[tRaIlIx]\r\nCODE=trailix.hex\r\nVERSION\r\nMAP=map.img\r\nNAMEKEYTrailix map\r\n");
    app.readPackage();
    EXPECT_FALSE(app.packageMissing);
    EXPECT_EQ(app.packageUnitType, 10);
    EXPECT_STREQ(link.codePath, "trailix.hex");
    EXPECT_TRUE(link.codeSelected);
    EXPECT_STREQ(link.dataPath, "map.img");
    EXPECT_TRUE(link.dataSelected);
    EXPECT_STREQ(link.mapName, "Trailix map");
    EXPECT_FALSE(app.uploadEnabled());
}

TEST_F(PackageFileTest, MissingMapFileAndNoCodeLeaveNoPackage) {
    package("[Talvane]\nCODE=\nx\nMAP=absent.img\n1234567Name\n");
    app.readPackage();
    EXPECT_FALSE(link.dataSelected);
    EXPECT_FALSE(link.codeSelected);
    EXPECT_TRUE(app.packageMissing);
    EXPECT_EQ(app.packageUnitType, 7);
    EXPECT_TRUE(app.uploadEnabled());
}

TEST_F(PackageFileTest, LinesAreReadInFixedWidthPieces) {
    // A header behind 39 other characters is found only in the second piece of the
    // line, so the piece must start with '['; a 79-character read cuts CODE= short.
    const std::string longPath(90, 'c');
    package(std::string(39, '-') + "[PLT430]\nCODE=" + longPath + "\n");
    const auto section = readPackageFile("zamel.ini").section;
    ASSERT_TRUE(section);
    EXPECT_EQ(section->unitType, 5);
    EXPECT_EQ(section->lines[0], "CODE=" + std::string(74, 'c'));
    EXPECT_EQ(section->lines[1], std::string(16, 'c'));
    EXPECT_EQ(packageValue("code=x", "CODE="), "");
    // No file, or no section of a known model: no package.
    EXPECT_FALSE(readPackageFile("absent.ini").fileFound);
    package("[Talvane 2]\nCODE=x\n");
    EXPECT_FALSE(readPackageFile("zamel.ini").section);
}

// A zamel.ini that yields no package says why; the window's status bar says it
// was not used.
TEST_F(PackageFileTest, FileWithoutAPackageSaysWhy) {
    const struct {
        std::string text;
        std::string problem;
    } cases[] = {
        {"[Talvan]\nCODE=c.srec\n[Other]\n",
         "no section names a receiver model (it has [Talvan], [Other]); the models are "
         "[NAV415/420], [PLT430], [Geodra2], [Talvane], [Talvane GPS], [Trailix], "
         "[Trailix Map/Pro], [KX 524]"},
        {"[Talvane]\n\nCODE=c.srec\nVERSION=1\nMAP=m.img\n",
         "line 1 after [Talvane] is not \"CODE=...\" but empty; line 3 after [Talvane] is not "
         "\"MAP=...\" but \"VERSION=1\""},
        {"[talvane]\nMAP=m.img\nVERSION=1\nCODE=c.srec\nKEY\n",
         "line 1 after [talvane] is not \"CODE=...\" but \"MAP=m.img\"; line 3 after [talvane] "
         "is not \"MAP=...\" but \"CODE=c.srec\""},
        {"[Talvane]\nCODE=\nV\nMAP=absent.img\nNAMEKEYName\n",
         "\"CODE=\" names no file; the map file \"absent.img\" cannot be read (No such file or "
         "directory)"},
        {"[Talvane]\nCODE=\n",
         "\"CODE=\" names no file; the file ends before line 3 (\"MAP=...\")"},
    };
    for (const auto& c : cases) {
        package(c.text);
        ScriptedUi statusUi;
        ReceiverLink statusLink{statusUi, clock};
        LoaderApp fresh{statusLink, statusUi, clock};
        fresh.start();
        EXPECT_TRUE(fresh.packageMissing) << c.text;
        EXPECT_EQ(fresh.packageProblem, c.problem) << c.text;
        ASSERT_EQ(statusUi.statusTexts().size(), 1u) << c.text;
        EXPECT_EQ(statusUi.statusTexts()[0], "zamel.ini not used: " + c.problem);
    }
    // No file at all is no problem to report.
    ::unlink("zamel.ini");
    app.start();
    EXPECT_FALSE(app.packageFileFound);
    EXPECT_EQ(app.packageProblem, "");
    EXPECT_TRUE(ui.statusTexts().empty());
}

// A package written on Windows reads as its twin with LF line ends, whatever the
// lengths of its lines: a CR LF split by a read is still one line end.
TEST_F(PackageFileTest, CrLfReadsAsLfWhateverTheLineLengths) {
    const auto lines = [](const std::string& text) {
        writeWholeFile("zamel.ini", text);
        const auto section = readPackageFile("zamel.ini").section;
        return section ? section->lines : std::array<std::string, 4>{"no section"};
    };
    for (std::size_t headerLength = 30; headerLength <= 42; ++headerLength) {
        for (std::size_t codeLength = 70; codeLength <= 85; ++codeLength) {
            const std::string header = "[KX 524]" + std::string(headerLength - 8, ' ');
            const std::string code = "CODE=" + std::string(codeLength - 5, 'c');
            std::string lf = header + "\n" + code + "\nVERSION\nMAP=m.img\nNAMEKEY\n";
            std::string crlf;
            for (const char c : lf) crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
            EXPECT_EQ(lines(crlf), lines(lf)) << headerLength << " " << codeLength;
        }
    }
    // And the lines are the ones written when they fit a read.
    package("[KX 524]\r\nCODE=" + std::string(73, 'c') + "\r\nVERSION\r\nMAP=m.img\r\nNAMEKEY\r\n");
    EXPECT_EQ(readPackageFile("zamel.ini").section->lines[2], "MAP=m.img");
}

TEST_F(PackageFileTest, ExpertModeEnablesUploadBesideAPackageAndAutoTurnsItOff) {
    package("[KX 524]\nCODE=kx.hex\n");
    app.readPackage();
    ASSERT_FALSE(app.packageMissing);
    EXPECT_FALSE(app.uploadEnabled());

    ui.expectDialog("Expert Setup", [](DialogController& c) {
        auto& setup = static_cast<ExpertSetupDialog&>(c);
        setup.setExpertChoice(1);
        setup.onOk();
    });
    app.expertSetup();
    EXPECT_TRUE(link.expertUpload);
    EXPECT_TRUE(app.uploadEnabled());

    // Going on with the automatic upload turns expert mode off, even when the user
    // then stops the search for the receiver.
    ui.expectChoice("Upload", "YES");
    ui.expectDialog("Establishing Communication with Receiver",
                    [](DialogController& c) { c.onCancel(); });
    app.autoUpload();
    EXPECT_FALSE(link.expertUpload);
    EXPECT_FALSE(link.autoMode || link.codeSelected);
    EXPECT_TRUE(app.uploadEnabled() == app.packageMissing);
    EXPECT_EQ(ui.pendingQuestions(), 0u);
}

// Expert mode goes no further than the port that will not open: no reminder, no
// questions about files for a receiver that cannot be reached.
TEST_F(PackageFileTest, ExpertUploadStopsWhenItsPortWillNotOpen) {
    ASSERT_EQ(::symlink((dir.path() + "/no-such-tty").c_str(), "COM1"), 0);
    link.expertUpload = true;
    link.receiverClass = ReceiverClass::FlashMapping;
    ui.expectMessage("COULD NOT OPEN COM PORT\nCOM1 " + dir.path() +
                         "/no-such-tty (through COM1 in the working directory): no device",
                     "ERROR", MessageIcon::Information);
    app.upload();
    EXPECT_EQ(ui.pendingQuestions(), 0u);
    EXPECT_EQ(ui.askedTexts().size(), 1u);
    ASSERT_EQ(app.session().lastUploads.size(), 1u);
    EXPECT_EQ(app.session().lastUploads[0].text, LoaderApp::kNoReceiverFound);
}

}  // namespace
}  // namespace zamel::testing
