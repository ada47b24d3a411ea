#include "personalizer_dialog.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "default_settings.h"
#include "flow_fixture.h"
#include "ini_profile.h"
#include "recording_ui.h"
#include "scratch_dir.h"

namespace tagwright {
namespace {

using testing::AmberLayout;
using testing::readFile;
using testing::RecordingUi;
using testing::ScratchDir;
using testing::writeFile;

std::string notFound(const std::string& searchText) {
    return "Could not find \"" + searchText +
           "\" string in firmware.  Please read trouble shooting section in "
           "ReadMeTagwright.txt\n";
}

std::string padded(const std::string& text, std::size_t length) {
    return text + std::string(length - text.size(), ' ');
}

// A window's controller over a real PersonalizerApp on a prepared working
// directory; starts and pauses are recorded in one event list.
class PersonalizerDialogTest : public ::testing::Test {
  protected:
    void SetUp() override {
        testing::prepareWorkDir(dir.path());
        ASSERT_TRUE(app.setWorkDir(dir.path()));
        app.loadSettings();
        ASSERT_TRUE(app.loadFirmware());
    }

    std::vector<std::string> shownTexts() const {
        std::vector<std::string> texts;
        for (const auto& shown : ui.shown) {
            texts.push_back(shown.text);
        }
        return texts;
    }

    std::string settings() const { return readFile(dir.file("Tagwright.ini")); }
    std::string readMe() const { return dir.file("ReadMeTagwright.txt"); }

    ScratchDir dir;
    RecordingUi ui;
    testing::RecordingStarter starter;
    PersonalizerApp app{ui};
    HandOff handOff{dir.path(), "", ui, starter};
    std::vector<std::string> pauses;
    PersonalizerDialog dialog{app, ui, handOff, [this](std::chrono::milliseconds pause) {
                                  pauses.push_back(std::to_string(starter.starts.size()) +
                                                   " started, then " +
                                                   std::to_string(pause.count()) + " ms");
                              }};
};

TEST_F(PersonalizerDialogTest, WindowStartChecksTheChosenButtonsAndShowsTheThreeGroups) {
    dialog.onInit();

    for (int family = 0; family < PersonalizerDialog::kFamilyCount; ++family) {
        EXPECT_EQ(dialog.familyChecked(family), family == 0) << family;
    }
    for (int language = 0; language < PersonalizerDialog::kLanguageCount; ++language) {
        EXPECT_EQ(dialog.languageChecked(language), language == 0) << language;
    }
    EXPECT_EQ(dialog.factoryText(0), "WARNING!");
    EXPECT_EQ(dialog.factoryText(1), testing::kAmberMessage);
    EXPECT_EQ(dialog.factoryText(2), "PRESS ENTER TO AGREE");
    EXPECT_EQ(dialog.caption(0), "Menu Name\r( 11 chars max )");
    EXPECT_EQ(dialog.caption(1), "Disclaimer\r( 42 chars max )");
    EXPECT_EQ(dialog.caption(2), "Acknowledgement\r( 20 chars max )");
    EXPECT_EQ(dialog.editLimit(0), AmberLayout::kTitleLimit);
    EXPECT_EQ(dialog.editLimit(1), AmberLayout::kMessageLimit);
    EXPECT_EQ(dialog.editLimit(2), AmberLayout::kAgreeLimit);
    EXPECT_TRUE(ui.shown.empty());
    EXPECT_FALSE(dialog.ended());
}

TEST_F(PersonalizerDialogTest, SavedTextsAreShownWithTheirLineBreaks) {
    ASSERT_TRUE(app.writePersonalizedSetting("Title", "MY GPS"));
    ASSERT_TRUE(app.writePersonalizedSetting("Message", "Line one\\nLine two"));
    ASSERT_TRUE(app.writePersonalizedSetting("Agree", "OK\\nGO"));
    app.loadSettings();

    dialog.onInit();

    EXPECT_EQ(dialog.personalText(0), "MY GPS");
    EXPECT_EQ(dialog.personalText(1), "Line one\r\nLine two");
    EXPECT_EQ(dialog.personalText(2), "OK\r\nGO");
}

TEST_F(PersonalizerDialogTest, ChoiceOutsideTheButtonsChecksNone) {
    app.familyIndex = 7;
    app.languageIndex = -1;

    dialog.onInit();

    for (int family = 0; family < PersonalizerDialog::kFamilyCount; ++family) {
        EXPECT_FALSE(dialog.familyChecked(family)) << family;
    }
    for (int language = 0; language < PersonalizerDialog::kLanguageCount; ++language) {
        EXPECT_FALSE(dialog.languageChecked(language)) << language;
    }
}

TEST_F(PersonalizerDialogTest, FamilyButtonsWriteTheirValueAndReloadThatFirmware) {
    // The second button on screen, "TalvOlive", stands for 2.
    const struct {
        int family;
        const char* setting;
        const char* message;
        int messageLimit;
    } cases[] = {
        {2, "CorvathGPS=2\r\n", testing::kOliveMessage, 35},
        {0, "CorvathGPS=0\r\n", testing::kAmberMessage, AmberLayout::kMessageLimit},
    };
    dialog.onInit();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.family);
        dialog.onFamilyChosen(c.family);

