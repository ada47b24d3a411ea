#include "content_check.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "firmware_confirmation.h"
#include "image_file.h"
#include "image_test_files.h"
#include "receiver_link.h"
#include "scripted_ui.h"
#include "test_clocks.h"
#include "upload_dialog_line.h"
#include "work_dir.h"

namespace zamel::testing {
namespace {

const std::string kHeader = "S00600004844521B";
const std::string kVersionRecord = "S30D2D004E0030333700010A";

std::string codeQuestion(const std::string& path, const char* model) {
    return path + " does not appear to contain code for " + model + ".  Continue?";
}
std::string poiQuestion(const std::string& path, const char* model) {
    return path + " does not appear to contain POIs for " + model + ".  Continue?";
}
std::string mapQuestion(const std::string& path, const char* model) {
    return path + " does not appear to contain map data for " + model + ".  Continue?";
}

std::string confirmText(int unitMajor, int unitMinor, int fileMajor, int fileMinor,
                        const char* note = "") {
    char text[200];
    std::snprintf(text, sizeof text,
                  "Unit currently contains firmware\nversion %d.%02d\n\nThis will "
                  "overwrite\nwith version %d.%02d%s",
                  unitMajor, unitMinor, fileMajor, fileMinor, note);
    return text;
}

// A flash code image: data records around the version record, as firmware has them.
std::vector<std::uint8_t> codeData() { return patternBytes(64, 42); }

std::string flashCodeText(bool withVersionRecord) {
    const auto data = codeData();
    std::string text = kHeader + "\n";
    text += s3Line(0x2D004000, std::span(data).first(32)) + "\n";
    text += s3Line(0x2D004020, std::span(data).subspan(32)) + "\n";
    if (withVersionRecord) text += kVersionRecord + "\n";
    text += "S70500000000FA\n";
    return text;
}

class ContentCheckTest : public ::testing::Test {
  protected:
    void SetUp() override {
        std::strcpy(link.modelName, "Trailix");
        std::strcpy(link.productCode, "037");
        link.firmwareMajor = 1;
        link.firmwareMinor = 5;
    }

    std::string writeFile(const std::string& name, const std::string& text) {
        EXPECT_TRUE(writeWholeFile(dir.file(name), text));
        return dir.file(name);
    }
    std::string writeFile(const std::string& name, const std::vector<std::uint8_t>& bytes) {
        EXPECT_TRUE(writeWholeFile(dir.file(name), bytes));
        return dir.file(name);
    }

    // The image must still deliver its data from the first record after a check.
    void expectReadsFromTheStart(ImageFile& image, const std::vector<std::uint8_t>& data) {
        const auto blocks = readAllBlocks(image, 1980);
        ASSERT_FALSE(blocks.empty());
        EXPECT_EQ(blocks.front().address, 0x2D004000u);
        EXPECT_EQ(blocks.front().bytes, data);
    }

