#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "e2e_files.h"
#include "legacy_upload_dialog.h"
#include "legacy_upload_type_dialog.h"
#include "loader_app_fixture.h"

namespace zamel::testing {
namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr auto kInfo = MessageIcon::Information;
constexpr std::size_t kDatabaseAt = 0xA0000;
constexpr std::size_t kBootBlockAt = 0x70000;
constexpr const char* kAmericas = ",    NAV 420    ,   AMERICAS    ,CITIES-NAVAIDS ";
constexpr const char* kEuropeAfrica = ",    NAV 420    , EUROPE-AFRICA ,CITIES-NAVAIDS ";

// NAV 415/420 program code: the model's mark "024" at offset 1024.
Bytes legacyCode(std::size_t size, unsigned seed) {
    Bytes bytes = randomImage(size, seed);
    std::memcpy(&bytes[1024], "024", 3);
    return bytes;
}

// A database whose header (offset 220) is text with the region's description.
Bytes legacyDatabase(std::size_t size, unsigned seed, const char* description) {
    Bytes bytes = randomImage(size, seed);
    std::fill(bytes.begin() + 220, bytes.begin() + 348, ' ');
    std::memcpy(&bytes[223], description, 48);
    return bytes;
}

Bytes slice(const Bytes& bytes, std::size_t from, std::size_t to) {
    return Bytes(bytes.begin() + static_cast<std::ptrdiff_t>(std::min(from, bytes.size())),
                 bytes.begin() + static_cast<std::ptrdiff_t>(std::min(to, bytes.size())));
}

// The upload command against a simulated NAV 415/420 on COM1 of a fresh working
// directory, with a scripted user. The receiver keeps each completed transfer's
// flash in its own numbered dump; a dump rebuilt as binary starts at the lowest
// address written, so a code transfer starts at 0.
class LegacyUploadEndToEnd : public LoaderAppFixture {
  protected:
    void startReceiver(const std::string& firmware, const std::string& region,
                       std::vector<std::string> extra = {}) {
        std::vector<std::string> args = {"--model", "NAV415/420",   "--firmware",
                                         firmware,  "--poi-region", region};
        args.insert(args.end(), extra.begin(), extra.end());
        LoaderAppFixture::startReceiver(args);
    }

    bool receiverWasSwitched() {
        const Bytes transcript = readWholeFile(dir.file("transcript.txt"));
        return std::string(transcript.begin(), transcript.end()).find("BootLoader") !=
               std::string::npos;
    }
    // The log is a text file: its lines end in CR LF on Windows.
    bool debugLogHas(const std::string& line) {
        const Bytes log = readWholeFile(dir.file("DEBUG.OUT"));
        std::string text(log.begin(), log.end());
        std::erase(text, '\r');
        return text.find(line + "\n") != std::string::npos;
    }