        EXPECT_NE(settings().find(c.setting), std::string::npos);
        EXPECT_EQ(app.familyIndex, c.family);
        for (int family = 0; family < PersonalizerDialog::kFamilyCount; ++family) {
            EXPECT_EQ(dialog.familyChecked(family), family == c.family);
        }
        EXPECT_EQ(dialog.factoryText(1), c.message);
        EXPECT_EQ(dialog.editLimit(1), c.messageLimit);
        EXPECT_FALSE(dialog.ended());
    }
    EXPECT_TRUE(ui.shown.empty());
}

TEST_F(PersonalizerDialogTest, FamilyWithoutItsFirmwareOffersTheReadMeAndEnds) {
    dialog.onInit();

    dialog.onFamilyChosen(1);

    ASSERT_EQ(ui.shown.size(), 1u);
    EXPECT_EQ(ui.shown[0].text, "Could not find firmware file: " + dir.file("vesta209.sre") +
                                    ".\rPlease read help file.");
    EXPECT_EQ(ui.shown[0].icon, MessageIcon::Error);
    ASSERT_EQ(starter.starts.size(), 1u);
    EXPECT_EQ(starter.starts[0].program, "xdg-open");
    EXPECT_EQ(starter.starts[0].arguments, std::vector<std::string>{readMe()});
    EXPECT_TRUE(dialog.ended());
    // The family that could not be loaded is not remembered.
    EXPECT_NE(settings().find("CorvathGPS=0\r\n"), std::string::npos);
    EXPECT_EQ(settings().find("CorvathGPS=1"), std::string::npos);
}

TEST_F(PersonalizerDialogTest, LanguageButtonRereadsTheSettingsButNotTheFirmware) {
    dialog.onInit();
    ASSERT_EQ(::unlink(dir.file("tambr312.hex").c_str()), 0);

    dialog.onLanguageChosen(1);

    EXPECT_NE(settings().find("Language=1\r\n"), std::string::npos);
    for (int language = 0; language < PersonalizerDialog::kLanguageCount; ++language) {
        EXPECT_EQ(dialog.languageChecked(language), language == 1) << language;
    }
    EXPECT_EQ(dialog.factoryText(0), "ATTENTION!");
    EXPECT_EQ(dialog.factoryText(1), testing::kFrenchMessage);
    EXPECT_EQ(dialog.factoryText(2), "TAPER ENTER POUR VALIDER");
    EXPECT_EQ(dialog.editLimit(0), AmberLayout::kFrenchTitleLimit);
    EXPECT_EQ(dialog.editLimit(1), AmberLayout::kFrenchMessageLimit);
    EXPECT_EQ(dialog.editLimit(2), AmberLayout::kFrenchAgreeLimit);
    EXPECT_TRUE(ui.shown.empty());
}

