#include "expert_setup_dialog.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <string>
#include <vector>

#include "pty_pair.h"
#include "receiver_link.h"
#include "receiver_responder.h"
#include "scripted_ui.h"
#include "test_clocks.h"

namespace zamel {
namespace {

using testing::ManualClock;
using testing::ScriptedUi;
using testing::TempWorkDir;

constexpr int kTalvane = 3;
constexpr int kOtherPort = ExpertSetupDialog::kOtherPortChoice;

std::string fileText(const std::string& path) {
    const auto bytes = testing::readWholeFile(path);
    return std::string(bytes.begin(), bytes.end());
}

std::vector<std::string> directoryEntries() {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator("."))
        names.push_back(entry.path().filename().string());
    return names;
}

class ExpertSetupDialogTest : public ::testing::Test {
  protected:
    void SetUp() override { link.loadSettings(); }

    // The receiver's replies, byte by byte, as identification reads them.
    void receive(const std::string& body) {
        for (char c : testing::replySentence(body)) link.acceptByte(static_cast<std::uint8_t>(c));
    }

    void expectNotAnInteger() {
        ui.expectMessage("Please enter an integer.", "Expert Setup", MessageIcon::Warning);
    }

    void expectCouldNotWrite() {
        ui.expectMessage("COULD NOT WRITE\nCONFIGURATION INFO", "ERROR", MessageIcon::Information);
    }

    TempWorkDir dir;
    ManualClock clock;
    ScriptedUi ui;
    ReceiverLink link{ui, clock};
};

TEST_F(ExpertSetupDialogTest, SaveWritesTheSettingsLineAndARestartReadsItBack) {
    link.baud = 9600;  // the last connection's rate
    ExpertSetupDialog dialog(link, ui);
    dialog.setUnitChoice(kTalvane);
    dialog.setPortChoice(1);
    dialog.onSave();

    EXPECT_TRUE(dialog.ended());
    EXPECT_EQ(dialog.result(), DialogResult::Ok);
    EXPECT_EQ(fileText("zamel.cfg"), " 5  1     9600\n");
    struct stat info {};
    ASSERT_EQ(::stat("zamel.cfg", &info), 0);
    const mode_t mask = ::umask(0);
    ::umask(mask);
    EXPECT_EQ(info.st_mode & 0777, 0666 & ~mask) << "readable like any file the user writes";
    EXPECT_EQ(directoryEntries(), std::vector<std::string>{"zamel.cfg"});

    // The unit type is not saved: after a restart class 5 shows as the first unit.
    ReceiverLink restarted{ui, clock};
    restarted.loadSettings();
    EXPECT_EQ(restarted.receiverClass, ReceiverClass::FlashMapping);
    EXPECT_EQ(restarted.comIndex, 1);
    EXPECT_EQ(restarted.baud, 9600);
    ExpertSetupDialog reopened(restarted, ui);
    EXPECT_STREQ(ExpertSetupDialog::kUnitChoices[reopened.unitChoice()].caption, "NAV 415/420");
    EXPECT_EQ(reopened.portChoice(), 1);
    EXPECT_EQ(reopened.portNumberText(), "0");
}

TEST_F(ExpertSetupDialogTest, OtherPortNumberIsAppliedAndShownAgain) {
    const struct {
        const char* text;
        std::int32_t comIndex;
    } cases[] = {
        {"7", 6}, {" 7 ", 6}, {"+7", 6}, {"\t12\t", 11}, {"2147483647", 2147483646}, {"-3", -4},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        link.comIndex = 0;
        ExpertSetupDialog dialog(link, ui);
        dialog.setPortChoice(kOtherPort);
        dialog.setPortNumberText(c.text);
        dialog.onOk();
        EXPECT_TRUE(dialog.ended());
        EXPECT_EQ(link.comIndex, c.comIndex);
    }

    link.comIndex = 0;
    ExpertSetupDialog first(link, ui);
    first.setPortChoice(kOtherPort);
    first.setPortNumberText("7");
    first.onOk();
    ExpertSetupDialog reopened(link, ui);
    EXPECT_EQ(reopened.portChoice(), kOtherPort);
    EXPECT_EQ(reopened.portNumberText(), "7");
}

TEST_F(ExpertSetupDialogTest, NonIntegerPortNumberIsToldTwiceAndKeepsTheDialogOpen) {
    const char* texts[] = {"",  " ",   "7a",         "0x7",         "7.0",
                           "+", "- 7", "2147483648", "-2147483648", "99999999999999999999"};
    for (const char* text : texts) {
        SCOPED_TRACE(text);
        link.comIndex = 4;  // COM5: the field starts with 5
        link.unitType = 0;
        ExpertSetupDialog dialog(link, ui);
        dialog.setUnitChoice(kTalvane);
        dialog.setPortChoice(kOtherPort);
        dialog.setPortNumberText(text);
        expectNotAnInteger();
        expectNotAnInteger();
        dialog.onOk();
        EXPECT_EQ(ui.pendingQuestions(), 0u);
        EXPECT_FALSE(dialog.ended());
        EXPECT_EQ(link.comIndex, 4) << "the port number keeps its value";
        EXPECT_EQ(link.unitType, 7) << "the other choices are applied all the same";

        dialog.setPortNumberText("9");
        dialog.onOk();
        EXPECT_TRUE(dialog.ended());
        EXPECT_EQ(link.comIndex, 8);
    }
}

TEST_F(ExpertSetupDialogTest, ReopeningAfterIdentificationSelectsTheIdentifiedUnit) {
    const struct {
        const char* version;
        const char* memory;  // nullptr: none
        const char* caption;
    } cases[] = {
        {"VER,033,V3.08", nullptr, "Talvane"},
        {"VER,033,V3.08", "MEM,1,0,5", "Talvane GPS"},
        {"VER,030,V1.00", nullptr, "PLT 430"},
        {"VER,037,V1.00", nullptr, "Trailix"},
        {"VER,036,V1.00", nullptr, "Trailix Map/Pro"},
        {"VER,024,V1.00", nullptr, "NAV 415/420"},
        {"VER,038,V1.00", nullptr, "NAV 415/420"},  // KX 524 has no button of its own
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.caption);
        link.loadSettings();
        receive(c.version);
        if (c.memory != nullptr) receive(c.memory);
        ExpertSetupDialog dialog(link, ui);
        EXPECT_STREQ(ExpertSetupDialog::kUnitChoices[dialog.unitChoice()].caption, c.caption);
    }
}