    std::string writeFile(const std::string& name, const Bytes& bytes) {
        writeWholeFile(dir.file(name), bytes);
        return dir.file(name);
    }
    void expectPowerOn() {
        ui.expectMessage("Power on unit to continue loading\nand click OK", "Reload Boot Loader",
                         kInfo);
    }
    void expectCustomQuestion(MessageAnswer answer) {
        ui.expectMessage(LegacyUploadDialog::kCustomDatabaseQuestion, "Database",
                         MessageIcon::Warning, answer);
        // Losing the user's database is never the default answer.
        ui.setQuestionHook([this](const std::string& title) {
            if (title != "Database") return;
            EXPECT_EQ(ui.askedButtons().back(), MessageButtons::OkCancelDefaultCancel);
        });
    }
};

// The code reaches past 0x70000 so that the boot-block pass has something to send.
TEST_F(LegacyUploadEndToEnd, OldFirmwareTakesItsRegionsDatabaseWithTheCodeThenTheBootBlock) {
    startReceiver("2.05", "americas");
    ui.setTickLimit(1500);
    const Bytes code = legacyCode(kBootBlockAt + 0x2000, 1);
    const Bytes database = legacyDatabase(16'000, 2, kAmericas);
    setPath(link.codePath, writeFile("code.bin", code));
    writeFile("nav420am.bin", database);

    struct Sample {
        int phase;
        int percent;
        std::string file;
    };
    std::vector<Sample> samples;
    ui.setTickHook([&](int) {
        const LegacyUploadDialog* running = app.legacyUploadDialog();
        if (running != nullptr && ui.currentCaption() == LegacyUploadDialog::kCaption)
            samples.push_back({running->phase, running->progress, running->currentFileText});
        return true;
    });
    ui.expectChoice(LegacyUploadTypeDialog::kCaption, LegacyUploadTypeDialog::kProgramCode);
    ui.expectChoice("UPLOAD FILE", "Upload File");
    expectStatus("Upload of CODE complete");
    expectPowerOn();
    expectStatus("Upload complete");
    app.upload();

    EXPECT_EQ(ui.pendingQuestions(), 0u);
    EXPECT_EQ(link.databaseRegion, 1);
    EXPECT_FALSE(link.reloadBootBlock || link.codeSelected || link.dataSelected);
    EXPECT_TRUE(debugLogHas("ERASE CMD - Erasing 00000700:ffff0900")) << "boot block to 0x9FFFF";

    const Bytes first = transferred(1);
    ASSERT_EQ(first.size(), kDatabaseAt + database.size());
    EXPECT_EQ(slice(first, 0, code.size()), code);
    EXPECT_EQ(slice(first, code.size(), kDatabaseAt), Bytes(kDatabaseAt - code.size(), 0))
        << "nothing written between the code and the database";
    EXPECT_EQ(slice(first, kDatabaseAt, first.size()), database);
    EXPECT_EQ(transferred(2), slice(code, kBootBlockAt, code.size()));

    // The percentage runs for each file on its own and never passes 100.
    int codePeak = 0, databaseLow = 100;
    bool bootBlockShown = false;
    for (const Sample& s : samples) {
        EXPECT_LE(s.percent, 100);
        if (s.phase == 0) codePeak = std::max(codePeak, s.percent);
        if (s.phase == 1) {
            databaseLow = std::min(databaseLow, s.percent);
            EXPECT_EQ(s.file, "Uploading database file - nav420am.bin");
        }
        if (s.phase == 2) bootBlockShown = s.file == "Uploading boot block";
    }
    EXPECT_GE(codePeak, 90);
    EXPECT_LT(databaseLow, 50);
    EXPECT_TRUE(bootBlockShown);
}

TEST_F(LegacyUploadEndToEnd, NewFirmwareTakesTheCodeAloneWithoutABootBlockPass) {
    startReceiver("3.00", "americas");
    const Bytes code = legacyCode(12'000, 3);
    setPath(link.codePath, writeFile("code.bin", code));
    link.codeSelected = true;

    ui.expectChoice("UPLOAD FILE", "Upload File");
    expectStatus("Upload of CODE complete");
    app.upload();

    EXPECT_EQ(ui.pendingQuestions(), 0u);
    EXPECT_TRUE(debugLogHas("ERASE CMD - Erasing 00000000:ffff0900")) << "code alone to 0x9FFFF";
    EXPECT_EQ(transferred(1), code);
    EXPECT_FALSE(transferHappened(2));
}

TEST_F(LegacyUploadEndToEnd, ReceiverWithoutDatabaseInformationTakesNoDatabase) {
    startReceiver("2.05", "none");
    ui.setTickLimit(1500);
    const Bytes code = legacyCode(kBootBlockAt + 4'000, 4);
    setPath(link.codePath, writeFile("code.bin", code));
    link.codeSelected = true;
    writeFile("nav415wo.bin", legacyDatabase(4'000, 5, kAmericas));

    ui.expectChoice("UPLOAD FILE", "Upload File");
    expectStatus("Upload of CODE complete");
    expectPowerOn();
    expectStatus("Upload complete");
    app.upload();

    EXPECT_EQ(ui.pendingQuestions(), 0u);
    EXPECT_EQ(link.databaseRegion, 0);
    EXPECT_EQ(transferred(1), code);
    EXPECT_EQ(transferred(2), slice(code, kBootBlockAt, code.size())) << "the boot block goes back";
}

// Old firmware loses its boot block with the code region's erase: code that does not
// reach it would leave the unit unable to start, so it is refused before anything
// is sent.
TEST_F(LegacyUploadEndToEnd, OldFirmwareRefusesCodeWithoutABootBlock) {
    startReceiver("2.05", "none");
    const std::string codePath = writeFile("code.bin", legacyCode(12'000, 4));
    setPath(link.codePath, codePath);
    link.codeSelected = true;

    ui.expectChoice("UPLOAD FILE", "Upload File");
    ui.expectMessage("Error reading code file\n" + codePath +
                         "\nIt holds no data from 0x00070000 to 0x0009FFFF. This receiver's "
                         "firmware needs its boot block reloaded from the code file.\n\nNothing "
                         "was sent to the receiver.",
                     "ERROR", MessageIcon::Stop);
    app.upload();

    EXPECT_EQ(ui.pendingQuestions(), 0u);
    EXPECT_FALSE(receiverWasSwitched());
}

TEST_F(LegacyUploadEndToEnd, DatabaseWithItsFileDialogCancelledCannotBeRead) {
    startReceiver("2.05", "americas");

    ui.expectChoice(LegacyUploadTypeDialog::kCaption, LegacyUploadTypeDialog::kDatabase);
    ui.expectMessage("Select data file", "MAP415/420 UPLOAD", kInfo);
    ui.expectOpenFile(std::nullopt);
    ui.expectChoice("UPLOAD FILE", "Upload File");
    ui.expectMessage("Error reading database file", "ERROR", kInfo);
    app.upload();

    EXPECT_EQ(ui.pendingQuestions(), 0u);
    EXPECT_FALSE(link.dataSelected);
    EXPECT_FALSE(receiverWasSwitched());
}

// Older firmware always asks for the second pass; here the first wrote nothing, so
// the second is an ordinary pass again.
TEST_F(LegacyUploadEndToEnd, CustomDatabaseKeptByCancelUploadsNothingAndTheSecondPassFollows) {
    startReceiver("2.05", "custom");
    setPath(link.codePath, writeFile("code.bin", legacyCode(12'000, 6)));
    link.codeSelected = true;

    ui.expectChoice("UPLOAD FILE", "Upload File");
    expectCustomQuestion(MessageAnswer::Cancel);
    expectPowerOn();
    ui.expectChoice(LegacyUploadTypeDialog::kCaption, LegacyUploadTypeDialog::kCancel);
    expectCustomQuestion(MessageAnswer::Cancel);
    app.upload();

    EXPECT_EQ(ui.pendingQuestions(), 0u);
    EXPECT_EQ(link.databaseRegion, 6);
    EXPECT_FALSE(link.reloadBootBlock);
    EXPECT_FALSE(receiverWasSwitched());
    EXPECT_FALSE(transferHappened(1));
}

TEST_F(LegacyUploadEndToEnd, PackageDatabaseOfAnotherRegionStopsTheProgram) {
    startReceiver("2.05", "americas");
    writeFile("code.bin", legacyCode(12'000, 7));
    writeFile("nav420eu.bin", legacyDatabase(4'000, 8, kEuropeAfrica));
    writeWholeFile(dir.file("zamel.ini"),
                   "[NAV415/420]\nCODE=code.bin\nVERSION=1\nMAP=nav420eu.bin\nMAPKEY=Europe\n");

    ui.expectDialog("Upload", [](DialogController& c) { c.choose("YES"); });
    ui.expectMessage("Incorrect upload package for unit", "ERROR", MessageIcon::Stop);
    app.start();

    EXPECT_TRUE(ui.quitCalled());
    EXPECT_EQ(ui.pendingQuestions(), 0u);
    EXPECT_FALSE(link.autoMode);
    EXPECT_FALSE(receiverWasSwitched());
}

// The receiver's erase covers both files: whatever makes it start over during the
// database has cost it the code as well.
class LegacyStartOver : public LegacyUploadEndToEnd,
                        public ::testing::WithParamInterface<const char*> {};

TEST_P(LegacyStartOver, DuringTheDatabaseSendsTheCodeAndTheDatabaseAgain) {
    const Bytes code = legacyCode(10'000, 9);  // six records
    const Bytes database = legacyDatabase(8'000, 10, kAmericas);
    startReceiver("3.08", "americas", {"--fault", std::string(GetParam()) + ":8"});
    setPath(link.codePath, writeFile("code.bin", code));
    setPath(link.dataPath, writeFile("data.bin", database));

    ui.expectChoice(LegacyUploadTypeDialog::kCaption,
                    LegacyUploadTypeDialog::kProgramCodeAndDatabase);
    ui.expectChoice("UPLOAD FILE", "Upload File");
    ui.expectChoice("UPLOAD FILE", "Upload File");
    expectStatus("Upload complete");
    app.upload();

    EXPECT_EQ(ui.pendingQuestions(), 0u);
    EXPECT_TRUE(debugLogHas("FIRST FILE AGAIN"));
    const Bytes flash = transferred(1);
    EXPECT_EQ(slice(flash, 0, code.size()), code);
    EXPECT_EQ(slice(flash, kDatabaseAt, flash.size()), database);
    EXPECT_FALSE(transferHappened(2));
}

INSTANTIATE_TEST_SUITE_P(RestartOrWriteFailure, LegacyStartOver,
                         ::testing::Values("reset", "fail-write"));

class LegacyDamagedFile : public LegacyUploadEndToEnd,
                          public ::testing::WithParamInterface<bool> {};

TEST_P(LegacyDamagedFile, IsRefusedBeforeTheReceiverIsTouched) {
    const bool codeDamaged = GetParam();
    startReceiver("3.08", "americas");
    const Bytes code = legacyCode(4'000, 11);
    const Bytes database = legacyDatabase(4'000, 12, kAmericas);
    const std::string codePath = codeDamaged ? writeCodeSRecords(dir.path(), "code.srec", code)
                                             : writeFile("code.bin", code);
    const std::string dataPath = codeDamaged ? writeFile("data.bin", database)
                                             : writeCodeSRecords(dir.path(), "data.srec", database);
    const std::string damaged = codeDamaged ? codePath : dataPath;
    // The last checksum digit of line 2, the first data record, changes.
    Bytes text = readWholeFile(damaged);
    const std::string lines(text.begin(), text.end());
    std::size_t lastDigit = lines.find('\n', lines.find('\n') + 1) - 1;
    if (text[lastDigit] == '\r') --lastDigit;
    text[lastDigit] = text[lastDigit] == '0' ? '1' : '0';
    writeWholeFile(damaged, text);
    setPath(link.codePath, codePath);
    setPath(link.dataPath, dataPath);

    ui.expectChoice(LegacyUploadTypeDialog::kCaption,
                    LegacyUploadTypeDialog::kProgramCodeAndDatabase);
    ui.expectChoice("UPLOAD FILE", "Upload File");
    ui.expectChoice("UPLOAD FILE", "Upload File");
    ui.expectMessage(
        std::string(codeDamaged ? "Error reading code file\n" : "Error reading database file\n") +
            damaged +
            "\nIt is damaged: line 2 has a wrong checksum.\n\nNothing was sent to "
            "the receiver.",
        "ERROR", MessageIcon::Stop);
    app.upload();

    EXPECT_EQ(ui.pendingQuestions(), 0u);
    EXPECT_FALSE(receiverWasSwitched());
}

INSTANTIATE_TEST_SUITE_P(CodeOrDatabase, LegacyDamagedFile, ::testing::Bool());

}  // namespace
}  // namespace zamel::testing
