#include "personalizer_dialog.h"

#include <algorithm>
#include <cstdio>
#include <utility>
#include <vector>

namespace tagwright {

namespace {

constexpr std::array<const char*, PersonalizerDialog::kGroupCount> kSettingKeys = {
    "Title", "Message", "Agree"};
// How the texts are named where saving is refused.
constexpr std::array<const char*, PersonalizerDialog::kGroupCount> kGroupNames = {
    "menu name", "disclaimer", "acknowledgement"};
constexpr std::array<const char*, PersonalizerDialog::kGroupCount> kCaptionFormats = {
    "Menu Name\r( %d chars max )", "Disclaimer\r( %d chars max )",
    "Acknowledgement\r( %d chars max )"};

const std::string kNoText;

bool validGroup(int group) { return group >= 0 && group < PersonalizerDialog::kGroupCount; }

std::string decimal(int value) {
    char text[16];
    std::snprintf(text, sizeof text, "%d", value);
    return text;
}

// The settings file keeps a line break of a multi-line text as backslash and
// "n"; the patcher turns the pair back into carriage return and line feed.
std::string escapeLineBreaks(std::string text) {
    for (char& c : text) {
        if (c == '\r') {
            c = '\\';
        } else if (c == '\n') {
            c = 'n';
        }
    }
    return text;
}

}  // namespace

PersonalizerDialog::PersonalizerDialog(PersonalizerApp& app, PersonalizerUi& ui, HandOff& handOff,
                                       Pause pause)
    : app_(app), ui_(ui), handOff_(handOff), pause_(std::move(pause)) {}

void PersonalizerDialog::onInit() {
    // Each button is a group of its own, so exactly the settings' choices are
    // checked; a value outside the buttons checks none.
    for (int language = 0; language < kLanguageCount; ++language) {
        languageChecked_[language] = language == app_.languageIndex;
    }
    for (int family = 0; family < kFamilyCount; ++family) {
        familyChecked_[family] = family == app_.familyIndex;
    }
    refreshGroups();
}

void PersonalizerDialog::onFamilyChosen(int family) {
    if (ended_ || family < 0 || family >= kFamilyCount) {
        return;
    }
    const int previousFamily = app_.familyIndex;
    if (!writeSetting("CorvathGPS", decimal(family))) {
        return;
    }
    for (int other = 0; other < kFamilyCount; ++other) {
        familyChecked_[other] = other == family;
    }
    app_.loadSettings();
    if (app_.loadFirmware()) {
        refreshGroups();
        return;
    }
    // A family whose firmware is missing must not stay chosen: every later
    // start would end before the window opens.
    writeSetting("CorvathGPS", decimal(previousFamily));
    std::string text = "Could not find firmware file: " + app_.factoryFile;
    text += ".\rPlease read help file.";
    ui_.showMessage(text, MessageIcon::Error);
    handOff_.openReadMe();
    ended_ = true;
}

void PersonalizerDialog::onLanguageChosen(int language) {
    if (ended_ || language < 0 || language >= kLanguageCount) {
        return;
    }
    if (!writeSetting("Language", decimal(language))) {
        return;
    }
    for (int other = 0; other < kLanguageCount; ++other) {
        languageChecked_[other] = other == language;
    }
    // The firmware stays as loaded; only the search texts change.
    app_.loadSettings();
    refreshGroups();
}

void PersonalizerDialog::onSaveChanges(const Texts& texts) {
    if (ended_ || !saveEnabled()) {
        return;
    }
    bool allWritten = true;
    for (int group = 0; group < kGroupCount; ++group) {
        std::string text = texts[group].substr(0, kPersonalTextCapacity);
        if (group != 0) {
            text = escapeLineBreaks(std::move(text));
        }
        app_.groups[group].personalText = text;
        allWritten = app_.writePersonalizedSetting(kSettingKeys[group], text) && allWritten;
    }
    // The firmware is still written: it is what the user saves for.
    if (!allWritten) {
        ui_.showMessage("Could not write the personalized texts into " + app_.settingsPath,
                        MessageIcon::Error);
    }
    app_.patchAll();
    if (app_.writePersonalized()) {
        askToStartLoader();
    }
    ended_ = true;
}

void PersonalizerDialog::onExit(bool unsavedEdits) {
    if (unsavedEdits && ui_.showMessage(kUnsavedQuestion, MessageIcon::Question,
                                        MessageButtons::YesNoDefaultNo) != MessageAnswer::Yes) {
        return;
    }
    ended_ = true;
}

bool PersonalizerDialog::hasUnsavedEdits(const Texts& texts) const {
    for (int group = 0; group < kGroupCount; ++group) {
        if (texts[group] != personalText(group)) {
            return true;
        }
    }
    return false;
}

bool PersonalizerDialog::groupFound(int group) const {
    return validGroup(group) && app_.groups[group].records[0].has_value();
}

bool PersonalizerDialog::saveEnabled() const {
    for (int group = 0; group < kGroupCount; ++group) {
        if (!groupFound(group)) {
            return false;
        }
    }
    return true;
}

std::string PersonalizerDialog::saveBlockedText() const {
    std::vector<const char*> missing;
    for (int group = 0; group < kGroupCount; ++group) {
        if (!groupFound(group)) {
            missing.push_back(kGroupNames[group]);
        }
    }
    if (missing.empty()) {
        return {};
    }
    std::string names = missing[0];
    for (std::size_t i = 1; i < missing.size(); ++i) {
        names += i + 1 == missing.size() ? " and " : ", ";
        names += missing[i];
    }
    return "Saving is off: the factory " + names + " of this language " +
           (missing.size() == 1 ? "was" : "were") + " not found in " + app_.factoryFile + ".";
}

std::string PersonalizerDialog::charactersLeftText(int group, int used) const {
    if (!groupFound(group)) {
        return "not found";
    }
    const int left = editLimit(group) - used;
    const int count = left >= 0 ? left : -left;
    char text[48];
    std::snprintf(text, sizeof text, "%d %s %s", count, count == 1 ? "char" : "chars",
                  left >= 0 ? "left" : "too many");
    return text;
}

void PersonalizerDialog::onHelp() { handOff_.openReadMe(); }

bool PersonalizerDialog::familyChecked(int family) const {
    return family >= 0 && family < kFamilyCount && familyChecked_[family];
}

bool PersonalizerDialog::languageChecked(int language) const {
    return language >= 0 && language < kLanguageCount && languageChecked_[language];
}

const std::string& PersonalizerDialog::factoryText(int group) const {
    return validGroup(group) ? app_.groups[group].factoryText : kNoText;
}

std::string PersonalizerDialog::caption(int group) const {
    if (!validGroup(group)) {
        return {};
    }
    char text[64];
    std::snprintf(text, sizeof text, kCaptionFormats[group], app_.groups[group].charLimit);
    return text;
}

const std::string& PersonalizerDialog::personalText(int group) const {
    return validGroup(group) ? app_.groups[group].personalText : kNoText;
}

int PersonalizerDialog::editLimit(int group) const {
    if (!validGroup(group) || !app_.groups[group].records[0]) {
        return 0;
    }
    return std::clamp(app_.groups[group].charLimit, 0, static_cast<int>(kPersonalTextCapacity));
}

void PersonalizerDialog::refreshGroups() {
    app_.locateTitle();
    app_.locateText(app_.message());
    app_.locateText(app_.agree());
}

bool PersonalizerDialog::writeSetting(const char* key, const std::string& value) {
    if (app_.writePersonalizedSetting(key, value)) {
        return true;
    }
    ui_.showMessage("Could not write " + std::string(key) + " into " + app_.settingsPath,
                    MessageIcon::Error);
    return false;
}

void PersonalizerDialog::askToStartLoader() {
    const MessageAnswer answer = ui_.showMessage(
        "Would you like me to start Corvath's firmware upload program?\r     (Answer yes to "
        "upload your personalized firmware)",
        MessageIcon::Question, MessageButtons::YesNo);
    if (answer != MessageAnswer::Yes) {
        return;
    }
    handOff_.startLoader(app_.personalFile);
    pause_(kLoaderStartPause);
    handOff_.openReadMe();
}

}  // namespace tagwright