TEST_F(PersonalizerDialogTest, LanguageWhoseTextsAreMissingLeavesTheWindowUsable) {
    dialog.onInit();

    dialog.onLanguageChosen(2);

    EXPECT_EQ(shownTexts(),
              (std::vector<std::string>{notFound("Alle Daten diene"), notFound("ENTER F\xDC")}));
    EXPECT_FALSE(dialog.ended());
    for (int group = 0; group < PersonalizerDialog::kGroupCount; ++group) {
        EXPECT_EQ(dialog.factoryText(group), "") << group;
        // Nothing typed there could reach the firmware.
        EXPECT_EQ(dialog.editLimit(group), 0) << group;
        EXPECT_EQ(dialog.charactersLeftText(group, 0), "not found") << group;
    }
}

// Saving without the factory texts would write the factory firmware unchanged
// under the personalized name and call that a success: it is refused.
TEST_F(PersonalizerDialogTest, SaveIsOffWhileAnyFactoryTextIsNotFound) {
    dialog.onInit();
    EXPECT_TRUE(dialog.saveEnabled());
    EXPECT_EQ(dialog.saveBlockedText(), "");
    const std::string settingsBefore = settings();

    const struct {
        const char* searchKey;
        std::string blocked;
    } cases[] = {
        {"EnglishTitle", "the factory menu name of this language was not found in "},
        {"English", "the factory disclaimer of this language was not found in "},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.blocked);
        writeFile(dir.file("Tagwright.ini"), settingsBefore);
        ASSERT_TRUE(writeProfileString(app.settingsPath, familySectionName(0), c.searchKey,
                                       "NOT IN THE FIRMWARE"));
        dialog.onLanguageChosen(0);
        EXPECT_FALSE(dialog.saveEnabled());
        EXPECT_EQ(dialog.saveBlockedText(),
                  "Saving is off: " + c.blocked + dir.file("tambr312.hex") + ".");
        ui.shown.clear();
        dialog.onSaveChanges({"MY GPS", "", ""});
        EXPECT_TRUE(ui.shown.empty());
        EXPECT_FALSE(dialog.ended());
        EXPECT_NE(::access(dir.file("personal.hex").c_str(), F_OK), 0);
        EXPECT_EQ(settings().find("Title=MY GPS"), std::string::npos);
    }
    writeFile(dir.file("Tagwright.ini"), settingsBefore);
    dialog.onLanguageChosen(0);
    EXPECT_TRUE(dialog.saveEnabled());
}

TEST_F(PersonalizerDialogTest, FieldsShowTheRoomLeftAndTellEditsFromTheTextsShown) {
    ASSERT_TRUE(app.writePersonalizedSetting("Message", "Line one\\nLine two"));
    app.loadSettings();
    dialog.onInit();

    const struct {
        int group;
        int used;
        const char* left;
    } rooms[] = {
        {0, 0, "11 chars left"}, {0, 11, "0 chars left"},    {1, 44, "2 chars too many"},
        {2, 19, "1 char left"},  {2, 21, "1 char too many"},
    };
    for (const auto& c : rooms) {
        EXPECT_EQ(dialog.charactersLeftText(c.group, c.used), c.left) << c.group << " " << c.used;
    }

    const PersonalizerDialog::Texts shown = {"", "Line one\r\nLine two", ""};
    EXPECT_FALSE(dialog.hasUnsavedEdits(shown));
    for (int group = 0; group < PersonalizerDialog::kGroupCount; ++group) {
        PersonalizerDialog::Texts edited = shown;
        edited[group] += "x";
        EXPECT_TRUE(dialog.hasUnsavedEdits(edited)) << group;
    }
}

TEST_F(PersonalizerDialogTest, SaveWritesSettingsAndFirmwareThenEndsWhenTheLoaderIsDeclined) {
    dialog.onInit();
    ui.answers = {MessageAnswer::Ok, MessageAnswer::No};

    dialog.onSaveChanges({"MY GPS", "Line one\r\nLine two", "OK"});

    EXPECT_EQ(shownTexts(),
              (std::vector<std::string>{
                  "Personalized firmware saved as " + dir.file("personal.hex"),
                  "Would you like me to start Corvath's firmware upload program?\r     (Answer yes "
                  "to upload your personalized firmware)"}));
    ASSERT_EQ(ui.shown.size(), 2u);
    EXPECT_EQ(ui.shown[1].icon, MessageIcon::Question);
    EXPECT_EQ(ui.shown[1].buttons, MessageButtons::YesNo);
    EXPECT_TRUE(dialog.ended());
    EXPECT_TRUE(starter.starts.empty());
    EXPECT_TRUE(pauses.empty());

    const std::string written = settings();
    EXPECT_NE(written.find("Title=MY GPS\r\n"), std::string::npos);
    EXPECT_NE(written.find("Message=Line one\\nLine two\r\n"), std::string::npos);
    EXPECT_NE(written.find("Agree=OK\r\n"), std::string::npos);

    testing::FirmwareImageBuilder expected = testing::amberImage();
    expected.place(AmberLayout::kTitle, padded("MY GPS", AmberLayout::kTitleLimit));
    expected.place(AmberLayout::kMessage,
                   padded("Line one\r\nLine two", AmberLayout::kMessageLimit));
    expected.place(AmberLayout::kAgree, padded("OK", AmberLayout::kAgreeLimit));
    EXPECT_EQ(readFile(dir.file("personal.hex")), expected.build());
}

