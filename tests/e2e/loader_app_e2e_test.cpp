#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "e2e_files.h"
#include "firmware_confirmation.h"
#include "flash_plain_dialog.h"
#include "loader_app_fixture.h"
#include "port_peer.h"
#include "upload_confirm_dialog.h"

namespace zamel::testing {
namespace {

constexpr auto kInfo = MessageIcon::Information;

// How each pass of the last upload command ended, as the session record keeps it.
std::vector<std::pair<UploadOutcome::Kind, std::string>> passesOf(const LoaderApp& app) {
    std::vector<std::pair<UploadOutcome::Kind, std::string>> passes;
    for (const UploadOutcome& pass : app.session().lastUploads)
        passes.emplace_back(pass.kind, pass.text);
    return passes;
}

class LoaderAppEndToEnd : public LoaderAppFixture {
  protected:
    void writePackage(const std::string& section, const std::string& code, const std::string& map,
                      const std::string& mapName) {
        writeWholeFile(dir.file("zamel.ini"), "; upload package\n[Other]\nCODE=x\n[" + section +
                                                  "]\nCODE=" + code + "\nVERSION=1\nMAP=" + map +
                                                  "\nMAPKEY=" + mapName + "\n");
    }

    // A code file chosen before the upload command, as "Select Code File..." leaves it
    // with an upload pending.
    void setLinkPath(const std::string& codePath) {
        setPath(link.codePath, codePath);
        link.codeSelected = true;
    }

