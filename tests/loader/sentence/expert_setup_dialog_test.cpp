#include "expert_setup_dialog.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <iterator>
#include <string>

#include "fake_device_tree.h"
#include "pty_pair.h"
#include "receiver_link.h"
#include "receiver_responder.h"
#include "scripted_ui.h"
#include "test_clocks.h"

namespace zamel {
namespace {

constexpr int kTalvane = 3;
constexpr int kOtherPort = ExpertSetupDialog::kOtherPortChoice;
constexpr const char* kOldLine = " 2  0     4800\n";

std::string fileText(const char* path) {
    const auto bytes = testing::readWholeFile(path);
    return std::string(bytes.begin(), bytes.end());
}

std::string unitShown(const ExpertSetupDialog& dialog) {
    return ExpertSetupDialog::kUnitChoices[dialog.unitChoice()].caption;
}

class ExpertSetupDialogTest : public ::testing::Test {
  protected:
    void SetUp() override { link.loadSettings(); }

    // "Save" with "Talvane" on "COM" with this number, expecting the write to fail.
    void saveFailing(const char* portNumber) {
        ui.expectMessage("COULD NOT WRITE\nCONFIGURATION INFO", "ERROR", MessageIcon::Information);
        ExpertSetupDialog dialog(link, ui);
        dialog.setUnitChoice(kTalvane);
        dialog.setPortChoice(kOtherPort);
        dialog.setPortNumberText(portNumber);
        dialog.onSave();
        EXPECT_EQ(ui.pendingQuestions(), 0u);
        EXPECT_TRUE(dialog.ended()) << "closes as after OK";
        EXPECT_EQ(link.unitType, 7) << "the choices stay applied";
        const std::filesystem::directory_iterator entries("."), end;
        EXPECT_EQ(std::distance(entries, end), 1) << "no temporary file left";
    }

    testing::TempWorkDir dir;
    testing::ManualClock clock;
    testing::ScriptedUi ui;
    ReceiverLink link{ui, clock};
};

TEST_F(ExpertSetupDialogTest, ShowsTheDeviceOfEachComButtonAndListsEveryPortPresent) {
    testing::FakeDeviceTree tree;
    link.deviceRoot = tree.root();
    EXPECT_EQ(ExpertSetupDialog(link, ui).portsPresentText(), "No serial port found.");

    for (const char* name : {"ttyS0", "ttyS1", "ttyS2", "ttyS3"}) tree.uart(name, 4);
    tree.node("ttyUSB0");
    ASSERT_EQ(::symlink("/dev/null", "COM2"), 0);
    const ExpertSetupDialog dialog(link, ui);
    const std::string dev = tree.root() + "/dev/";
    const std::string devices[] = {
        dev + "ttyUSB0 (USB adapter)", "/dev/null (through COM2 in the working directory)",
        dev + "ttyS0 (built-in serial port)", dev + "ttyS1 (built-in serial port)"};
    for (int i = 0; i < 4; ++i) EXPECT_EQ(dialog.portDeviceText(i), devices[i]) << i;
    EXPECT_EQ(dialog.portsPresentText(), "COM1 " + devices[0] + "\nCOM2 " + devices[1] + "\nCOM3 " +
                                             devices[2] + "\nCOM4 " + devices[3] + "\nCOM5 " + dev +
                                             "ttyS2 (built-in serial port)" + "\nCOM6 " + dev +
                                             "ttyS3 (built-in serial port)");
}

TEST_F(ExpertSetupDialogTest, SaveWritesTheLineThatARestartReadsBackWithoutTheUnitType) {
    link.baud = 9600;  // the last connection's rate
    ui.expectDialog("Expert Setup", [](DialogController& shown) {
        auto& dialog = static_cast<ExpertSetupDialog&>(shown);
        dialog.setUnitChoice(kTalvane);
        dialog.setPortChoice(1);
        dialog.choose("Save");
    });
    ExpertSetupDialog dialog(link, ui);
    EXPECT_EQ(ui.runModal(dialog), DialogResult::Ok);
    EXPECT_EQ(fileText("zamel.cfg"), " 5  1     9600\n");
    struct stat info {};
    ASSERT_EQ(::stat("zamel.cfg", &info), 0);
    const mode_t mask = ::umask(0);
    ::umask(mask);
    EXPECT_EQ(info.st_mode & 0777, 0666 & ~mask) << "readable like any file the user writes";

    ReceiverLink restarted{ui, clock};
    restarted.loadSettings();
    ExpertSetupDialog reopened(restarted, ui);
    EXPECT_EQ(restarted.receiverClass, ReceiverClass::FlashMapping);
    EXPECT_EQ(unitShown(reopened), "NAV 415/420");
    EXPECT_EQ(reopened.portChoice(), 1);
}

TEST_F(ExpertSetupDialogTest, PortNumberFieldTakesIntegersOnlyAndIsShownAgain) {
    const struct {
        const char* text;
        std::int32_t comIndex;  // -99: not an integer
    } cases[] = {{" +7\t", 6},        {"-3", -4},           {"", -99}, {"7a", -99}, {"0x7", -99},
                 {"2147483648", -99}, {"-2147483648", -99}, {"7", 6}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        link.comIndex = 4;  // COM5: the field starts with 5
        link.unitType = 0;
        ExpertSetupDialog dialog(link, ui);
        dialog.setUnitChoice(kTalvane);
        dialog.setPortChoice(kOtherPort);
        dialog.setPortNumberText(c.text);
        const bool integer = c.comIndex != -99;
        for (int shown = integer ? 0 : 2; shown > 0; --shown)
            ui.expectMessage("Please enter an integer.", "Expert Setup", MessageIcon::Warning);
        dialog.onOk();
        EXPECT_EQ(ui.pendingQuestions(), 0u);
        EXPECT_EQ(dialog.ended(), integer);
        EXPECT_EQ(link.comIndex, integer ? c.comIndex : 4);
        EXPECT_EQ(link.unitType, 7) << "applied all the same";
    }
    ExpertSetupDialog reopened(link, ui);  // after "COM" with 7
    EXPECT_EQ(reopened.portChoice(), kOtherPort);
    EXPECT_EQ(reopened.portNumberText(), "7");
}

TEST_F(ExpertSetupDialogTest, ReopeningAfterIdentificationSelectsTheIdentifiedUnit) {
    for (char c : testing::replySentence("VER,033,V3.08")) link.acceptByte(c);
    EXPECT_EQ(unitShown(ExpertSetupDialog(link, ui)), "Talvane");
    for (char c : testing::replySentence("MEM,1,0,5")) link.acceptByte(c);
    EXPECT_EQ(unitShown(ExpertSetupDialog(link, ui)), "Talvane GPS");
}

TEST_F(ExpertSetupDialogTest, ClosingWithExpertUploadOnForgetsTheChosenFiles) {
    const struct {
        bool expertBefore;
        bool save;  // else Cancel
        bool filesKept;
    } cases[] = {{true, false, false}, {false, false, true}, {false, true, false}};
    for (const auto& c : cases) {
        link.expertUpload = c.expertBefore;
        link.codeSelected = link.dataSelected = true;
        ExpertSetupDialog dialog(link, ui);
        dialog.setExpertChoice(1);
        c.save ? dialog.onSave() : dialog.onCancel();
        EXPECT_EQ(link.codeSelected, c.filesKept);
        EXPECT_EQ(link.dataSelected, c.filesKept);
    }
}

TEST_F(ExpertSetupDialogTest, FailedSaveKeepsTheOldFile) {
    ASSERT_TRUE(testing::writeWholeFile("zamel.cfg", kOldLine));
    // A write cut short, here by the file size limit.
    rlimit limit{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &limit), 0);
    const rlimit noGrowth{0, limit.rlim_max};
    const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &noGrowth), 0);
    saveFailing("3");
    ::setrlimit(RLIMIT_FSIZE, &limit);
    std::signal(SIGXFSZ, previousHandler);
    EXPECT_EQ(fileText("zamel.cfg"), kOldLine);

    std::filesystem::remove("zamel.cfg");
    std::filesystem::create_directory("zamel.cfg");
    saveFailing("3");
    EXPECT_TRUE(std::filesystem::is_directory("zamel.cfg"));
}