TEST_F(PersonalizerDialogTest, YesStartsTheLoaderPausesAndOpensTheReadMe) {
    writeFile(dir.file("zamel"), "");
    dialog.onInit();
    ui.answers = {MessageAnswer::Ok, MessageAnswer::Yes};

    dialog.onSaveChanges({"", "", ""});

    ASSERT_EQ(starter.starts.size(), 2u);
    EXPECT_EQ(starter.starts[0].program, dir.file("zamel"));
    // The loader gets the personalized file chosen as its code file.
    EXPECT_EQ(starter.starts[0].arguments,
              (std::vector<std::string>{"--", dir.file("personal.hex")}));
    EXPECT_EQ(pauses, std::vector<std::string>{"1 started, then 1000 ms"});
    EXPECT_EQ(starter.starts[1].program, "xdg-open");
    EXPECT_EQ(starter.starts[1].arguments, std::vector<std::string>{readMe()});
    EXPECT_EQ(ui.shown.size(), 2u);
    EXPECT_TRUE(dialog.ended());
}

TEST_F(PersonalizerDialogTest, YesWithoutTheLoaderStillOpensTheReadMe) {
    dialog.onInit();
    ui.answers = {MessageAnswer::Ok, MessageAnswer::Yes};

    dialog.onSaveChanges({"", "", ""});

    ASSERT_EQ(ui.shown.size(), 3u);
    EXPECT_EQ(ui.shown[2].text, "Could not find file " + dir.file("zamel"));
    EXPECT_EQ(ui.shown[2].icon, MessageIcon::Error);
    EXPECT_EQ(pauses, std::vector<std::string>{"0 started, then 1000 ms"});
    ASSERT_EQ(starter.starts.size(), 1u);
    EXPECT_EQ(starter.starts[0].program, "xdg-open");
}

TEST_F(PersonalizerDialogTest, FailedFirmwareWriteDoesNotOfferTheLoader) {
    dialog.onInit();
    app.personalFile = dir.file("no-such-directory/personal.hex");

    dialog.onSaveChanges({"MY GPS", "", ""});

    ASSERT_FALSE(ui.shown.empty());
    for (const auto& shown : ui.shown) {
        EXPECT_NE(shown.buttons, MessageButtons::YesNo) << shown.text;
    }
    EXPECT_TRUE(starter.starts.empty());
    EXPECT_TRUE(dialog.ended());
}

TEST_F(PersonalizerDialogTest, SavedTextsAreCutToWhatTheSettingsKeep) {
    dialog.onInit();

    dialog.onSaveChanges({std::string(300, 'T'), std::string(300, 'M'), ""});

    EXPECT_EQ(app.title().personalText, std::string(254, 'T'));
    EXPECT_EQ(app.message().personalText, std::string(254, 'M'));
    EXPECT_NE(settings().find("Title=" + std::string(254, 'T') + "\r\n"), std::string::npos);
}

