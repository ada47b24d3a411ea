#include "ini_profile.h"

#include <gtest/gtest.h>

#include "scratch_dir.h"

namespace tagwright {
namespace {

using testing::readFile;
using testing::ScratchDir;
using testing::writeFile;

const std::string kSample =
    "; settings\r\n"
    "[Personalized]\r\n"
    "CorvathGPS=2\r\n"
    "Title=  My Title  \r\n"
    "odd line without equals\r\n"
    "Quoted=\"  padded  \"\r\n"
    "\r\n"
    "[Plt430]\r\n"
    "English=All data\r\n"
    "Title=second section\r\n";

TEST(FindProfileValue, FindsKeysOfTheirSectionOnly) {
    struct Case {
        const char* section;
        const char* key;
        std::optional<std::string> expected;
    };
    const Case cases[] = {
        {"Personalized", "CorvathGPS", "2"},
        {"personalized", "corvathgps", "2"},
        {"PERSONALIZED", "TITLE", "My Title"},
        {"Plt430", "Title", "second section"},
        {"Plt430", "english", "All data"},
        {"Personalized", "English", std::nullopt},
        {"Personalized", "Quoted", "  padded  "},
        {"Personalized", "odd line without equals", std::nullopt},
        {"Missing", "Title", std::nullopt},
        {"settings", "x", std::nullopt},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(findProfileValue(kSample, c.section, c.key), c.expected)
            << c.section << "/" << c.key;
    }
}

TEST(FindProfileValue, FirstKeyWinsAndDuplicateSectionsAreSearched) {
    const std::string text = "[A]\nk=1\nk=2\n[B]\nj=3\n[a]\nm=4\n";
    EXPECT_EQ(findProfileValue(text, "A", "k"), "1");
    EXPECT_EQ(findProfileValue(text, "A", "m"), "4");
    EXPECT_EQ(findProfileValue(text, "B", "m"), std::nullopt);
}

TEST(FindProfileValue, KeepsBytesOfOtherCodePagesAndBlanksInside) {
    const std::string text =
        "[S]\r\nFrancais=Donn\xE9"
        "es four\r\nAgree=TAPER  ENTER\r\n";
    EXPECT_EQ(findProfileValue(text, "S", "Francais"),
              "Donn\xE9"
              "es four");
    EXPECT_EQ(findProfileValue(text, "S", "Agree"), "TAPER  ENTER");
}

TEST(FindProfileValue, ToleratesGarbageLines) {
    const std::string text = std::string("[unterminated\n=novalue\n\0\0\n[S]\nk=v", 33);
    EXPECT_EQ(findProfileValue(text, "S", "k"), "v");
    EXPECT_EQ(findProfileValue(text, "unterminated", "k"), std::nullopt);
}

TEST(SetProfileValue, ReplacesOnlyTheKeysLine) {
    const std::optional<std::string> out = setProfileValue(kSample, "personalized", "TITLE", "New");
    ASSERT_TRUE(out);
    std::string expected = kSample;
    expected.replace(expected.find("Title=  My Title  "), 18, "Title=New");
    EXPECT_EQ(*out, expected);
}

TEST(SetProfileValue, AddsKeyAtTheEndOfItsSection) {
    const std::optional<std::string> out =
        setProfileValue(kSample, "Personalized", "Language", "3");
    ASSERT_TRUE(out);
    std::string expected = kSample;
    expected.insert(expected.find("\r\n\r\n[Plt430]") + 2, "Language=3\r\n");
    EXPECT_EQ(*out, expected);
}

TEST(SetProfileValue, AddsSectionAndKeyWithTheFilesLineEnds) {
    struct Case {
        std::string text;
        std::string expected;
    };
    const Case cases[] = {
        {"", "[New]\r\nk=v\r\n"},
        {"[A]\nx=1\n", "[A]\nx=1\n[New]\nk=v\n"},
        {"[A]\r\nx=1", "[A]\r\nx=1\r\n[New]\r\nk=v\r\n"},
        {"[New]", "[New]\r\nk=v\r\n"},
        {"[New]\n; only a comment\n", "[New]\nk=v\n; only a comment\n"},
        {"[New]\nk=old", "[New]\nk=v"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(setProfileValue(c.text, "New", "k", "v"), c.expected) << c.text;
    }
}

TEST(SetProfileValue, RefusesWhatTheFileCannotHold) {
    EXPECT_FALSE(setProfileValue("", "S", "k", "two\r\nlines"));
    EXPECT_FALSE(setProfileValue("", "S", "k=", "v"));
    EXPECT_FALSE(setProfileValue("", "S]", "k", "v"));
    EXPECT_FALSE(setProfileValue("", "", "k", "v"));
    EXPECT_FALSE(setProfileValue("", "S", "", "v"));
}

TEST(SetProfileValue, WrittenValueReadsBack) {
    const std::string values[] = {
        "",           "a",  "Hello\\nWorld", "x=y",   std::string(300, 'z'), "  centred  ",
        "\"quoted\"", "\"", "\"\"",          "\"half"};
    for (const std::string& value : values) {
        const std::optional<std::string> out = setProfileValue(kSample, "Plt430", "Message", value);
        ASSERT_TRUE(out);
        EXPECT_EQ(findProfileValue(*out, "Plt430", "Message"), value);
        EXPECT_EQ(findProfileValue(*out, "Personalized", "Title"), "My Title");
    }
}

TEST(ReadProfileString, CutsToBufferLessOneAndFallsBack) {
    ScratchDir dir;
    const std::string path = dir.file("t.ini");
    writeFile(path, "[S]\r\nlong=" + std::string(400, 'x') + "\r\nshort=abc\r\n");
    EXPECT_EQ(readProfileString(path, "S", "long", "", 255), std::string(254, 'x'));
    EXPECT_EQ(readProfileString(path, "S", "short", "", 3), "ab");
    EXPECT_EQ(readProfileString(path, "S", "short", "", 0), "");
    EXPECT_EQ(readProfileString(path, "S", "none", "UnknownLine1", 50), "UnknownLine1");
    EXPECT_EQ(readProfileString(path, "S", "none", std::string(80, 'd'), 50), std::string(49, 'd'));
    EXPECT_EQ(readProfileString(dir.file("missing.ini"), "S", "short", "dflt", 50), "dflt");
}

TEST(ReadProfileInt, TakesTheLeadingNumber) {
    ScratchDir dir;
    const std::string path = dir.file("t.ini");
    writeFile(path,
              "[S]\nplain=2\nneg=-1\nlead=12abc\nword=abc\nempty=\nhuge=99999999999\n"
              "low=-99999999999\nplus=+7\n");
    struct Case {
        const char* key;
        int expected;
    };
    const Case cases[] = {{"plain", 2},
                          {"neg", -1},
                          {"lead", 12},
                          {"word", 0},
                          {"empty", 0},
                          {"huge", 2147483647},
                          {"low", -2147483647 - 1},
                          {"plus", 7},
                          {"missing", -1}};
    for (const Case& c : cases) {
        EXPECT_EQ(readProfileInt(path, "S", c.key, -1), c.expected) << c.key;
    }
    EXPECT_EQ(readProfileInt(dir.file("missing.ini"), "S", "plain", 5), 5);
}

TEST(WriteProfileString, CreatesUpdatesAndKeepsEveryOtherByte) {
    ScratchDir dir;
    const std::string path = dir.file("t.ini");
    ASSERT_TRUE(writeProfileString(path, "Personalized", "Language", "0"));
    EXPECT_EQ(readFile(path), "[Personalized]\r\nLanguage=0\r\n");

    writeFile(path, kSample);
    ASSERT_TRUE(writeProfileString(path, "PERSONALIZED", "corvathgps", "1"));
    std::string expected = kSample;
    expected.replace(expected.find("CorvathGPS=2"), 12, "CorvathGPS=1");
    EXPECT_EQ(readFile(path), expected);
    EXPECT_EQ(readProfileInt(path, "Personalized", "CorvathGPS", 0), 1);
}

TEST(WriteProfileString, FailureLeavesTheFileAsItWas) {
    ScratchDir dir;
    const std::string path = dir.file("t.ini");
    writeFile(path, kSample);
    EXPECT_FALSE(writeProfileString(path, "Personalized", "Title", "a\nb"));
    EXPECT_FALSE(writeProfileString(dir.file("no/such/dir.ini"), "S", "k", "v"));
    EXPECT_EQ(readFile(path), kSample);
}

}  // namespace
}  // namespace tagwright