TEST_F(ExpertSetupDialogTest, ClosingWithExpertUploadOnForgetsTheChosenFiles) {
    const struct {
        const char* name;
        bool expertBefore;
        int expertChoice;
        bool save;  // else Cancel
        bool filesKept;
    } cases[] = {
        {"Cancel with expert on", true, 1, false, false},
        {"Cancel with expert off", false, 1, false, true},
        {"Save turning expert on", false, 1, true, false},
        {"Save turning expert off", true, 0, true, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        link.loadSettings();
        link.expertUpload = c.expertBefore;
        link.codeSelected = true;
        link.dataSelected = true;
        ExpertSetupDialog dialog(link, ui);
        dialog.setUnitChoice(kTalvane);
        dialog.setExpertChoice(c.expertChoice);
        c.save ? dialog.onSave() : dialog.onCancel();
        EXPECT_TRUE(dialog.ended());
        EXPECT_EQ(link.codeSelected, c.filesKept);
        EXPECT_EQ(link.dataSelected, c.filesKept);
        EXPECT_EQ(link.unitType, c.save ? 7 : 0) << "Cancel applies nothing";
    }
}

TEST_F(ExpertSetupDialogTest, FailedSaveKeepsTheOldFileAndStillAppliesAndCloses) {
    // Port index 100 would be written as three characters and read back as another port.
    ASSERT_TRUE(testing::writeWholeFile("zamel.cfg", " 2  0     4800\n"));
    ExpertSetupDialog tooWide(link, ui);
    tooWide.setPortChoice(kOtherPort);
    tooWide.setPortNumberText("101");
    expectCouldNotWrite();
    tooWide.onSave();
    EXPECT_EQ(ui.pendingQuestions(), 0u);
    EXPECT_TRUE(tooWide.ended());
    EXPECT_EQ(link.comIndex, 100);
    EXPECT_EQ(fileText("zamel.cfg"), " 2  0     4800\n");

    ::unlink("zamel.cfg");
    ASSERT_EQ(::mkdir("zamel.cfg", 0755), 0);
    ExpertSetupDialog blocked(link, ui);
    blocked.setUnitChoice(kTalvane);
    blocked.setPortChoice(2);
    expectCouldNotWrite();
    blocked.onSave();
    EXPECT_EQ(ui.pendingQuestions(), 0u);
    EXPECT_TRUE(blocked.ended());
    EXPECT_EQ(link.comIndex, 2);
    EXPECT_EQ(link.unitType, 7);
    EXPECT_TRUE(std::filesystem::is_directory("zamel.cfg"));
    EXPECT_EQ(directoryEntries(), std::vector<std::string>{"zamel.cfg"}) << "no temporary left";

    // A write cut short (here by the file size limit) must not cost the old settings.
    ASSERT_EQ(::rmdir("zamel.cfg"), 0);
    ASSERT_TRUE(testing::writeWholeFile("zamel.cfg", " 2  0     4800\n"));
    rlimit limit{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &limit), 0);
    const rlimit noGrowth{0, limit.rlim_max};
    const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &noGrowth), 0);
    ExpertSetupDialog cutShort(link, ui);
    expectCouldNotWrite();
    cutShort.onSave();
    ::setrlimit(RLIMIT_FSIZE, &limit);
    std::signal(SIGXFSZ, previousHandler);
    EXPECT_EQ(ui.pendingQuestions(), 0u);
    EXPECT_EQ(fileText("zamel.cfg"), " 2  0     4800\n");
    EXPECT_EQ(directoryEntries(), std::vector<std::string>{"zamel.cfg"});
}

}  // namespace
}  // namespace zamel
