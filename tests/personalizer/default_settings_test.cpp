#include "default_settings.h"

#include <gtest/gtest.h>

#include <vector>

#include "personalizer_app.h"
#include "recording_ui.h"
#include "scratch_dir.h"

namespace tagwright {
namespace {

using testing::readFile;
using testing::RecordingUi;
using testing::ScratchDir;
using testing::writeFile;

// The expected default file, written out line by line.
std::vector<std::string> expectedLines(const std::string& dir, int family) {
    const std::string rule = ";==============================================================";
    auto framed = [](std::string text) {
        text.resize(60, ' ');
        return ";|" + text + "|";
    };
    std::vector<std::string> lines = {rule, framed(""),
                                      framed("   Pebblewick Tagwright initialization file")};
    lines.push_back(framed("   Copyright (C) the Tagwright authors"));
    lines.insert(lines.end(),
                 {framed(""), framed("   "), framed(""), framed("   "), framed("   "), framed("")});
    lines.push_back(framed("   Based on users' notes on the receivers' firmware"));
    lines.insert(
        lines.end(),
        {framed(""), rule, "", "", "", "", "", "[Personalized]", "", ";Corvath GPS types supported",
         ";  0 = Talvane Amber, Cobalt, or Harbor", ";  1 = Plt430 series",
         ";  2 = Talvane Olive (firmware split at V3.12 (April 17, 2002)",
         "CorvathGPS=" + std::to_string(family), "Language=0", "Title=", "Message=", "Agree="});
    const char* languages[] = {"English", "Francais", "Deutsch",     "Nederlands", "Suomi",
                               "Espanol", "Italiano", "Portugueses", "Svenska"};
    struct Section {
        const char* name;
        const char* file;
        const char* texts[27];  // title, message, agree per language
    };
    const Section sections[] = {
        {"[Talvane_Amber_or_Cobalt_or_Harbor]",
         "tambr312.hex",
         {"WARNING!",
          "All data",
          "PRESS ENTER TO AGREE",
          "ATTENTION!",
          "Donn\xE9"
          "es four",
          "TAPER ENTER POUR VALID",
          "WARNUNG!",
          "Alle Daten diene",
          "ENTER F\xDC",
          "WAARSCH.!",
          "Alle info is",
          "DRUK ENTER",
          "VAROITUS!",
          "Laitteen",
          "Hyv\xE4ksy,",
          "ALERTA!",
          "Los datos se ofrecen",
          "PULSE ENTER P/ ACEPTAR",
          "ATTENZIONE!",
          "I dati",
          "PREM ENTER PER CONTIN",
          "AVISO!",
          "Os dados",
          "PRIMA ENTER",
          "VARNING!",
          "Info. ges som",
          "TRYCK ENTER"}},
        {"[Talvane_Olive]",
         "tnav312.hex",
         {"WARNING!",
          "All data is provided for",
          "PRESS ENTER TO AGREE",
          "ATTENTION!",
          "Donn\xE9"
          "es four",
          "TAPER  ENTER",
          "WARNUNG!",
          "Alle Daten diene",
          "ENTER F\xDC",
          "WAARSCH.!",
          "Alle info is",
          "DRUK ENT",
          "VAROITUS!",
          "Laitteen",
          "Hyv\xE4ksy, paina",
          "ALERTA!",
          "Los datos se ofrecen",
          "PULSE ENTER",
          "ATTENZIONE!",
          "I dati",
          "PREM ENTER",
          "AVISO!",
          "Os dados",
          "PRIMA ENTER",
          "VARNING!",
          "Info. ge",
          "TRYCK EN"}},
        {"[Plt430]",
         "vesta209.sre",
         {"WARNING!",
          "All data",
          "PRESS ENTER TO AGREE",
          "ATTENTION!",
          "Donn\xE9"
          "es four",
          "TAPER  ENTER POUR",
          "WARNUNG!",
          "Alle Daten diene",
          "ENTER F\xDCR",
          "WAARSCH.",
          "Alle info is indicatief",
          "DRUK ENTER",
          "VAROITUS!",
          "Laitteen",
          "Hyv\xE4ksy,",
          "ALERTA!",
          "Los dato",
          "PULSE EN",
          "ATTENZIONE!",
          "I dati sono un",
          "PREM ENTER PER CONTIN",
          "AVISO!",
          "Os dados s\xE3o somente",
          "PRIMA ENTER",
          "VARNING!",
          "Info. ges som",
          "TRYCK ENTER"}},
    };
    for (const Section& section : sections) {
        lines.insert(lines.end(),
                     {"", "", "", section.name, "", "FactoryFilename=" + dir + "/" + section.file,
                      "PersonalizedFilename=" + dir + "/personal.hex", ""});
        for (int language = 0; language < 9; ++language) {
            const std::string key = languages[language];
            lines.push_back(key + "Title=" + section.texts[3 * language]);
            lines.push_back(key + "=" + section.texts[3 * language + 1]);
            lines.push_back(key + "Agree=" + section.texts[3 * language + 2]);
            lines.push_back("");
        }
    }
    return lines;
}

std::string joinCrLf(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines) {
        text += line + "\r\n";
    }
    return text;
}

TEST(DefaultSettings, TextIsTheExpected161Lines) {
    const std::vector<std::string> lines = expectedLines("/home/u/GPS", 0);
    ASSERT_EQ(lines.size(), 161u);
    EXPECT_EQ(defaultSettingsText("/home/u/GPS", 0), joinCrLf(lines));
    for (std::size_t i = 0; i < 13; ++i) {
        EXPECT_EQ(lines[i].size(), 63u) << "banner line " << i + 1;
    }
}

TEST(DefaultSettings, FamilyGuessFollowsTheFirmwareFilesPresent) {
    struct Case {
        bool vesta;
        bool tnav;
        int family;
    };
    const Case cases[] = {{false, false, 0}, {true, false, 1}, {false, true, 2}, {true, true, 1}};
    for (const Case& c : cases) {
        ScratchDir dir;
        if (c.vesta) {
            writeFile(dir.file("vesta209.sre"), "S0");
        }
        if (c.tnav) {
            writeFile(dir.file("tnav312.hex"), "S0");
        }
        RecordingUi ui;
        PersonalizerApp app(ui);
        ASSERT_TRUE(app.setWorkDir(dir.path()));
        app.loadSettings();
        EXPECT_EQ(readFile(app.settingsPath), joinCrLf(expectedLines(dir.path(), c.family)));
        EXPECT_EQ(app.familyIndex, c.family);
        EXPECT_TRUE(ui.shown.empty());
    }
}

TEST(LoadSettings, ReadsTheDefaultFileItWrote) {
    ScratchDir dir;
    RecordingUi ui;
    PersonalizerApp app(ui);
    ASSERT_TRUE(app.setWorkDir(dir.path()));
    EXPECT_EQ(app.settingsPath, dir.path() + "/Tagwright.ini");
    app.loadSettings();
    EXPECT_EQ(app.languageIndex, 0);
    EXPECT_EQ(app.languageName, "English");
    EXPECT_EQ(app.factoryFile, dir.path() + "/tambr312.hex");
    EXPECT_EQ(app.personalFile, dir.path() + "/personal.hex");
    EXPECT_EQ(app.dumpEnabled, 0);
    EXPECT_EQ(app.title().searchText, "WARNING!");
    EXPECT_EQ(app.message().searchText, "All data");
    EXPECT_EQ(app.agree().searchText, "PRESS ENTER TO AGREE");
    EXPECT_EQ(app.title().personalText, "");
}

TEST(LoadSettings, SelectsFamilySectionAndLanguageKeys) {
    ScratchDir dir;
    RecordingUi ui;
    PersonalizerApp app(ui);
    ASSERT_TRUE(app.setWorkDir(dir.path()));
    app.loadSettings();
    struct Case {
        int family;
        int language;
        const char* languageName;
        const char* title;
        const char* message;
        const char* agree;
        const char* factoryName;
    };
    const Case cases[] = {
        {1, 8, "Svenska", "VARNING!", "Info. ges som", "TRYCK ENTER", "vesta209.sre"},
        {2, 8, "Svenska", "VARNING!", "Info. ge", "TRYCK EN", "tnav312.hex"},
        {1, 3, "Nederlands", "WAARSCH.", "Alle info is indicatief", "DRUK ENTER", "vesta209.sre"},
        {1, 7, "Portugueses", "AVISO!", "Os dados s\xE3o somente", "PRIMA ENTER", "vesta209.sre"},
        {0, 1, "Francais", "ATTENTION!",
         "Donn\xE9"
         "es four",
         "TAPER ENTER POUR VALID", "tambr312.hex"},
        {0, 9, "Unknown", "UnknownWarning", "UnknownLine1", "UnknownAgree", "tambr312.hex"},
        {0, -4, "Unknown", "UnknownWarning", "UnknownLine1", "UnknownAgree", "tambr312.hex"},
        {7, 0, "English", "UnknownWarning", "UnknownLine1", "UnknownAgree", "tlvn3_08.hex"},
    };
    for (const Case& c : cases) {
        ASSERT_TRUE(app.writePersonalizedSetting("CorvathGPS", std::to_string(c.family)));
        ASSERT_TRUE(app.writePersonalizedSetting("Language", std::to_string(c.language)));
        app.loadSettings();
        EXPECT_EQ(app.familyIndex, c.family);
        EXPECT_EQ(app.languageIndex, c.language);
        EXPECT_EQ(app.languageName, c.languageName);
        EXPECT_EQ(app.title().searchText, c.title);
        EXPECT_EQ(app.message().searchText, c.message);
        EXPECT_EQ(app.agree().searchText, c.agree);
        EXPECT_EQ(app.factoryFile, dir.path() + "/" + c.factoryName);
        EXPECT_EQ(app.personalFile, dir.path() + "/personal.hex");
    }
}

TEST(LoadSettings, ExpandsLineBreaksOfMessageAndAgreeOnly) {
    ScratchDir dir;
    writeFile(dir.file("Tagwright.ini"),
              "[Personalized]\r\nTitle=AB\\nCD\r\nMessage=ABCDEFGH\\nIJKLMNOP\r\n"
              "Agree=\\n\\\\nX\\n\r\n");
    RecordingUi ui;
    PersonalizerApp app(ui);
    ASSERT_TRUE(app.setWorkDir(dir.path()));
    app.loadSettings();
    EXPECT_EQ(app.title().personalText, "AB\\nCD");
    EXPECT_EQ(app.message().personalText, "ABCDEFGH\r\nIJKLMNOP");
    EXPECT_EQ(app.message().personalText.size(), 18u);
    EXPECT_EQ(app.agree().personalText, "\r\n\\\r\nX\r\n");
    // No Language key: the Unknown key name, whose disclaimer is missing.
    EXPECT_EQ(app.languageIndex, -1);
    EXPECT_EQ(app.languageName, "Unknown");
    EXPECT_EQ(app.message().searchText, "UnknownLine1");
    EXPECT_EQ(app.factoryFile, dir.path() + "/tlvn3_08.hex");
}

TEST(LoadSettings, CutsLongValuesAndReadsOddFiles) {
    ScratchDir dir;
    writeFile(
        dir.file("Tagwright.ini"),
        "garbage before any section\n[personalized]\nlanguage = 2 \nCORVATHGPS=junk\n"
        "Title=" +
            std::string(300, 'T') + "\nMessage=" + std::string(253, 'M') +
            "\\n\n[Talvane_Amber_or_Cobalt_or_Harbor]\nFactoryFilename=" + std::string(300, 'p') +
            "\nDump=1\ndeutsch=" + std::string(60, 'd') + "\n\x01\x02\xFF=\n");
    RecordingUi ui;
    PersonalizerApp app(ui);
    ASSERT_TRUE(app.setWorkDir(dir.path()));
    app.loadSettings();
    EXPECT_EQ(app.languageIndex, 2);
    EXPECT_EQ(app.familyIndex, 0);
    EXPECT_EQ(app.title().personalText, std::string(254, 'T'));
    // Cut to 254 first, so the backslash stays alone.
    EXPECT_EQ(app.message().personalText, std::string(253, 'M') + "\\");
    EXPECT_EQ(app.factoryFile, std::string(259, 'p'));
    EXPECT_EQ(app.dumpEnabled, 1);
    EXPECT_EQ(app.message().searchText, std::string(49, 'd'));
}

TEST(LoadSettings, ClearsTextsOfAnEarlierLoad) {
    ScratchDir dir;
    RecordingUi ui;
    PersonalizerApp app(ui);
    ASSERT_TRUE(app.setWorkDir(dir.path()));
    app.loadSettings();
    app.message().factoryText = "old";
    app.title().personalText = "unsaved";
    app.loadSettings();
    EXPECT_EQ(app.message().factoryText, "");
    EXPECT_EQ(app.title().personalText, "");
}

TEST(LoadSettings, UnwritableDirectoryFallsBackToDefaults) {
    RecordingUi ui;
    PersonalizerApp app(ui);
    ASSERT_TRUE(app.setWorkDir("/nonexistent/dir"));
    app.loadSettings();
    EXPECT_FALSE(app.writeDefaultSettings());
    EXPECT_EQ(app.message().searchText, "UnknownLine1");
    EXPECT_EQ(app.languageName, "Unknown");
    EXPECT_EQ(app.factoryFile, "/nonexistent/dir/tlvn3_08.hex");
    EXPECT_TRUE(ui.shown.empty());
}

TEST(SetWorkDir, RefusesEmptyAndOverlongDirectories) {
    RecordingUi ui;
    PersonalizerApp app(ui);
    EXPECT_FALSE(app.setWorkDir(""));
    EXPECT_FALSE(app.setWorkDir(std::string(260, 'a')));
    EXPECT_TRUE(app.setWorkDir(std::string(259, 'a')));
    EXPECT_EQ(app.workDir.size(), 259u);
}

}  // namespace
}  // namespace tagwright
