#include "loader_app.h"

#include <gtest/gtest.h>

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
    package("[Other]\nCODE=other.hex\nx\nMAP=other.img\n1234567Other\n"
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
    const auto section = readPackageSection("zamel.ini");
    ASSERT_TRUE(section);
    EXPECT_EQ(section->unitType, 5);
    EXPECT_EQ(section->lines[0], "CODE=" + std::string(74, 'c'));
    EXPECT_EQ(section->lines[1], std::string(16, 'c'));
    EXPECT_EQ(packageValue("code=x", "CODE="), "");
    // No file, or no section of a known model: no package.
    EXPECT_FALSE(readPackageSection("absent.ini"));
    package("[Talvane 2]\nCODE=x\n");
    EXPECT_FALSE(readPackageSection("zamel.ini"));
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

}  // namespace
}  // namespace zamel::testing