TEST_F(PersonalizerDialogTest, ExitWritesNothingAndAsksFirstWhenTextsWereEdited) {
    dialog.onInit();
    const std::string before = settings();
    const struct {
        bool edited;
        MessageAnswer answer;
        bool asked;
        bool ends;
    } cases[] = {
        {false, MessageAnswer::Yes, false, true},
        {true, MessageAnswer::No, true, false},
        {true, MessageAnswer::Yes, true, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.edited << " " << static_cast<int>(c.answer));
        PersonalizerDialog caseDialog(app, ui, handOff, [](std::chrono::milliseconds) {});
        caseDialog.onInit();
        ui.shown.clear();
        ui.answers = {c.answer};

        caseDialog.onExit(c.edited);

        EXPECT_EQ(caseDialog.ended(), c.ends);
        ASSERT_EQ(ui.shown.size(), c.asked ? 1u : 0u);
        if (c.asked) {
            EXPECT_EQ(ui.shown[0].text, PersonalizerDialog::kUnsavedQuestion);
            EXPECT_EQ(ui.shown[0].icon, MessageIcon::Question);
            // Losing the texts is not the default.
            EXPECT_EQ(ui.shown[0].buttons, MessageButtons::YesNoDefaultNo);
        }
    }
    EXPECT_EQ(settings(), before);
    EXPECT_NE(::access(dir.file("personal.hex").c_str(), F_OK), 0);
}

TEST_F(PersonalizerDialogTest, HelpOpensTheReadMeOrSaysItIsMissing) {
    dialog.onHelp();
    ASSERT_EQ(starter.starts.size(), 1u);
    EXPECT_EQ(starter.starts[0].arguments, std::vector<std::string>{readMe()});

    ASSERT_EQ(::unlink(readMe().c_str()), 0);
    dialog.onHelp();
    EXPECT_EQ(starter.starts.size(), 1u);
    EXPECT_EQ(shownTexts(), std::vector<std::string>{"Could not find help file " + readMe()});
    EXPECT_FALSE(dialog.ended());
}

// A directory where the settings file should be makes every write fail.
class UnwritableSettingsTest : public PersonalizerDialogTest {
  protected:
    void SetUp() override {
        PersonalizerDialogTest::SetUp();
        dialog.onInit();
        ASSERT_EQ(::unlink(dir.file("Tagwright.ini").c_str()), 0);
        ASSERT_EQ(::mkdir(dir.file("Tagwright.ini").c_str(), 0755), 0);
    }
};

TEST_F(UnwritableSettingsTest, ChoiceThatCannotBeWrittenIsReportedAndChangesNothing) {
    dialog.onFamilyChosen(2);
    dialog.onLanguageChosen(1);

    EXPECT_EQ(shownTexts(), (std::vector<std::string>{
                                "Could not write CorvathGPS into " + dir.file("Tagwright.ini"),
                                "Could not write Language into " + dir.file("Tagwright.ini")}));
    EXPECT_TRUE(dialog.familyChecked(0));
    EXPECT_FALSE(dialog.familyChecked(2));
    EXPECT_TRUE(dialog.languageChecked(0));
    EXPECT_FALSE(dialog.languageChecked(1));
    EXPECT_EQ(dialog.factoryText(1), testing::kAmberMessage);
    EXPECT_FALSE(dialog.ended());
}

TEST_F(UnwritableSettingsTest, SaveReportsTheSettingsOnceAndStillWritesTheFirmware) {
    ui.answers = {MessageAnswer::Ok, MessageAnswer::Ok, MessageAnswer::No};

    dialog.onSaveChanges({"MY GPS", "", ""});

    ASSERT_EQ(ui.shown.size(), 3u);
    EXPECT_EQ(ui.shown[0].text,
              "Could not write the personalized texts into " + dir.file("Tagwright.ini"));
    EXPECT_EQ(ui.shown[0].icon, MessageIcon::Error);
    EXPECT_EQ(ui.shown[1].text, "Personalized firmware saved as " + dir.file("personal.hex"));
    EXPECT_EQ(ui.shown[2].buttons, MessageButtons::YesNo);
    testing::FirmwareImageBuilder expected = testing::amberImage();
    expected.place(AmberLayout::kTitle, padded("MY GPS", AmberLayout::kTitleLimit));
    expected.place(AmberLayout::kMessage, std::string(AmberLayout::kMessageLimit, ' '));
    expected.place(AmberLayout::kAgree, std::string(AmberLayout::kAgreeLimit, ' '));
    EXPECT_EQ(readFile(dir.file("personal.hex")), expected.build());
}

}  // namespace
}  // namespace tagwright