    TempWorkDir dir;
    ScriptedUi ui;
    ManualClock clock;
    ReceiverLink link{ui, clock};
};

TEST_F(ContentCheckTest, VersionRecordOfTheReceiversProductPassesWithoutAQuestion) {
    ImageFile image(writeFile("code.srec", flashCodeText(true)));
    EXPECT_TRUE(image.checkContent(ContentCheck::FlashCode, false, link, ui));
    EXPECT_TRUE(image.versionKnown());
    EXPECT_EQ(image.versionMajor, 1u);
    EXPECT_EQ(image.versionMinor, 10u);
    expectReadsFromTheStart(image, codeData());
}

TEST_F(ContentCheckTest, OtherProductAsksButStillYieldsTheVersion) {
    std::strcpy(link.productCode, "038");
    for (const auto answer : {MessageAnswer::Ok, MessageAnswer::Cancel}) {
        ImageFile image(writeFile("code.srec", flashCodeText(true)));
        ui.expectMessage(codeQuestion(image.path, "Trailix"), kContentQuestionTitle,
                         MessageIcon::Warning, answer);
        EXPECT_EQ(image.checkContent(ContentCheck::FlashCode, false, link, ui),
                  answer == MessageAnswer::Ok);
        EXPECT_EQ(ui.pendingQuestions(), 0u);
        EXPECT_TRUE(image.versionKnown());
        EXPECT_EQ(image.versionMajor, 1u);
        EXPECT_EQ(image.versionMinor, 10u);
        expectReadsFromTheStart(image, codeData());
    }
    ImageFile silent(writeFile("code.srec", flashCodeText(true)));
    EXPECT_TRUE(silent.checkContent(ContentCheck::FlashCode, true, link, ui));
    EXPECT_EQ(silent.versionMinor, 10u);
}

// The product code is compared digit by digit as ASCII: "3" then the digit.
TEST_F(ContentCheckTest, ProductCodeMustBeWrittenAsAsciiDigits) {
    const std::vector<std::uint8_t> notAscii = {0x20, 0x33, 0x37, 0x00, 0x02, 0x03};
    const std::string path = writeFile(
        "code.srec", kHeader + "\n" + s3Line(0x2D004E00, notAscii) + "\nS70500000000FA\n");
    ImageFile image(path);
    ui.expectMessage(codeQuestion(path, "Trailix"), kContentQuestionTitle, MessageIcon::Warning,
                     MessageAnswer::Cancel);
    EXPECT_FALSE(image.checkContent(ContentCheck::FlashCode, false, link, ui));
    EXPECT_EQ(image.versionMajor, 2u);
    EXPECT_EQ(image.versionMinor, 3u);
}

// The search for the version record ends at the end of the file and asks.
TEST_F(ContentCheckTest, CodeFileWithoutVersionRecordAsks) {
    for (const auto answer : {MessageAnswer::Ok, MessageAnswer::Cancel}) {
        ImageFile image(writeFile("noversion.srec", flashCodeText(false)));
        ui.expectMessage(codeQuestion(image.path, "Trailix"), kContentQuestionTitle,
                         MessageIcon::Warning, answer);
        EXPECT_EQ(image.checkContent(ContentCheck::FlashCode, false, link, ui),
                  answer == MessageAnswer::Ok);
        EXPECT_FALSE(image.versionKnown());
        expectReadsFromTheStart(image, codeData());
    }
    ImageFile silent(writeFile("noversion.srec", flashCodeText(false)));
    EXPECT_TRUE(silent.checkContent(ContentCheck::FlashCode, true, link, ui));
    EXPECT_FALSE(silent.versionKnown());
}

// "024" at offset 1024 marks legacy code; the same binary offered as flash code has
// no version record and asks.
TEST_F(ContentCheckTest, LegacyCodeMarkAndBinaryFlashCode) {
    auto bytes = patternBytes(4096, 9);
    bytes[1024] = '0';
    bytes[1025] = '2';
    bytes[1026] = '4';
    const std::string marked = writeFile("nav.bin", bytes);
    bytes[1026] = '5';
    const std::string unmarked = writeFile("other.bin", bytes);

    ImageFile legacy(marked);
    EXPECT_TRUE(legacy.checkContent(ContentCheck::LegacyCode, false, link, ui));
    for (const auto answer : {MessageAnswer::Ok, MessageAnswer::Cancel}) {
        ImageFile flash(marked);
        ui.expectMessage(codeQuestion(marked, "Trailix"), kContentQuestionTitle,
                         MessageIcon::Warning, answer);
        EXPECT_EQ(flash.checkContent(ContentCheck::FlashCode, false, link, ui),
                  answer == MessageAnswer::Ok);
        EXPECT_FALSE(flash.versionKnown());

        ImageFile other(unmarked);
        ui.expectMessage(codeQuestion(unmarked, "Trailix"), kContentQuestionTitle,
                         MessageIcon::Warning, answer);
        EXPECT_EQ(other.checkContent(ContentCheck::LegacyCode, false, link, ui),
                  answer == MessageAnswer::Ok);
    }
    ImageFile silentOther(unmarked);
    EXPECT_TRUE(silentOther.checkContent(ContentCheck::LegacyCode, true, link, ui));
    ImageFile silentFlash(unmarked);
    EXPECT_TRUE(silentFlash.checkContent(ContentCheck::FlashCode, true, link, ui));
    EXPECT_EQ(ui.pendingQuestions(), 0u);
}

TEST_F(ContentCheckTest, PoiDatabaseHeaderMustBeText) {
    std::vector<std::uint8_t> bytes(600, 'A');
    bytes[219] = 0xE9;  // just before the header
    bytes[348] = 0xE9;  // just after it
    const std::string clean = writeFile("clean.poi", bytes);
    ImageFile passing(clean);
    EXPECT_TRUE(passing.checkContent(ContentCheck::LegacyDatabase, false, link, ui));

    for (std::size_t at : {220u, 347u}) {
        for (const auto answer : {MessageAnswer::Ok, MessageAnswer::Cancel}) {
            auto marked = bytes;
            marked[at] = 0xE9;
            const std::string path = writeFile("marked.poi", marked);
            ImageFile image(path);
            ui.expectMessage(poiQuestion(path, "Trailix"), kContentQuestionTitle,
                             MessageIcon::Warning, answer);
            EXPECT_EQ(image.checkContent(ContentCheck::LegacyDatabase, false, link, ui),
                      answer == MessageAnswer::Ok)
                << at;
            ImageFile silent(path);
            EXPECT_TRUE(silent.checkContent(ContentCheck::LegacyDatabase, true, link, ui));
        }
    }
    // A file that ends inside the header is judged on the bytes it has.
    ImageFile shortFile(writeFile("short.poi", std::vector<std::uint8_t>(230, 'A')));
    EXPECT_TRUE(shortFile.checkContent(ContentCheck::LegacyDatabase, false, link, ui));
    EXPECT_EQ(ui.pendingQuestions(), 0u);
}

// The legacy probes of an S-record file read its first data, and must hand the
// file back unread.
TEST_F(ContentCheckTest, LegacyProbesOfAnSRecordFileLeaveItUnread) {
    const std::vector<std::uint8_t> data = {'0', '2', '4', 'x', 0xE9, 1, 2, 3};
    const std::string path =
        writeFile("nav.srec", kHeader + "\n" + s3Line(0x2D004000, data) + "\n");
    ImageFile code(path);
    EXPECT_TRUE(code.checkContent(ContentCheck::LegacyCode, false, link, ui));
    expectReadsFromTheStart(code, data);

    ImageFile poi(path);
    ui.expectMessage(poiQuestion(path, "Trailix"), kContentQuestionTitle, MessageIcon::Warning,
                     MessageAnswer::Ok);
    EXPECT_TRUE(poi.checkContent(ContentCheck::LegacyDatabase, false, link, ui));
    expectReadsFromTheStart(poi, data);
}

TEST_F(ContentCheckTest, MapMustBeBinary) {
    const std::string binary = writeFile("map.img", patternBytes(100, 1));
    const std::string srec = writeFile("map.srec", flashCodeText(false));
    ImageFile binaryMap(binary);
    EXPECT_TRUE(binaryMap.checkContent(ContentCheck::FlashMap, false, link, ui));
    for (const auto answer : {MessageAnswer::Ok, MessageAnswer::Cancel}) {
        ImageFile srecMap(srec);
        ui.expectMessage(mapQuestion(srec, "Trailix"), kContentQuestionTitle, MessageIcon::Warning,
                         answer);
        EXPECT_EQ(srecMap.checkContent(ContentCheck::FlashMap, false, link, ui),
                  answer == MessageAnswer::Ok);
    }
    ImageFile silent(srec);
    EXPECT_TRUE(silent.checkContent(ContentCheck::FlashMap, true, link, ui));
    EXPECT_EQ(ui.pendingQuestions(), 0u);
}

TEST_F(ContentCheckTest, UnopenedFileFailsEveryCheckAndUnknownKindPasses) {
    ImageFile missing(dir.file("absent.bin"));
    for (int kind = 0; kind < 4; ++kind) {
        EXPECT_FALSE(missing.checkContent(static_cast<ContentCheck>(kind), false, link, ui));
        EXPECT_FALSE(missing.checkContent(static_cast<ContentCheck>(kind), true, link, ui));
    }
    ImageFile present(writeFile("map.srec", flashCodeText(true)));
    EXPECT_TRUE(present.checkContent(static_cast<ContentCheck>(4), false, link, ui));
}

TEST_F(ContentCheckTest, ConfirmationShowsBothVersions) {
    for (const auto answer : {MessageAnswer::Ok, MessageAnswer::Cancel}) {
        ImageFile image(writeFile("code.srec", flashCodeText(true)));
        ASSERT_TRUE(image.checkContent(ContentCheck::FlashCode, true, link, ui));
        ui.expectMessage(confirmText(1, 5, 1, 10), kConfirmTitle, MessageIcon::Question, answer);
        EXPECT_EQ(confirmFirmwareVersion(link, ui, &image), answer == MessageAnswer::Ok);
        EXPECT_EQ(ui.pendingQuestions(), 0u);
    }
    link.expertUpload = true;
    ImageFile image(writeFile("code.srec", flashCodeText(true)));
    EXPECT_TRUE(confirmFirmwareVersion(link, ui, &image));
}

// The file holds version 1.10; against each unit version the question says whether
// it is older, and only then makes Cancel its default.
TEST_F(ContentCheckTest, ConfirmationSaysWhenTheFileIsOlderAndThenDefaultsToCancel) {
    const struct {
        int unitMajor, unitMinor;
        bool older;
    } cases[] = {{1, 5, false}, {1, 10, false}, {1, 11, true}, {2, 0, true}, {0, 99, false}};
    for (const auto& c : cases) {
        link.firmwareMajor = c.unitMajor;
        link.firmwareMinor = c.unitMinor;
        ImageFile image(writeFile("code.srec", flashCodeText(true)));
        ASSERT_TRUE(image.checkContent(ContentCheck::FlashCode, true, link, ui));
        ui.expectMessage(
            confirmText(c.unitMajor, c.unitMinor, 1, 10, c.older ? kOlderVersionNote : ""),
            kConfirmTitle, MessageIcon::Question, MessageAnswer::Ok);
        EXPECT_TRUE(confirmFirmwareVersion(link, ui, &image));
        EXPECT_EQ(ui.askedButtons().back(),
                  c.older ? MessageButtons::OkCancelDefaultCancel : MessageButtons::OkCancel)
            << c.unitMajor << "." << c.unitMinor;
    }
    EXPECT_EQ(ui.pendingQuestions(), 0u);
}

TEST_F(ContentCheckTest, ConfirmationOpensAndChecksTheCodePathItself) {
    std::strcpy(link.codePath, writeFile("code.srec", flashCodeText(true)).c_str());
    ui.expectMessage(confirmText(1, 5, 1, 10), kConfirmTitle, MessageIcon::Question,
                     MessageAnswer::Ok);
    EXPECT_TRUE(confirmFirmwareVersion(link, ui));

    // Another product's file: the code question comes first; Cancel ends it there.
    std::strcpy(link.productCode, "038");
    ui.expectMessage(codeQuestion(link.codePath, "Trailix"), kContentQuestionTitle,
                     MessageIcon::Warning, MessageAnswer::Cancel);
    EXPECT_FALSE(confirmFirmwareVersion(link, ui));
    ui.expectMessage(codeQuestion(link.codePath, "Trailix"), kContentQuestionTitle,
                     MessageIcon::Warning, MessageAnswer::Ok);
    ui.expectMessage(confirmText(1, 5, 1, 10), kConfirmTitle, MessageIcon::Question,
                     MessageAnswer::Ok);
    EXPECT_TRUE(confirmFirmwareVersion(link, ui));

    std::strcpy(link.codePath, dir.file("absent.srec").c_str());
    EXPECT_FALSE(confirmFirmwareVersion(link, ui));
    EXPECT_EQ(ui.pendingQuestions(), 0u);
}

// A binary code file has no version: the question never shows an invented number.
TEST_F(ContentCheckTest, ConfirmationOfAFileWithoutVersionSaysItIsUnknown) {
    std::strcpy(link.codePath, writeFile("code.bin", patternBytes(2048, 4)).c_str());
    const std::string unknown =
        "Unit currently contains firmware\nversion 1.05\n\nThis will overwrite\nwith an UNKNOWN "
        "VERSION!";
    for (const auto answer : {MessageAnswer::Ok, MessageAnswer::Cancel}) {
        ui.expectMessage(codeQuestion(link.codePath, "Trailix"), kContentQuestionTitle,
                         MessageIcon::Warning, MessageAnswer::Ok);
        ui.expectMessage(unknown, kConfirmTitle, MessageIcon::Question, answer);
        EXPECT_EQ(confirmFirmwareVersion(link, ui), answer == MessageAnswer::Ok);
    }
    ImageFile noRecord(writeFile("noversion.srec", flashCodeText(false)));
    ASSERT_TRUE(noRecord.checkContent(ContentCheck::FlashCode, true, link, ui));
    ui.expectMessage(unknown, kConfirmTitle, MessageIcon::Question, MessageAnswer::Ok);
    EXPECT_TRUE(confirmFirmwareVersion(link, ui, &noRecord));
    EXPECT_EQ(ui.pendingQuestions(), 0u);
}

TEST_F(ContentCheckTest, UploadDialogLineForCode) {
    link.codeSelected = true;
    std::strcpy(link.productCode, "038");  // silent: a foreign product still shows its version
    std::strcpy(link.codePath, writeFile("code.srec", flashCodeText(true)).c_str());
    EXPECT_EQ(uploadDialogLine(link, ui), "Updating to version 1.10");
    for (const std::string& path :
         {writeFile("code.bin", patternBytes(100, 1)),
          writeFile("noversion.srec", flashCodeText(false)), dir.file("absent.srec")}) {
        std::strcpy(link.codePath, path.c_str());
        EXPECT_EQ(uploadDialogLine(link, ui), "UPDATING TO UNKNOWN VERSION!") << path;
    }
}

TEST_F(ContentCheckTest, UploadDialogLineForAMap) {
    std::strcpy(link.mapName, "Alpine");
    std::strcpy(link.dataPath, writeFile("map.img", patternBytes(100, 1)).c_str());
    EXPECT_EQ(uploadDialogLine(link, ui), "Updating map to Alpine");

    std::strcpy(link.dataPath, writeFile("map.srec", flashCodeText(false)).c_str());
    ui.expectMessage(mapQuestion(link.dataPath, "Trailix"), kContentQuestionTitle,
                     MessageIcon::Warning, MessageAnswer::Cancel);
    EXPECT_EQ(uploadDialogLine(link, ui), "");
    ui.expectMessage(mapQuestion(link.dataPath, "Trailix"), kContentQuestionTitle,
                     MessageIcon::Warning, MessageAnswer::Ok);
    EXPECT_EQ(uploadDialogLine(link, ui), "Updating map to Alpine");

    std::strcpy(link.dataPath, dir.file("absent.img").c_str());
    EXPECT_EQ(uploadDialogLine(link, ui), "");
    EXPECT_EQ(ui.pendingQuestions(), 0u);
}

}  // namespace
}  // namespace zamel::testing
