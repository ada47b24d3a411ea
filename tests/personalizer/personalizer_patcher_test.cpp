#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <vector>

#include "firmware_image_builder.h"
#include "personalizer_app.h"
#include "recording_ui.h"

namespace tagwright {
namespace {

using testing::FirmwareImageBuilder;
using testing::RecordingUi;

constexpr std::size_t kRec = FirmwareImageBuilder::kDataBytesPerRecord;

const char* kNotFound =
    "Could not find \"%s\" string in firmware.  Please read trouble shooting section in "
    "ReadMeTagwright.txt\n";

std::string notFound(const std::string& text) {
    std::string message = kNotFound;
    message.replace(message.find("%s"), 2, text);
    return message;
}

// An app holding the builder's image, with search texts set by the test.
struct Fixture {
    explicit Fixture(const FirmwareImageBuilder& builder) : app(ui) {
        app.firmwareText = builder.build();
        app.firmwareSize = app.firmwareText.size();
    }
    explicit Fixture(std::string text) : app(ui) {
        app.firmwareText = std::move(text);
        app.firmwareSize = app.firmwareText.size();
    }
    RecordingUi ui;
    PersonalizerApp app;
};

std::vector<std::string> linesOf(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t end = text.find("\r\n", start);
        lines.push_back(text.substr(start, end == std::string::npos ? end : end - start + 2));
        start = end == std::string::npos ? text.size() : end + 2;
    }
    return lines;
}

// True when every S-record line's checksum matches its bytes.
bool checksumsValid(const std::string& text) {
    for (const std::string& line : linesOf(text)) {
        const std::size_t digits = line.size() - 4;  // less type and CR LF
        unsigned sum = 0;
        for (std::size_t i = 0; i < digits; i += 2) {
            const int value = PersonalizerApp::hexPairValue(line[2 + i], line[3 + i]);
            if (value < 0) {
                return false;
            }
            sum += static_cast<unsigned>(value);
        }
        if ((sum & 0xFF) != 0xFF) {
            return false;
        }
    }
    return true;
}

// The data bytes of the image, decoded from its S319 lines.
std::vector<std::uint8_t> decodedData(const std::string& text) {
    std::vector<std::uint8_t> data;
    for (const std::string& line : linesOf(text)) {
        if (line.rfind("S319", 0) != 0) {
            continue;
        }
        for (std::size_t i = 12; i < 52; i += 2) {
            data.push_back(
                static_cast<std::uint8_t>(PersonalizerApp::hexPairValue(line[i], line[i + 1])));
        }
    }
    return data;
}

TEST(Hex, DigitsPairsAndSpelling) {
    EXPECT_EQ(PersonalizerApp::hexDigitValue('0'), 0);
    EXPECT_EQ(PersonalizerApp::hexDigitValue('9'), 9);
    EXPECT_EQ(PersonalizerApp::hexDigitValue('A'), 10);
    EXPECT_EQ(PersonalizerApp::hexDigitValue('f'), 15);
    EXPECT_EQ(PersonalizerApp::hexDigitValue('G'), -1);
    EXPECT_EQ(PersonalizerApp::hexDigitValue('\0'), -1);
    EXPECT_EQ(PersonalizerApp::hexPairValue('E', 'a'), 0xEA);
    EXPECT_EQ(PersonalizerApp::hexPairValue('\r', '\n'), -1);
    EXPECT_EQ(PersonalizerApp::hexPairValue('0', 'x'), -1);
    EXPECT_EQ(PersonalizerApp::hexOf("WARNING!"), "5741524E494E4721");
    EXPECT_EQ(PersonalizerApp::hexOf("\xE9\xFF\x01"), "E9FF01");
}

TEST(LocateTitle, OnePieceRoomFromTheZeroRunBehind) {
    struct Case {
        std::vector<std::uint8_t> behind;
        int charLimit;
    };
    const Case cases[] = {
        {{0, 0, 0, 0, 0x41}, 11},              // digits 00000000 then 41
        {{0, 0x41}, 8},                        // 00 then 41
        {{0, 0x05}, 8},                        // 0005
        {{0x41}, 8},                           // no terminator behind
        {{0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, 16},  // the record's data ends after nine zeros
    };
    for (const Case& c : cases) {
        FirmwareImageBuilder builder(6);
        builder.place(2 * kRec + 3, "WARNING!");
        builder.place(2 * kRec + 11, std::string(c.behind.begin(), c.behind.end()));
        Fixture f(builder);
        f.app.title().searchText = "WARNING!";
        f.app.locateTitle();
        EXPECT_EQ(f.app.title().charLimit, c.charLimit);
        EXPECT_EQ(f.app.title().recordRoom[0], c.charLimit);
        EXPECT_EQ(f.app.title().recordRoom[1], 0);
        EXPECT_EQ(f.app.title().matchPos, builder.bytePosition(2 * kRec + 3));
        EXPECT_EQ(f.app.title().records[0], builder.recordPosition(2 * kRec));
        EXPECT_EQ(f.app.title().factoryText, "WARNING!");
        EXPECT_TRUE(f.ui.shown.empty());
    }
}

TEST(LocateTitle, ZeroRoomStopsAtTheEndOfTheRecordsData) {
    FirmwareImageBuilder builder(4, 0x1000, 0);  // everything zero behind the title
    builder.place(kRec + 12, "WARNING!");
    Fixture f(builder);
    f.app.title().searchText = "WARNING!";
    f.app.locateTitle();
    EXPECT_EQ(f.app.title().charLimit, 8);
}

TEST(LocateTitle, SplitAfterTheFourthCharacter) {
    FirmwareImageBuilder builder(8);
    builder.placeString(kRec + 2, "WARNUNG!");  // the same four letters elsewhere
    builder.place(4 * kRec - 4, "WARN");
    builder.place(4 * kRec, "ING!");
    builder.place(4 * kRec + 4, std::string(4, '\0'));
    Fixture f(builder);
    f.app.title().searchText = "WARNING!";
    f.app.locateTitle();
    const TextGroup& title = f.app.title();
    EXPECT_EQ(title.matchPos, builder.bytePosition(4 * kRec - 4));
    EXPECT_EQ(builder.bytePosition(4 * kRec + 3) - *title.matchPos, 30u);
    EXPECT_EQ(title.records[0], builder.recordPosition(3 * kRec));
    EXPECT_EQ(title.records[1], builder.recordPosition(4 * kRec));
    EXPECT_EQ(title.recordRoom[0], 4);
    EXPECT_EQ(title.recordRoom[1], 4 + 3);
    EXPECT_EQ(title.charLimit, 11);
    EXPECT_EQ(title.factoryText, "WARNING!");

    f.app.title().personalText = "HELLO WORLD";
    f.app.patchGroup(f.app.title());
    std::vector<std::uint8_t> expected = builder.data();
    const std::string placed = "HELLO WORLD";
    std::copy(placed.begin(), placed.end(), expected.begin() + 4 * kRec - 4);
    EXPECT_EQ(decodedData(f.app.firmwareText), expected);
    EXPECT_TRUE(checksumsValid(f.app.firmwareText));
}

TEST(LocateTitle, RefusesSplitPlacesThatAreNotTheTitle) {
    struct Case {
        const char* name;
        const char* searchText;
        const char* endOfFirst;
        const char* startOfSecond;
    };
    const Case cases[] = {
        // The last character's spelling occurs earlier in the title's own.
        {"last digits repeat", "ABBA", "AB", "BA"},
        // The last character is at the right distance but the middle differs.
        {"middle differs", "WARNING!", "WARN", "XYZ!"},
    };
    for (const Case& c : cases) {
        FirmwareImageBuilder builder(6);
        builder.place(2 * kRec - std::string_view(c.endOfFirst).size(), c.endOfFirst);
        builder.place(2 * kRec, c.startOfSecond);
        Fixture f(builder);
        f.app.title().searchText = c.searchText;
        f.app.title().charLimit = 9;  // left from an earlier location
        f.app.locateTitle();
        EXPECT_FALSE(f.app.title().records[0]) << c.name;
        EXPECT_EQ(f.app.title().charLimit, 0) << c.name;
        EXPECT_EQ(f.app.title().factoryText, "") << c.name;
        EXPECT_TRUE(f.ui.shown.empty()) << c.name;
        const std::string before = f.app.firmwareText;
        f.app.title().personalText = "XX";
        f.app.patchGroup(f.app.title());
        EXPECT_EQ(f.app.firmwareText, before) << c.name;
    }
}

TEST(LocateTitle, RepetitiveImageIsSearchedInLinearTime) {
    // Every place starts the title's first letters and its last letter stands
    // only at the end: re-searching it for each place would take hours.
    FirmwareImageBuilder builder(50000, 0x1000, 'A');
    builder.place(50000 * kRec - 2, "xC");
    Fixture f(builder);
    f.app.title().searchText = "AAAC";
    f.app.locateTitle();
    EXPECT_FALSE(f.app.title().records[0]);
}

TEST(LocateText, AgreeCutAfterItsNinthCharacter) {
    FirmwareImageBuilder builder(8);
    builder.place(3 * kRec - 9, "PRESS ENT");
    builder.placeString(3 * kRec, "ER TO AGREE");
    Fixture f(builder);
    f.app.agree().searchText = "PRESS ENTER TO AGREE";
    ASSERT_TRUE(f.app.locateText(f.app.agree()));
    const TextGroup& agree = f.app.agree();
    EXPECT_EQ(agree.matchPos, builder.bytePosition(3 * kRec - 9));
    EXPECT_EQ(builder.bytePosition(3 * kRec + 3) - *agree.matchPos, 40u);
    EXPECT_EQ(agree.factoryText, "PRESS ENTER TO AGREE");
    EXPECT_EQ(agree.recordRoom[0], 9);
    EXPECT_EQ(agree.recordRoom[1], 11);
    EXPECT_EQ(agree.charLimit, 20);
    EXPECT_TRUE(f.ui.shown.empty());
}

// The acknowledgement cut after its "P", right behind a disclaimer ending in
// "PERIL.": the disclaimer's "P" stands in the look-back before the tail too,
// but the text does not read on from it.
TEST(LocateText, SplitMatchMustReadOnAcrossTheRecords) {
    const std::size_t cut = 3 * kRec;
    for (const bool realHead : {true, false}) {
        SCOPED_TRACE(realHead ? "acknowledgement whole" : "its first letter missing");
        FirmwareImageBuilder builder(8);
        builder.setByte(cut - 21, 0).placeString(cut - 20, "At your own PERIL.");
        builder.place(cut - 1, realHead ? "P" : "X");
        builder.placeString(cut, "RESS ENTER TO AGREE");
        Fixture f(builder);
        f.app.message().searchText = "At your";
        f.app.agree().searchText = "PRESS ENTER TO AGREE";
        ASSERT_TRUE(f.app.locateText(f.app.message()));
        EXPECT_EQ(f.app.message().charLimit, 18);

        if (!realHead) {
            EXPECT_FALSE(f.app.locateText(f.app.agree()));
            EXPECT_EQ(f.ui.shown.size(), 1u);
            EXPECT_FALSE(f.app.agree().records[0]);
            continue;
        }
        ASSERT_TRUE(f.app.locateText(f.app.agree()));
        EXPECT_EQ(f.app.agree().matchPos, builder.bytePosition(cut - 1));
        EXPECT_EQ(f.app.agree().factoryText, "PRESS ENTER TO AGREE");
        EXPECT_EQ(f.app.agree().charLimit, 20);

        f.app.agree().personalText = "YES";
        f.app.patchGroup(f.app.agree());
        std::vector<std::uint8_t> expected = builder.data();
        std::copy_n("YES                 ", 20, expected.begin() + cut - 1);
        EXPECT_EQ(decodedData(f.app.firmwareText), expected);
        EXPECT_TRUE(f.ui.shown.empty());
    }
}

TEST(LocateText, MessageAfterAZeroByteOverSeveralRecords) {
    // Starts behind the zero at data byte 9 of its record (bytes counted from
    // the count byte) and ends with a terminator at byte 12 of a later one.
    const std::string text =
        std::string("All data is provided for reference purposes ") + "only, use at own risk!";
    ASSERT_EQ(text.size(), 15u + 20u + 20u + 7u + 4u);
    FirmwareImageBuilder builder(10);
    builder.setByte(2 * kRec + 4, 0);
    builder.place(2 * kRec + 5, text.substr(0, 62));
    builder.place(5 * kRec + 7, std::string(3, '\0'));
    builder.place(5 * kRec + 10, "XYZ");
    Fixture f(builder);
    f.app.message().searchText = "All data";
    ASSERT_TRUE(f.app.locateText(f.app.message()));
    const TextGroup& message = f.app.message();
    EXPECT_EQ(message.recordRoom[0], 15);
    EXPECT_EQ(message.recordRoom[1], 20);
    EXPECT_EQ(message.recordRoom[2], 20);
    EXPECT_EQ(message.recordRoom[3], 7 + 2);
    EXPECT_EQ(message.recordRoom[4], 0);
    EXPECT_EQ(message.charLimit, 64);
    EXPECT_EQ(message.factoryText, text.substr(0, 62));
    EXPECT_TRUE(f.app.textEnded);
    EXPECT_FALSE(message.openEnded);
    for (std::size_t k = 0; k < 4; ++k) {
        EXPECT_EQ(message.records[k], builder.recordPosition((2 + k) * kRec));
    }

    f.app.message().personalText = "Be careful\\nout there";
    f.app.patchGroup(f.app.message());
    std::vector<std::uint8_t> expected = builder.data();
    std::string placed = "Be careful\r\nout there";
    placed.resize(64, ' ');
    std::copy(placed.begin(), placed.end(), expected.begin() + 2 * kRec + 5);
    EXPECT_EQ(decodedData(f.app.firmwareText), expected);
    EXPECT_EQ(expected[5 * kRec + 9], 0);  // the run's last zero ends the new text
    EXPECT_TRUE(checksumsValid(f.app.firmwareText));
}

TEST(LocateText, OnlyTheZerosRightBehindTheTerminatorAreRoom) {
    FirmwareImageBuilder builder(6);
    builder.placeString(kRec + 2, "Short text");
    builder.place(kRec + 13, "Q");  // a neighbour's byte
    builder.place(kRec + 14, std::string(2, '\0'));
    Fixture f(builder);
    f.app.message().searchText = "Short";
    ASSERT_TRUE(f.app.locateText(f.app.message()));
    EXPECT_EQ(f.app.message().charLimit, 10);
    f.app.message().personalText = std::string(40, 'L');
    f.app.patchGroup(f.app.message());
    const std::vector<std::uint8_t> data = decodedData(f.app.firmwareText);
    EXPECT_EQ(data[kRec + 12], 0);
    EXPECT_EQ(data[kRec + 13], 'Q');
}

TEST(LocateText, TextEndingInItsFirstRecordKeepsItsNeighbour) {
    FirmwareImageBuilder builder(6);
    builder.placeString(kRec + 1, "Hi there");
    builder.placeString(kRec + 10, "next");
    Fixture f(builder);
    f.app.message().searchText = "Hi";
    ASSERT_TRUE(f.app.locateText(f.app.message()));
    EXPECT_EQ(f.app.message().factoryText, "Hi there");
    EXPECT_EQ(f.app.message().charLimit, 8);
    f.app.message().personalText = "Yo";
    f.app.patchGroup(f.app.message());
    std::vector<std::uint8_t> expected = builder.data();
    std::copy_n("Yo      ", 8, expected.begin() + kRec + 1);
    EXPECT_EQ(decodedData(f.app.firmwareText), expected);
}

TEST(LocateText, TextRunningOnPastWhatIsSeenGetsATerminator) {
    struct Case {
        const char* name;
        std::size_t records;
        std::size_t start;
        int charLimit;
    };
    const Case cases[] = {
        {"image ends", 4, 2 * kRec + 10, 10 + 20 - 1},
        {"ten records", 14, kRec, 10 * 20 - 1},
    };
    for (const Case& c : cases) {
        FirmwareImageBuilder builder(c.records, 0x1000, 'z');
        builder.place(c.start, "Begin");
        Fixture f(builder);
        f.app.message().searchText = "Begin";
        ASSERT_TRUE(f.app.locateText(f.app.message())) << c.name;
        EXPECT_TRUE(f.app.message().openEnded) << c.name;
        EXPECT_FALSE(f.app.textEnded) << c.name;
        EXPECT_EQ(f.app.message().charLimit, c.charLimit) << c.name;
        f.app.message().personalText = "New";
        f.app.patchGroup(f.app.message());
        std::vector<std::uint8_t> expected = builder.data();
        std::string placed = "New";
        placed.resize(static_cast<std::size_t>(c.charLimit), ' ');
        placed.push_back('\0');
        std::copy(placed.begin(), placed.end(), expected.begin() + static_cast<long>(c.start));
        EXPECT_EQ(decodedData(f.app.firmwareText), expected) << c.name;
        EXPECT_TRUE(checksumsValid(f.app.firmwareText)) << c.name;
    }
}

TEST(LocateText, StopsWhereTheNextRecordIsNotTheNextAddress) {
    FirmwareImageBuilder near(3, 0x1000, 'n');
    near.place(2 * kRec + 15, "Start");
    FirmwareImageBuilder far(3, 0x8000, 'f');
    const std::string nearText = near.build();
    const std::string farText = far.build();
    const std::string image =
        nearText.substr(0, nearText.rfind("S7")) + farText.substr(farText.find("\r\n") + 2);
    Fixture f(image);
    f.app.message().searchText = "Start";
    ASSERT_TRUE(f.app.locateText(f.app.message()));
    EXPECT_TRUE(f.app.message().openEnded);
    EXPECT_EQ(f.app.message().charLimit, 4);
    EXPECT_FALSE(f.app.message().records[1]);
    f.app.message().personalText = "Stop it";
    f.app.patchGroup(f.app.message());
    EXPECT_EQ(f.app.firmwareText.substr(f.app.firmwareText.find("S31900008000")),
              farText.substr(farText.find("\r\n") + 2));
    std::vector<std::uint8_t> expected = near.data();
    std::copy_n("Stop\0", 5, expected.begin() + 2 * kRec + 15);
    std::vector<std::uint8_t> data = decodedData(f.app.firmwareText);
    data.resize(expected.size());
    EXPECT_EQ(data, expected);
}

TEST(LocateText, MatchWithinTheFirstFiftyCharacters) {
    FirmwareImageBuilder builder(3);
    builder.placeString(0, "At start");
    const std::string full = builder.build();
    Fixture f(full.substr(full.find("\r\n") + 2));  // without the S0 line
    f.app.agree().searchText = "At start";
    ASSERT_TRUE(f.app.locateText(f.app.agree()));
    EXPECT_EQ(f.app.agree().matchPos, 12u);
    EXPECT_EQ(f.app.agree().records[0], 0u);
    EXPECT_EQ(f.app.agree().charLimit, 8);
}

TEST(LocateText, SkipsSpellingsThatAreNotWholeDataBytes) {
    FirmwareImageBuilder builder(6);
    builder.place(kRec, "\x34\x14\x2F");  // digits 34142F hold 4142 off the byte grid
    builder.placeString(3 * kRec + 5, "AB");
    Fixture f(builder);
    ASSERT_NE(f.app.firmwareText.find("4142"), builder.bytePosition(3 * kRec + 5));
    f.app.message().searchText = "AB";
    ASSERT_TRUE(f.app.locateText(f.app.message()));
    EXPECT_EQ(f.app.message().matchPos, builder.bytePosition(3 * kRec + 5));
}

TEST(LocateText, NotFoundShowsTheMessage) {
    FirmwareImageBuilder builder(6);
    builder.placeString(kRec + 2, "PRESS ENTER TO AGREE");
    const std::string upper = builder.build();
    std::string lower = upper;
    std::transform(lower.begin(), lower.end(), lower.begin(), [](char c) {
        return (c >= 'A' && c <= 'F') ? static_cast<char>(c - 'A' + 'a') : c;
    });
    std::string truncated = upper.substr(0, builder.bytePosition(kRec + 8));

    struct Case {
        const char* name;
        std::string image;
        std::string searchText;
    };
    const Case cases[] = {
        {"lower-case digits", lower, "PRESS ENTER TO AGREE"},
        {"empty search text", upper, ""},
        {"absent", upper, "UnknownAgree"},
        {"record cut by the file's end", truncated, "PRESS"},
        {"binary garbage", std::string("\0\x01S319\xFFS3194142", 15), "AB"},
    };
    for (const Case& c : cases) {
        Fixture f(c.image);
        f.app.agree().searchText = c.searchText;
        EXPECT_FALSE(f.app.locateText(f.app.agree())) << c.name;
        ASSERT_EQ(f.ui.shown.size(), 1u) << c.name;
        EXPECT_EQ(f.ui.shown[0].text, notFound(c.searchText)) << c.name;
        EXPECT_EQ(f.ui.shown[0].icon, MessageIcon::Error) << c.name;
        EXPECT_FALSE(f.app.agree().records[0]) << c.name;
        EXPECT_EQ(f.app.agree().factoryText, "") << c.name;
        f.app.title().searchText = c.searchText;
        f.app.locateTitle();
        EXPECT_FALSE(f.app.title().records[0]) << c.name;
        EXPECT_EQ(f.ui.shown.size(), 1u) << c.name;
    }
}

TEST(LocateText, LocatingAgainDoesNotRepeatTheFactoryText) {
    FirmwareImageBuilder builder(4);
    builder.placeString(kRec + 2, "Laitteen tiedot");
    Fixture f(builder);
    f.app.message().searchText = "Laitteen";
    ASSERT_TRUE(f.app.locateText(f.app.message()));
    ASSERT_TRUE(f.app.locateText(f.app.message()));
    EXPECT_EQ(f.app.message().factoryText, "Laitteen tiedot");
}

TEST(PatchGroup, BlankRecordChecksumIs56) {
    FirmwareImageBuilder builder(3, 0x00001000);
    builder.placeString(0, "ABCDEFGHIJKLMNOPQRST");
    Fixture f(builder);
    f.app.message().searchText = "ABCDEFGHIJ";
    ASSERT_TRUE(f.app.locateText(f.app.message()));
    ASSERT_EQ(f.app.message().charLimit, 20);
    f.app.patchGroup(f.app.message());
    const std::string expectedLine = "S31900001000" + std::string(40, '0') + "56\r\n";
    std::string blanks = expectedLine;
    for (std::size_t i = 12; i < 52; i += 2) {
        blanks[i] = '2';
    }
    const std::vector<std::string> lines = linesOf(f.app.firmwareText);
    EXPECT_EQ(lines[1], blanks);
}

TEST(PatchGroup, PadsCutsAndTurnsBackslashNIntoCrLf) {
    struct Case {
        const char* name;
        std::string personal;
        std::string placed;  // the five bytes of room, then the kept zero
    };
    const Case cases[] = {
        {"two letters", "OK", std::string("OK   \0", 6)},
        {"line break", "a\\nb", std::string("a\r\nb \0", 6)},
        {"too long", "ABCDEFGH", std::string("ABCDE\0", 6)},
        {"break cut in half", "ABCD\\n", std::string("ABCD \0", 6)},
        {"empty", "", std::string("     \0", 6)},
    };
    for (const Case& c : cases) {
        FirmwareImageBuilder builder(4);
        builder.place(kRec + 3, std::string("ABC\0\0\0Z", 7));
        Fixture f(builder);
        f.app.agree().searchText = "ABC";
        ASSERT_TRUE(f.app.locateText(f.app.agree()));
        ASSERT_EQ(f.app.agree().charLimit, 5) << c.name;
        f.app.agree().personalText = c.personal;
        f.app.patchGroup(f.app.agree());
        std::vector<std::uint8_t> expected = builder.data();
        std::copy(c.placed.begin(), c.placed.end(), expected.begin() + kRec + 3);
        EXPECT_EQ(decodedData(f.app.firmwareText), expected) << c.name;
        EXPECT_EQ(f.app.agree().personalText, c.personal) << c.name;
    }
}

TEST(PatchAll, ChangesOnlyTheThreeTextsRecords) {
    FirmwareImageBuilder builder(40);
    builder.placeString(5 * kRec + 2, "WARNING!");
    builder.setByte(12 * kRec + 8, 0);
    builder.placeString(12 * kRec + 9, "All data is provided for reference only.");
    builder.place(20 * kRec - 9, "PRESS ENT");
    builder.placeString(20 * kRec, "ER TO AGREE");
    Fixture f(builder);
    f.app.title().searchText = "WARNING!";
    f.app.message().searchText = "All data";
    f.app.agree().searchText = "PRESS ENTER TO AGREE";
    f.app.locateTitle();
    ASSERT_TRUE(f.app.locateText(f.app.message()));
    ASSERT_TRUE(f.app.locateText(f.app.agree()));
    f.app.title().personalText = "MINE";
    f.app.message().personalText = "Property of\\nJ. Doe";
    f.app.agree().personalText = "ENTER";
    const std::string before = f.app.firmwareText;
    f.app.patchAll();

    EXPECT_EQ(f.app.firmwareText.size(), before.size());
    EXPECT_TRUE(checksumsValid(f.app.firmwareText));
    const std::vector<std::string> oldLines = linesOf(before);
    const std::vector<std::string> newLines = linesOf(f.app.firmwareText);
    ASSERT_EQ(oldLines.size(), newLines.size());
    const std::vector<std::size_t> touched = {6, 13, 14, 15, 20, 21};  // S0 is line 0
    for (std::size_t i = 0; i < oldLines.size(); ++i) {
        const bool isTouched = std::find(touched.begin(), touched.end(), i) != touched.end();
        EXPECT_EQ(oldLines[i] != newLines[i], isTouched) << "line " << i;
    }
    const std::vector<std::uint8_t> data = decodedData(f.app.firmwareText);
    auto textAt = [&](std::size_t offset, std::size_t length) {
        return std::string(data.begin() + static_cast<long>(offset),
                           data.begin() + static_cast<long>(offset + length));
    };
    EXPECT_EQ(textAt(5 * kRec + 2, 9), std::string("MINE    \0", 9));
    EXPECT_EQ(textAt(12 * kRec + 9, 19), "Property of\r\nJ. Doe");
    std::string agreePlaced = "ENTER";
    agreePlaced.resize(20, ' ');
    agreePlaced.push_back('\0');
    EXPECT_EQ(textAt(20 * kRec - 9, 21), agreePlaced);
}

}  // namespace
}  // namespace tagwright