// The file keeps a port index of two digits: "Save" says which numbers it can keep
// instead of failing to write, and the dialog stays open to correct it.
TEST_F(ExpertSetupDialogTest, SaveRefusesAPortNumberTheFileCannotKeep) {
    ASSERT_TRUE(testing::writeWholeFile("zamel.cfg", kOldLine));
    const struct {
        const char* number;
        const char* line;  // nullptr: refused
    } cases[] = {{"101", nullptr}, {"0", nullptr}, {"-3", nullptr}, {"100", " 5 99     4800\n"},
                 {"1", " 5  0     4800\n"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.number);
        ExpertSetupDialog dialog(link, ui);
        dialog.setUnitChoice(kTalvane);
        dialog.setPortChoice(kOtherPort);
        dialog.setPortNumberText(c.number);
        if (c.line == nullptr)
            ui.expectMessage(std::string("COM ") + c.number +
                                 " cannot be saved: zamel.cfg keeps COM 1 to COM 100.\nPlease "
                                 "enter a port number from 1 to 100.",
                             "Expert Setup", MessageIcon::Warning);
        dialog.onSave();
        EXPECT_EQ(ui.pendingQuestions(), 0u);
        EXPECT_EQ(dialog.ended(), c.line != nullptr);
        EXPECT_EQ(fileText("zamel.cfg"), c.line != nullptr ? c.line : kOldLine);
    }
}

// A zamel.cfg that is a link keeps being one, and its file takes the settings,
// even where no temporary file can be made beside that file: here the name of the
// temporary file would be too long for the directory.
TEST_F(ExpertSetupDialogTest, SaveFollowsALinkAndWritesInPlaceWhenItMust) {
    namespace fs = std::filesystem;
    fs::create_directory("settings");
    long files = 0;
    for (const std::string& name : {std::string("zamel.cfg"), std::string(250, 'c')}) {
        SCOPED_TRACE(name.size());
        const std::string file = "settings/" + name;
        ASSERT_TRUE(testing::writeWholeFile(file, kOldLine));
        fs::remove("zamel.cfg");
        fs::create_symlink(file, "zamel.cfg");
        ExpertSetupDialog dialog(link, ui);
        dialog.setUnitChoice(kTalvane);
        dialog.setPortChoice(2);
        dialog.onSave();
        EXPECT_EQ(ui.pendingQuestions(), 0u);
        EXPECT_TRUE(fs::is_symlink("zamel.cfg"));
        EXPECT_EQ(fileText(file.c_str()), " 5  2     4800\n");
        EXPECT_EQ(std::distance(fs::directory_iterator("settings"), fs::directory_iterator()),
                  ++files)
            << "no temporary file left";
    }
    // A link whose file is not there yet: the file is made where it leads.
    fs::remove("zamel.cfg");
    fs::create_symlink("settings/new.cfg", "zamel.cfg");
    ExpertSetupDialog dialog(link, ui);
    dialog.setUnitChoice(kTalvane);
    dialog.setPortChoice(3);
    dialog.onSave();
    EXPECT_TRUE(fs::is_symlink("zamel.cfg"));
    EXPECT_EQ(fileText("settings/new.cfg"), " 5  3     4800\n");
}

}  // namespace
}  // namespace zamel
