#include "personalizer_startup.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <functional>

#include "flow_fixture.h"
#include "recording_ui.h"
#include "scratch_dir.h"

namespace tagwright {
namespace {

using testing::RecordingUi;
using testing::ScratchDir;
using testing::writeFile;

constexpr const char* kStartupWarning =
    "   This program modifies the factory\rmessage in the Corvath Talvane\ror Plt430 "
    "firmware.\r\r   You assume full responsibility and\r risk when using this program!";

// A window that plays the user's part through a script.
class ScriptedWindow final : public PersonalizerWindow {
  public:
    void run(PersonalizerDialog& dialog) override {
        ++runs;
        if (script) {
            script(dialog);
        }
    }

    std::function<void(PersonalizerDialog&)> script;
    int runs = 0;
};

class PersonalizerStartupTest : public ::testing::Test {
  protected:
    StartupOutcome run() {
        return runPersonalizer(app,
                               StartupPorts{ui, starter, window, [](auto) {}, programDir.path()});
    }

    ScratchDir dir;
    ScratchDir programDir;
    RecordingUi ui;
    testing::RecordingStarter starter;
    ScriptedWindow window;
    PersonalizerApp app{ui};
};

TEST_F(PersonalizerStartupTest, WarnsThenRunsTheWindowOnTheWorkingDirectory) {
    testing::prepareWorkDir(dir.path());
    testing::CurrentDirectory cwd(dir.path());
    std::string shownTitle;
    window.script = [&](PersonalizerDialog& dialog) {
        dialog.onInit();
        shownTitle = dialog.factoryText(0);
        dialog.onExit(false);
    };

    EXPECT_EQ(run(), StartupOutcome::WindowClosed);

    ASSERT_EQ(ui.shown.size(), 1u);
    EXPECT_EQ(ui.shown[0].text, kStartupWarning);
    EXPECT_EQ(ui.shown[0].icon, MessageIcon::Warning);
    EXPECT_EQ(ui.shown[0].buttons, MessageButtons::Ok);
    EXPECT_EQ(window.runs, 1);
    EXPECT_EQ(shownTitle, "WARNING!");
    EXPECT_EQ(app.workDir, dir.path());
    EXPECT_EQ(app.settingsPath, dir.file("Tagwright.ini"));
}

TEST_F(PersonalizerStartupTest, MissingFactoryFirmwareOffersTheReadMeAndEnds) {
    testing::prepareWorkDir(dir.path());
    ASSERT_EQ(::unlink(dir.file("tambr312.hex").c_str()), 0);
    testing::CurrentDirectory cwd(dir.path());

    EXPECT_EQ(run(), StartupOutcome::FirmwareMissing);

    ASSERT_EQ(ui.shown.size(), 2u);
    EXPECT_EQ(ui.shown[0].text, kStartupWarning);
    EXPECT_EQ(ui.shown[1].text, "Could not find firmware file: " + dir.file("tambr312.hex") +
                                    ".  Please read trouble shooting section in "
                                    "ReadMeTagwright.txt");
    EXPECT_EQ(ui.shown[1].icon, MessageIcon::Error);
    ASSERT_EQ(starter.starts.size(), 1u);
    EXPECT_EQ(starter.starts[0].program, "xdg-open");
    EXPECT_EQ(starter.starts[0].arguments,
              std::vector<std::string>{dir.file("ReadMeTagwright.txt")});
    EXPECT_EQ(window.runs, 0);
}

TEST_F(PersonalizerStartupTest, FamilyWithoutFirmwareDoesNotLockTheNextStartOut) {
    testing::prepareWorkDir(dir.path());
    testing::CurrentDirectory cwd(dir.path());
    window.script = [](PersonalizerDialog& dialog) {
        dialog.onInit();
        dialog.onFamilyChosen(1);  // Plt 430, whose firmware is not there
    };
    EXPECT_EQ(run(), StartupOutcome::WindowClosed);
    ASSERT_EQ(ui.shown.size(), 2u);
    EXPECT_EQ(ui.shown[1].text, "Could not find firmware file: " + dir.file("vesta209.sre") +
                                    ".\rPlease read help file.");

    std::string shownMessage;
    window.script = [&](PersonalizerDialog& dialog) {
        dialog.onInit();
        EXPECT_TRUE(dialog.familyChecked(0));
        shownMessage = dialog.factoryText(1);
        dialog.onExit(false);
    };
    PersonalizerApp secondApp{ui};
    EXPECT_EQ(runPersonalizer(secondApp, StartupPorts{ui, starter, window, [](auto) {}, ""}),
              StartupOutcome::WindowClosed);
    EXPECT_EQ(window.runs, 2);
    EXPECT_EQ(shownMessage, testing::kAmberMessage);
}

TEST_F(PersonalizerStartupTest, FirstStartWithoutAnyFirmwareNamesTheFilesOfEachFamily) {
    writeFile(programDir.file("ReadMeTagwright.txt"), "Shipped read-me.\n");
    testing::CurrentDirectory cwd(dir.path());

    EXPECT_EQ(run(), StartupOutcome::FirmwareMissing);

    ASSERT_EQ(ui.shown.size(), 3u);
    EXPECT_EQ(ui.shown[1].text, "Could not find firmware file: " + dir.file("tambr312.hex") +
                                    ".  Please read trouble shooting section in "
                                    "ReadMeTagwright.txt");
    EXPECT_EQ(ui.shown[2].text,
              "No factory firmware of any receiver family was found. Tagwright expects:\r"
              "   TalvAmber/Cob:  " +
                  dir.file("tambr312.hex") + "\r" + "   TalvOlive:  " + dir.file("tnav312.hex") +
                  "\r" + "   Plt 430:  " + dir.file("vesta209.sre") + "\r" +
                  "Copy your receiver's factory firmware to the name of its family, or give its "
                  "name as FactoryFilename in that family's section of " +
                  dir.file("Tagwright.ini") + ".");
    EXPECT_EQ(ui.shown[2].icon, MessageIcon::Information);
    // The read-me shipped with the program is offered: the directory has none.
    ASSERT_EQ(starter.starts.size(), 1u);
    EXPECT_EQ(starter.starts[0].arguments,
              std::vector<std::string>{programDir.file("ReadMeTagwright.txt")});

    // With one family's firmware present the names are not repeated.
    writeFile(dir.file("tnav312.hex"), "S0030000FC\r\n");
    ui.shown.clear();
    EXPECT_EQ(run(), StartupOutcome::FirmwareMissing);
    EXPECT_EQ(ui.shown.size(), 2u);
}

TEST_F(PersonalizerStartupTest, MissingDisclaimerKeyStopsBeforeTheWarning) {
    testing::prepareWorkDir(dir.path());
    // Nederlands has no keys in the first family's section.
    writeFile(dir.file("Tagwright.ini"), testing::settingsText(dir.path(), 0, 3));
    testing::CurrentDirectory cwd(dir.path());

    EXPECT_EQ(run(), StartupOutcome::SettingsUnreadable);

    ASSERT_EQ(ui.shown.size(), 1u);
    EXPECT_EQ(ui.shown[0].text, "Problem reading " + dir.file("Tagwright.ini") + "\n");
    EXPECT_EQ(ui.shown[0].icon, MessageIcon::Error);
    EXPECT_TRUE(starter.starts.empty());
    EXPECT_EQ(window.runs, 0);
}

TEST_F(PersonalizerStartupTest, WorkingDirectoryThatCannotBeHadEndsAtOnce) {
    // One directory removed while it is current, one whose name is longer
    // than a path may be.
    const std::string removed = dir.file("removed");
    std::string deep = dir.path();
    while (deep.size() <= kPathCapacity) {
        deep += "/" + std::string(40, 'd');
        ASSERT_EQ(::mkdir(deep.c_str(), 0755), 0);
    }
    ASSERT_EQ(::mkdir(removed.c_str(), 0755), 0);

    for (const std::string& where : {removed, deep}) {
        SCOPED_TRACE(where);
        testing::CurrentDirectory cwd(where);
        if (where == removed) {
            ASSERT_EQ(::rmdir(removed.c_str()), 0);
        }
        ui.shown.clear();

        EXPECT_EQ(run(), StartupOutcome::NoWorkDir);

        ASSERT_EQ(ui.shown.size(), 1u);
        EXPECT_EQ(ui.shown[0].text, "Problems getting the current directory name");
        EXPECT_EQ(ui.shown[0].icon, MessageIcon::Error);
        EXPECT_EQ(window.runs, 0);
    }
}

}  // namespace
}  // namespace tagwright