    void expectAutoConfirm(const std::string& line) {
        ui.expectDialog("Upload", [line](DialogController& c) {
            EXPECT_EQ(static_cast<UploadConfirmDialog&>(c).line(), line);
            c.choose("YES");
        });
    }
    // The unit holds 3.08: every file of these tests is older.
    void expectVersionConfirm(const char* fileVersion) {
        ui.expectMessage(std::string("Unit currently contains firmware\nversion 3.08\n\nThis will "
                                     "overwrite\nwith version ") +
                             fileVersion + kOlderVersionNote,
                         "Confirm", MessageIcon::Question, MessageAnswer::Ok);
    }
};

TEST_F(LoaderAppEndToEnd, PackageOnTalvaneSendsTheBaseMapThenTheCodeInTheFinalPass) {
    startReceiver({"--model", "Talvane"});
    const auto code = codeImageBytes(12'000, 1, "033", 1, 10);
    const auto map = mapImageBytes(9'000, 2, "TALVANE BASEMAP");
    writeCodeSRecords(dir.path(), "code.srec", code);
    writeWholeFile(dir.file("map.img"), map);
    writePackage("talvane", "code.srec", "map.img", "Talvane base map");

    expectAutoConfirm("Updating to version 1.10");
    expectStatus("Upload of BASE MAP complete");
    ui.expectMessage("Power on GPS unit\nto upload code.", "CONTINUE AUTO UPLOAD", kInfo);
    expectStatus("Upload of CODE complete");
    app.start();

    EXPECT_FALSE(app.packageMissing);
    EXPECT_EQ(app.packageUnitType, 7);
    EXPECT_STREQ(link.mapName, "Talvane base map");
    EXPECT_FALSE(app.uploadEnabled());
    EXPECT_EQ(ui.pendingQuestions(), 0u);
    EXPECT_FALSE(link.autoMode || link.codeSelected || link.dataSelected);
    EXPECT_TRUE(link.autoFirstPass);
    // The session keeps the receiver as it answered, at its own rate.
    ASSERT_TRUE(app.session().receiver);
    EXPECT_EQ(app.session().receiver->device, comPortDescription(dir.path(), 1));
    EXPECT_EQ(app.session().receiver->baud, 4800);
    EXPECT_EQ(transferred(1), map);
    EXPECT_EQ(transferred(2), code);
}

TEST_F(LoaderAppEndToEnd, PackageOnTalvaneGpsSendsTheCodeAndEndsAutomaticMode) {
    startReceiver({"--model", "Talvane GPS"});
    const auto code = codeImageBytes(8'000, 3, "033", 2, 5);
    writeCodeSRecords(dir.path(), "code.srec", code, 16);
    writeWholeFile(dir.file("map.img"), mapImageBytes(4'000, 4, "TALVANE GPS BASEMAP"));
    writePackage("Talvane GPS", "code.srec", "map.img", "Plain map");

    expectAutoConfirm("Updating to version 2.05");
    expectStatus("Upload complete");
    app.start();

    EXPECT_STREQ(link.modelName, "Talvane GPS");
    EXPECT_EQ(ui.pendingQuestions(), 0u);
    EXPECT_FALSE(link.autoMode || link.codeSelected || link.dataSelected);
    EXPECT_EQ(transferred(1), code);
    EXPECT_FALSE(transferHappened(2));
}

TEST_F(LoaderAppEndToEnd, CodeAndBaseMapChoiceSendsCodeThenAsksForPowerAndSendsTheMap) {
    startReceiver({"--model", "Talvane"});
    const auto code = codeImageBytes(10'000, 5, "033", 1, 10);
    const auto map = mapImageBytes(6'000, 6, "ANY NAME");
    const std::string codePath = writeCodeSRecords(dir.path(), "code.srec", code);
    writeWholeFile(dir.file("map.img"), map);
    app.readPackage();
    ASSERT_TRUE(app.uploadEnabled());

    ui.expectChoice("Select upload type", "Program Code and Base Map");
    ui.expectOpenFile(codePath);
    ui.expectOpenFile(dir.file("map.img"));
    ui.expectChoice("UPLOAD FILE", "Upload File");
    expectVersionConfirm("1.10");
    expectStatus("Upload of CODE complete");
    ui.expectMessage("Power on GPS unit\nto upload map file.", "CONTINUE UPLOAD", kInfo);
    ui.expectChoice("UPLOAD FILE", "Upload File");
    expectStatus("Upload complete");
    app.upload();

    EXPECT_EQ(ui.pendingQuestions(), 0u);
    EXPECT_FALSE(link.codeSelected || link.dataSelected);
    EXPECT_EQ(transferred(1), code);
    EXPECT_EQ(transferred(2), map);
}

// In an automatic upload without a package the type dialog can offer the combined
// choice, but no file confirmation follows to turn it into code: it is taken as
// code with the base map pending, which follows once automatic mode has ended.
TEST_F(LoaderAppEndToEnd, CodeAndBaseMapChoiceInAnAutomaticUploadSendsBoth) {
    startReceiver({"--model", "Talvane"});
    const auto code = codeImageBytes(6'000, 7, "033", 1, 2);
    const auto map = mapImageBytes(5'000, 8, "ANY NAME");
    const std::string codePath = writeCodeSRecords(dir.path(), "code.srec", code);
    writeWholeFile(dir.file("map.img"), map);

    expectAutoConfirm("");
    ui.expectChoice("Select upload type", "Program Code and Base Map");
    ui.expectOpenFile(codePath);
    ui.expectOpenFile(dir.file("map.img"));
    expectStatus("Upload of CODE complete");
    ui.expectMessage("Power on GPS unit\nto upload map file.", "CONTINUE UPLOAD", kInfo);
    ui.expectChoice("UPLOAD FILE", "Upload File");
    expectStatus("Upload complete");
    app.autoUpload();

    EXPECT_EQ(ui.pendingQuestions(), 0u);
    EXPECT_FALSE(link.autoMode);
    EXPECT_EQ(transferred(1), code);
    EXPECT_EQ(transferred(2), map);
}

TEST_F(LoaderAppEndToEnd, DetailMapGoesInRecordModeWithItsPadByte) {
    startReceiver({"--model", "Trailix Map/Pro", "--once"});
    const auto map = mapImageBytes(30'001, 9, "DETAIL");
    writeWholeFile(dir.file("detail.img"), map);

    ui.expectChoice("Select upload type", "Detail Map Only");
    ui.expectOpenFile(dir.file("detail.img"));
    ui.expectChoice("UPLOAD FILE", "Upload File");
    expectStatus("Upload of DETAIL MAP complete");
    app.upload();

    EXPECT_EQ(ui.pendingQuestions(), 0u);
    EXPECT_EQ(receiver.waitExit(15'000), 0);
    auto expected = map;
    expected.push_back(0x00);
    EXPECT_EQ(transferred(1), expected);
}

TEST_F(LoaderAppEndToEnd, ExpertModeTalksOnlyToTheBootLoader) {
    startReceiver({"--model", "Talvane", "--start-in-loader", "address", "--once"});
    const auto code = codeImageBytes(7'000, 10, "099", 1, 0);
    const std::string codePath = writeCodeSRecords(dir.path(), "code.srec", code);
    link.expertUpload = true;
    link.receiverClass = ReceiverClass::FlashMapping;
    ASSERT_TRUE(app.uploadEnabled());

    ui.expectOpenFile(codePath);
    app.selectCodeFile();
    ui.expectMessage("Expert upload mode is turned ON.", "REMINDER", kInfo);
    ui.expectChoice("Select upload type", "Program Code Only");
    ui.expectChoice("UPLOAD FILE", "Upload File");
    expectStatus("Upload of CODE complete");
    app.upload();

    EXPECT_EQ(ui.pendingQuestions(), 0u);
    EXPECT_FALSE(app.session().receiver);
    EXPECT_EQ(passesOf(app).size(), 1u);
    EXPECT_EQ(receiver.waitExit(15'000), 0);
    EXPECT_EQ(transferred(1), code);
    // No "$PQVX" sentence reached the unit: its first byte, '$' (24), at the firmware's rate.
    const auto transcript = readWholeFile(dir.file("transcript.txt"));
    EXPECT_EQ(std::string(transcript.begin(), transcript.end()).find(" in   24   4800 "),
              std::string::npos);
}

TEST_F(LoaderAppEndToEnd, PackageMapOfAnotherReceiverStopsTheProgram) {
    startReceiver({"--model", "Talvane"});
    writeWholeFile(dir.file("map.img"), mapImageBytes(4'000, 11, "SOMEONE ELSES MAP"));
    writePackage("Talvane", "", "map.img", "Other map");

    expectAutoConfirm("Updating map to Other map");
    ui.expectMessage("Incorrect upload package for unit", "ERROR", MessageIcon::Stop);
    app.start();

    EXPECT_TRUE(ui.quitCalled());
    EXPECT_EQ(ui.pendingQuestions(), 0u);
    EXPECT_FALSE(transferHappened(1));
}

TEST_F(LoaderAppEndToEnd, CancelAsksFirstAndStopsOnlyWhenTheUserAgrees) {
    startReceiver({"--model", "Talvane"});
    const std::string codePath =
        writeCodeSRecords(dir.path(), "code.srec", codeImageBytes(40'000, 12, "033", 1, 10));
    setLinkPath(codePath);

    int cancels = 0;
    ui.setTickHook([&](int tick) {
        const bool pressCancel = ui.currentCaption() == "Upload status" && (tick == 3 || tick == 8);
        cancels += pressCancel;
        return !pressCancel;
    });
    ui.expectChoice("UPLOAD FILE", "Upload File");
    expectVersionConfirm("1.10");
    ui.expectMessage(FlashUploadDialog::kStopQuestion, "WARNING", MessageIcon::Warning,
                     MessageAnswer::Cancel);
    ui.expectMessage(FlashUploadDialog::kStopQuestion, "WARNING", MessageIcon::Warning,
                     MessageAnswer::Ok);
    app.upload();

    EXPECT_EQ(cancels, 2);
    EXPECT_EQ(ui.ticksRun(), 8);
    EXPECT_EQ(ui.pendingQuestions(), 0u);
    ASSERT_EQ(passesOf(app).size(), 1u);
    EXPECT_EQ(passesOf(app)[0].first, UploadOutcome::Kind::NotCompleted);
    EXPECT_TRUE(passesOf(app)[0].second.starts_with("Did not complete (last status: "))
        << passesOf(app)[0].second;
    EXPECT_FALSE(link.codeSelected);
    EXPECT_FALSE(transferHappened(1));
}

TEST_F(LoaderAppEndToEnd, DamagedSRecordLineIsRefusedBeforeTheReceiverIsTouched) {
    startReceiver({"--model", "Talvane"});
    const std::string codePath =
        writeCodeSRecords(dir.path(), "code.srec", codeImageBytes(4'000, 13, "033", 1, 10));
    auto text = readWholeFile(codePath);
    // Line 5's last checksum digit changes.
    std::size_t line = 0, at = 0;
    for (; at < text.size() && line < 5; ++at)
        if (text[at] == '\n') ++line;
    const std::size_t digit = at - (text[at - 2] == '\r' ? 3 : 2);
    text[digit] = text[digit] == '0' ? '1' : '0';
    writeWholeFile(codePath, text);
    setLinkPath(codePath);

    ui.expectChoice("UPLOAD FILE", "Upload File");
    ui.expectMessage("Error reading code file\n" + codePath +
                         "\nIt is damaged: line 5 has a wrong checksum.\n\nNothing was sent to "
                         "the receiver.",
                     "ERROR", MessageIcon::Stop);
    app.upload();

    EXPECT_EQ(ui.pendingQuestions(), 0u);
    EXPECT_EQ(passesOf(app), (decltype(passesOf(app)){{UploadOutcome::Kind::NotStarted,
                                                       "Not started: nothing was sent"}}));
    const auto transcript = readWholeFile(dir.file("transcript.txt"));
    EXPECT_EQ(std::string(transcript.begin(), transcript.end()).find("BootLoader"),
              std::string::npos);
}

TEST_F(LoaderAppEndToEnd, BinaryCodeFileAbove16KiBIsErasedAndWrittenWhole) {
    startReceiver({"--model", "Talvane", "--once"});
    const auto code = randomImage(40'000, 14);
    writeWholeFile(dir.file("code.bin"), code);
    setLinkPath(dir.file("code.bin"));

    ui.expectChoice("UPLOAD FILE", "Upload File");
    ui.expectMessage(
        dir.file("code.bin") + " does not appear to contain code for Talvane.  Continue?",
        "WARNING - FIRMWARE PROBLEM", MessageIcon::Warning, MessageAnswer::Ok);
    ui.expectMessage(
        "Unit currently contains firmware\nversion 3.08\n\nThis will overwrite\nwith "
        "an UNKNOWN VERSION!",
        "Confirm", MessageIcon::Question, MessageAnswer::Ok);
    expectStatus("Upload of CODE complete");
    app.upload();

    EXPECT_EQ(receiver.waitExit(15'000), 0);
    EXPECT_EQ(transferred(1), code);
}

TEST_F(LoaderAppEndToEnd, PlainBaseMapLimitIsTheLastByteOfTheUnitsSpace) {
    startReceiver({"--model", "Talvane GPS", "--start-in-loader", "address"});
    link.expertUpload = true;
    link.receiverClass = ReceiverClass::FlashPlain;
    link.dataSelected = true;
    ui.setTickLimit(10);
    for (const std::uint32_t size :
         {FlashPlainDialog::kBaseMapLimit + 1, FlashPlainDialog::kBaseMapLimit}) {
        writeWholeFile(dir.file("base.img"), std::vector<std::uint8_t>(size, 0x5A));
        setPath(link.dataPath, dir.file("base.img"));
        ui.expectChoice("UPLOAD FILE", "Upload File");
        if (size > FlashPlainDialog::kBaseMapLimit)
            ui.expectMessage("File size of 2555873 exceeds space limit of 2555872", "ERROR", kInfo);
        FlashPlainDialog dialog(link, ui, clock, app);
        EXPECT_EQ(dialog.ready, size <= FlashPlainDialog::kBaseMapLimit) << size;
        EXPECT_EQ(dialog.engine != nullptr, dialog.ready);
        EXPECT_EQ(ui.pendingQuestions(), 0u);
    }
}

// Once its file is in, a Talvane GPS upload is no longer pending: the next
// "&Upload" asks what to send instead of sending the same file again.
TEST_F(LoaderAppEndToEnd, CompletedUploadToTalvaneGpsIsNotSentAgainUnasked) {
    startReceiver({"--model", "Talvane GPS"});
    const auto code = codeImageBytes(5'000, 23, "033", 3, 9);
    setLinkPath(writeCodeSRecords(dir.path(), "code.srec", code));

    ui.expectChoice("UPLOAD FILE", "Upload File");
    ui.expectMessage(
        "Unit currently contains firmware\nversion 3.08\n\nThis will overwrite\nwith "
        "version 3.09",
        "Confirm", MessageIcon::Question, MessageAnswer::Ok);
    expectStatus("Upload complete");
    app.upload();
    EXPECT_FALSE(link.codeSelected);

    ui.expectChoice("Select upload type", "Cancel");
    app.upload();
    EXPECT_EQ(ui.pendingQuestions(), 0u);
    EXPECT_EQ(transferred(1), code);
    EXPECT_FALSE(transferHappened(2));
}

}  // namespace
}  // namespace zamel::testing
