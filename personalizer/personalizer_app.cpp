#include "personalizer_app.h"

#include <cstdio>

#include "default_settings.h"
#include "ini_profile.h"
#include "whole_file.h"

namespace tagwright {

namespace {

// Buffer sizes of the settings' fields: their capacity plus the terminator
// the ini reader counts.
constexpr std::size_t kPersonalTextBuffer = kPersonalTextCapacity + 1;
constexpr std::size_t kPathBuffer = kPathCapacity + 1;
constexpr std::size_t kSearchTextBuffer = kSearchTextCapacity + 1;

// Each backslash-"n" pair becomes CR LF, scanning on behind each replacement.
void expandLineBreaks(std::string& text) {
    for (std::size_t i = 0; i + 1 < text.size(); ++i) {
        if (text[i] == '\\' && text[i + 1] == 'n') {
            text[i] = '\r';
            text[i + 1] = '\n';
            ++i;
        }
    }
}

std::string formatWith(const char* format, const std::string& argument) {
    const int length = std::snprintf(nullptr, 0, format, argument.c_str());
    if (length <= 0) {
        return format;
    }
    std::string text(static_cast<std::size_t>(length) + 1, '\0');
    std::snprintf(text.data(), text.size(), format, argument.c_str());
    text.resize(static_cast<std::size_t>(length));
    return text;
}

}  // namespace

PersonalizerApp::PersonalizerApp(PersonalizerUi& ui) : ui_(ui) {}

bool PersonalizerApp::setWorkDir(std::string_view dir) {
    if (dir.empty() || dir.size() > kPathCapacity) {
        return false;
    }
    workDir = dir;
    settingsPath = workDir + "/" + kSettingsFileName;
    return true;
}

void PersonalizerApp::loadSettings() {
    languageName.clear();
    for (TextGroup& group : groups) {
        group.personalText.clear();
        group.factoryText.clear();
    }
    if (!fileExists(settingsPath)) {
        writeDefaultSettings();
    }

    title().personalText =
        readProfileString(settingsPath, kPersonalizedSection, "Title", "", kPersonalTextBuffer);
    message().personalText =
        readProfileString(settingsPath, kPersonalizedSection, "Message", "", kPersonalTextBuffer);
    expandLineBreaks(message().personalText);
    agree().personalText =
        readProfileString(settingsPath, kPersonalizedSection, "Agree", "", kPersonalTextBuffer);
    expandLineBreaks(agree().personalText);

    familyIndex = readProfileInt(settingsPath, kPersonalizedSection, "CorvathGPS", 0);
    const char* section = familySectionName(familyIndex);
    languageIndex = readProfileInt(settingsPath, kPersonalizedSection, "Language", -1);
    languageName = languageKeyName(languageIndex);

    factoryFile = familyFactoryFile(familyIndex);
    personalFile = readProfileString(settingsPath, section, "PersonalizedFilename",
                                     workDir + "/personal.hex", kPathBuffer);
    dumpEnabled = readProfileInt(settingsPath, section, "Dump", 0);

    message().searchText =
        readProfileString(settingsPath, section, languageName, "UnknownLine1", kSearchTextBuffer);
    title().searchText = readProfileString(settingsPath, section, languageName + "Title",
                                           "UnknownWarning", kSearchTextBuffer);
    agree().searchText = readProfileString(settingsPath, section, languageName + "Agree",
                                           "UnknownAgree", kSearchTextBuffer);
}

std::string PersonalizerApp::familyFactoryFile(int family) const {
    return readProfileString(settingsPath, familySectionName(family), "FactoryFilename",
                             workDir + "/tlvn3_08.hex", kPathBuffer);
}

bool PersonalizerApp::writeDefaultSettings() {
    return replaceWholeFile(settingsPath, defaultSettingsText(workDir, guessFamily(workDir)));
}

bool PersonalizerApp::writePersonalizedSetting(std::string_view key, std::string_view value) {
    return writeProfileString(settingsPath, kPersonalizedSection, key, value);
}

bool PersonalizerApp::loadFirmware() {
    firmwareText.clear();
    firmwareText.shrink_to_fit();
    firmwareSize = 0;
    // Positions found in an earlier image mean nothing in a new one.
    for (TextGroup& group : groups) {
        group.matchPos.reset();
        group.records = {};
        group.recordRoom = {};
        group.openEnded = false;
    }
    if (!fileExists(factoryFile)) {
        return false;
    }
    std::optional<std::string> content = readWholeFile(factoryFile);
    if (!content) {
        return false;
    }
    firmwareText = std::move(*content);
    firmwareSize = firmwareText.size();
    if (dumpEnabled != 0) {
        writeDump();
    }
    return true;
}

void PersonalizerApp::writeDump() {
    // S-record type characters pass through; every other pair of characters
    // becomes the byte it spells (0xFF where it spells none, as a line end).
    std::string dump;
    dump.reserve(firmwareSize / 2 + 1);
    const char* text = firmwareText.c_str();  // a zero byte follows the last character
    for (std::size_t i = 0; i < firmwareSize; i += 2) {
        if (text[i] == 'S') {
            dump.push_back(text[i]);
            dump.push_back(text[i + 1]);
        } else {
            const int value = hexPairValue(text[i], text[i + 1]);
            dump.push_back(static_cast<char>(value < 0 ? 0xFF : value));
        }
        pumpMessages();
    }
    replaceWholeFile(workDir + "/" + kDumpFileName, dump);
}

bool PersonalizerApp::writePersonalized() {
    if (firmwareText.empty() || !replaceWholeFile(personalFile, firmwareText)) {
        ui_.showMessage("Problem writing personalized firmware!\n", MessageIcon::Error);
        return false;
    }
    ui_.showMessage(formatWith("Personalized firmware saved as %s", personalFile),
                    MessageIcon::Information);
    return true;
}

void PersonalizerApp::showNotFound(const TextGroup& group) {
    ui_.showMessage(formatWith("Could not find \"%s\" string in firmware.  Please read trouble "
                               "shooting section in ReadMeTagwright.txt\n",
                               group.searchText),
                    MessageIcon::Error);
}

}  // namespace tagwright
