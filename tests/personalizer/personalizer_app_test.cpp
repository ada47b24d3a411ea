#include "personalizer_app.h"

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <random>

#include "firmware_image_builder.h"
#include "recording_ui.h"
#include "scratch_dir.h"

namespace tagwright {
namespace {

using testing::FirmwareImageBuilder;
using testing::readFile;
using testing::RecordingUi;
using testing::ScratchDir;
using testing::writeFile;

constexpr std::size_t kRec = FirmwareImageBuilder::kDataBytesPerRecord;

struct AppInDir {
    AppInDir() : app(ui) {
        app.setWorkDir(dir.path());
        app.factoryFile = dir.file("factory.hex");
        app.personalFile = dir.file("personal.hex");
    }
    ScratchDir dir;
    RecordingUi ui;
    PersonalizerApp app;
};

std::size_t filesIn(const std::string& dir) {
    std::size_t count = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(dir)) {
        ++count;
    }
    return count;
}

TEST(LoadFirmware, ReadsTheFileExactlyAndForgetsEarlierPositions) {
    AppInDir t;
    const std::string bytes = std::string("S0\r\n\0\xFF tail", 12);
    writeFile(t.app.factoryFile, bytes);
    t.app.message().matchPos = 40;
    t.app.message().records[0] = 28;
    t.app.message().recordRoom[0] = 5;
    ASSERT_TRUE(t.app.loadFirmware());
    EXPECT_EQ(t.app.firmwareText, bytes);
    EXPECT_EQ(t.app.firmwareSize, 12u);
    EXPECT_FALSE(t.app.message().matchPos);
    EXPECT_FALSE(t.app.message().records[0]);
    EXPECT_EQ(t.app.message().recordRoom[0], 0);
    EXPECT_EQ(t.ui.pumps, 0);
    EXPECT_FALSE(std::filesystem::exists(t.dir.file("peb_dump.bin")));
}

TEST(LoadFirmware, FailsOnMissingOrUnreadableFiles) {
    AppInDir t;
    writeFile(t.app.factoryFile, "S0");
    ASSERT_TRUE(t.app.loadFirmware());
    t.app.factoryFile = t.dir.file("absent.hex");
    EXPECT_FALSE(t.app.loadFirmware());
    EXPECT_EQ(t.app.firmwareText, "");  // the earlier image is released
    EXPECT_EQ(t.app.firmwareSize, 0u);
    std::filesystem::create_directory(t.dir.file("a_directory.hex"));
    t.app.factoryFile = t.dir.file("a_directory.hex");
    EXPECT_FALSE(t.app.loadFirmware());
    EXPECT_TRUE(t.ui.shown.empty());
}

TEST(LoadFirmware, DumpSpellsPairsAsBytes) {
    struct Case {
        const char* name;
        std::string firmware;
        std::string dump;
    };
    const Case cases[] = {
        {"data record", "S30500001000EA\r\n", std::string("S3\x05\x00\x00\x10\x00\xEA\xFF", 9)},
        {"odd length", "S305A", std::string("S3\x05\xFF", 4)},
        {"lower case", "S3ea", "S3\xEA"},
    };
    for (const Case& c : cases) {
        AppInDir t;
        writeFile(t.app.factoryFile, c.firmware);
        t.app.dumpEnabled = 1;
        ASSERT_TRUE(t.app.loadFirmware()) << c.name;
        EXPECT_EQ(readFile(t.dir.file("peb_dump.bin")), c.dump) << c.name;
        EXPECT_EQ(t.ui.pumps, static_cast<long>((c.firmware.size() + 1) / 2)) << c.name;
    }
}

TEST(LoadFirmware, DumpThatCannotBeWrittenIsSkipped) {
    AppInDir t;
    writeFile(t.app.factoryFile, "S30500001000EA\r\n");
    t.app.dumpEnabled = 1;
    std::filesystem::create_directory(t.dir.file("peb_dump.bin"));
    EXPECT_TRUE(t.app.loadFirmware());
    EXPECT_TRUE(std::filesystem::is_directory(t.dir.file("peb_dump.bin")));
    EXPECT_TRUE(t.ui.shown.empty());
}

TEST(WritePersonalized, WritesEveryByteAndReports) {
    AppInDir t;
    FirmwareImageBuilder builder(30);
    builder.placeString(3 * kRec, "WARNING!");
    builder.placeString(7 * kRec + 3, "All data is provided as is");
    builder.place(15 * kRec - 9, "PRESS ENT");
    builder.placeString(15 * kRec, "ER TO AGREE");
    ASSERT_TRUE(builder.writeTo(t.app.factoryFile));
    writeFile(t.app.personalFile, "an older personalized file");
    ASSERT_TRUE(t.app.loadFirmware());
    t.app.title().searchText = "WARNING!";
    t.app.message().searchText = "All data";
    t.app.agree().searchText = "PRESS ENTER TO AGREE";
    t.app.locateTitle();
    ASSERT_TRUE(t.app.locateText(t.app.message()));
    ASSERT_TRUE(t.app.locateText(t.app.agree()));
    t.app.title().personalText = "HALT!";
    t.app.message().personalText = "Caf\xE9 owner\\nJ. Doe";
    t.app.agree().personalText = "OK";
    t.app.patchAll();
    ASSERT_TRUE(t.app.writePersonalized());

    ASSERT_EQ(t.ui.shown.size(), 1u);
    EXPECT_EQ(t.ui.shown[0].text, "Personalized firmware saved as " + t.app.personalFile);
    EXPECT_EQ(t.ui.shown[0].icon, MessageIcon::Information);
    const std::string written = readFile(t.app.personalFile);
    EXPECT_EQ(written, t.app.firmwareText);
    EXPECT_EQ(written.size(), readFile(t.app.factoryFile).size());
    EXPECT_NE(written.find(PersonalizerApp::hexOf("Caf\xE9 owner\r\nJ.")), std::string::npos);
    EXPECT_EQ(filesIn(t.dir.path()), 2u);  // no temporary file left behind

    const std::string command = "srec_cat '" + t.app.personalFile + "' -o /dev/null";
    EXPECT_EQ(std::system(command.c_str()), 0);
}

TEST(WritePersonalized, FailureKeepsTheEarlierFileAndReports) {
    AppInDir t;
    FirmwareImageBuilder builder(50);
    ASSERT_TRUE(builder.writeTo(t.app.factoryFile));
    ASSERT_TRUE(t.app.loadFirmware());
    const std::string older = "an older personalized file";
    writeFile(t.app.personalFile, older);

    // A file-size limit below the image makes the write come up short.
    struct rlimit saved {};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = saved;
    small.rlim_cur = 512;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    const bool written = t.app.writePersonalized();
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previousHandler);

