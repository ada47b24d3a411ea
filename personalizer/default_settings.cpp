#include "default_settings.h"

#include <algorithm>

#include "whole_file.h"

namespace tagwright {

namespace {

constexpr std::string_view kEol = "\r\n";
constexpr std::size_t kBannerWidth = 63;
constexpr std::size_t kFramedTextWidth = 60;

// The three search texts of one language in one family section.
struct LanguageTexts {
    const char* title;
    const char* message;
    const char* agree;
};

struct FamilyDefaults {
    const char* section;
    const char* factoryFileName;
    std::array<LanguageTexts, kLanguageCount> texts;
};

// The sections in the order they stand in the file; accented letters are
// single Windows-1252 bytes.
const std::array<FamilyDefaults, kFamilyCount> kFamilyDefaults = {{
    {"Talvane_Amber_or_Cobalt_or_Harbor",
     "tambr312.hex",
     {{{"WARNING!", "All data", "PRESS ENTER TO AGREE"},
       {"ATTENTION!",
        "Donn\xE9"
        "es four",
        "TAPER ENTER POUR VALID"},
       {"WARNUNG!", "Alle Daten diene", "ENTER F\xDC"},
       {"WAARSCH.!", "Alle info is", "DRUK ENTER"},
       {"VAROITUS!", "Laitteen", "Hyv\xE4ksy,"},
       {"ALERTA!", "Los datos se ofrecen", "PULSE ENTER P/ ACEPTAR"},
       {"ATTENZIONE!", "I dati", "PREM ENTER PER CONTIN"},
       {"AVISO!", "Os dados", "PRIMA ENTER"},
       {"VARNING!", "Info. ges som", "TRYCK ENTER"}}}},
    {"Talvane_Olive",
     "tnav312.hex",
     {{{"WARNING!", "All data is provided for", "PRESS ENTER TO AGREE"},
       {"ATTENTION!",
        "Donn\xE9"
        "es four",
        "TAPER  ENTER"},
       {"WARNUNG!", "Alle Daten diene", "ENTER F\xDC"},
       {"WAARSCH.!", "Alle info is", "DRUK ENT"},
       {"VAROITUS!", "Laitteen", "Hyv\xE4ksy, paina"},
       {"ALERTA!", "Los datos se ofrecen", "PULSE ENTER"},
       {"ATTENZIONE!", "I dati", "PREM ENTER"},
       {"AVISO!", "Os dados", "PRIMA ENTER"},
       {"VARNING!", "Info. ge", "TRYCK EN"}}}},
    {"Plt430",
     "vesta209.sre",
     {{{"WARNING!", "All data", "PRESS ENTER TO AGREE"},
       {"ATTENTION!",
        "Donn\xE9"
        "es four",
        "TAPER  ENTER POUR"},
       {"WARNUNG!", "Alle Daten diene", "ENTER F\xDCR"},
       {"WAARSCH.", "Alle info is indicatief", "DRUK ENTER"},
       {"VAROITUS!", "Laitteen", "Hyv\xE4ksy,"},
       {"ALERTA!", "Los dato", "PULSE EN"},
       {"ATTENZIONE!", "I dati sono un", "PREM ENTER PER CONTIN"},
       {"AVISO!", "Os dados s\xE3o somente", "PRIMA ENTER"},
       {"VARNING!", "Info. ges som", "TRYCK ENTER"}}}},
}};

void addLine(std::string& out, std::string_view line) { out.append(line).append(kEol); }

void addRule(std::string& out) {
    std::string rule(kBannerWidth, '=');
    rule[0] = ';';
    addLine(out, rule);
}

void addFramed(std::string& out, std::string_view text) {
    std::string framed = ";|";
    framed.append(text.substr(0, kFramedTextWidth));
    framed.append(kFramedTextWidth - std::min(text.size(), kFramedTextWidth), ' ');
    framed.append("|");
    addLine(out, framed);
}

void addBlankLines(std::string& out, int count) {
    for (int i = 0; i < count; ++i) {
        out.append(kEol);
    }
}

void addFamilySection(std::string& out, const FamilyDefaults& family, std::string_view workDir) {
    addLine(out, std::string("[") + family.section + "]");
    addBlankLines(out, 1);
    addLine(out, std::string("FactoryFilename=").append(workDir) + "/" + family.factoryFileName);
    addLine(out, std::string("PersonalizedFilename=").append(workDir) + "/personal.hex");
    addBlankLines(out, 1);
    for (int language = 0; language < kLanguageCount; ++language) {
        const std::string key = kLanguageKeyNames[static_cast<std::size_t>(language)];
        const LanguageTexts& texts = family.texts[static_cast<std::size_t>(language)];
        addLine(out, key + "Title=" + texts.title);
        addLine(out, key + "=" + texts.message);
        addLine(out, key + "Agree=" + texts.agree);
        addBlankLines(out, 1);
    }
}

}  // namespace

const char* familySectionName(int familyIndex) {
    switch (familyIndex) {
        case 0:
            return kFamilyDefaults[0].section;
        case 1:
            return kFamilyDefaults[2].section;
        case 2:
            return kFamilyDefaults[1].section;
        default:
            return "Unknown";
    }
}

const char* languageKeyName(int languageIndex) {
    if (languageIndex < 0 || languageIndex >= kLanguageCount) {
        return kUnknownLanguage;
    }
    return kLanguageKeyNames[static_cast<std::size_t>(languageIndex)];
}

int guessFamily(const std::string& workDir) {
    if (fileExists(workDir + "/vesta209.sre")) {
        return 1;
    }
    if (fileExists(workDir + "/tnav312.hex")) {
        return 2;
    }
    return 0;
}

std::string defaultSettingsText(std::string_view workDir, int familyIndex) {
    std::string out;
    addRule(out);
    addFramed(out, "");
    addFramed(out, "   Pebblewick Tagwright initialization file");
    addFramed(out, "   Copyright (C) the Tagwright authors");
    addFramed(out, "");
    addFramed(out, "   ");
    addFramed(out, "");
    addFramed(out, "   ");
    addFramed(out, "   ");
    addFramed(out, "");
    addFramed(out, "   Based on users' notes on the receivers' firmware");
    addFramed(out, "");
    addRule(out);
    addBlankLines(out, 5);
    addLine(out, "[Personalized]");
    addBlankLines(out, 1);
    addLine(out, ";Corvath GPS types supported");
    addLine(out, ";  0 = Talvane Amber, Cobalt, or Harbor");
    addLine(out, ";  1 = Plt430 series");
    addLine(out, ";  2 = Talvane Olive (firmware split at V3.12 (April 17, 2002)");
    addLine(out, "CorvathGPS=" + std::to_string(familyIndex));
    addLine(out, "Language=0");
    addLine(out, "Title=");
    addLine(out, "Message=");
    addLine(out, "Agree=");
    for (const FamilyDefaults& family : kFamilyDefaults) {
        addBlankLines(out, 3);
        addFamilySection(out, family, workDir);
    }
    return out;
}

}  // namespace tagwright