    EXPECT_FALSE(written);
    ASSERT_EQ(t.ui.shown.size(), 1u);
    EXPECT_EQ(t.ui.shown[0].text, "Problem writing personalized firmware!\n");
    EXPECT_EQ(t.ui.shown[0].icon, MessageIcon::Error);
    EXPECT_EQ(readFile(t.app.personalFile), older);
    EXPECT_EQ(filesIn(t.dir.path()), 2u);
}

TEST(WritePersonalized, RefusesWithoutFirmwareOrDirectory) {
    AppInDir t;
    EXPECT_FALSE(t.app.writePersonalized());
    writeFile(t.app.factoryFile, "S0\r\n");
    ASSERT_TRUE(t.app.loadFirmware());
    t.app.personalFile = t.dir.file("missing/personal.hex");
    EXPECT_FALSE(t.app.writePersonalized());
    ASSERT_EQ(t.ui.shown.size(), 2u);
    EXPECT_EQ(t.ui.shown[0].text, "Problem writing personalized firmware!\n");
    EXPECT_EQ(t.ui.shown[1].text, "Problem writing personalized firmware!\n");
}

TEST(BinaryGarbage, IsSearchedSafelyAndWrittenBackUnchanged) {
    std::mt19937 random(6);
    for (int round = 0; round < 20; ++round) {
        AppInDir t;
        std::string garbage(4096, '\0');
        for (char& c : garbage) {
            c = static_cast<char>(random());
        }
        // Sprinkle record tags so the record checks are exercised too.
        for (std::size_t at = 0; at + 4 < garbage.size(); at += 97) {
            garbage.replace(at, 4, "S319");
        }
        writeFile(t.app.factoryFile, garbage);
        ASSERT_TRUE(t.app.loadFirmware());
        t.app.title().searchText = "WARNING!";
        t.app.message().searchText = "All data";
        t.app.agree().searchText = "PRESS ENTER TO AGREE";
        t.app.locateTitle();
        EXPECT_FALSE(t.app.locateText(t.app.message()));
        EXPECT_FALSE(t.app.locateText(t.app.agree()));
        t.app.patchAll();
        EXPECT_EQ(t.app.firmwareText, garbage);
    }
}

}  // namespace
}  // namespace tagwright
