#pragma once

#include <array>
#include <string>
#include <string_view>

namespace tagwright {

inline constexpr int kLanguageCount = 9;
inline constexpr int kFamilyCount = 3;

// The language key names in the order of the Language setting (0 to 8).
inline constexpr std::array<const char*, kLanguageCount> kLanguageKeyNames = {
    "English", "Francais", "Deutsch",     "Nederlands", "Suomi",
    "Espanol", "Italiano", "Portugueses", "Svenska"};
inline constexpr const char* kUnknownLanguage = "Unknown";

// The settings section of a receiver family (CorvathGPS 0 to 2), "Unknown" else.
const char* familySectionName(int familyIndex);
// The language key name, "Unknown" outside 0 to 8.
const char* languageKeyName(int languageIndex);

// The family a new settings file names: 1 when workDir holds "vesta209.sre",
// else 2 when it holds "tnav312.hex", else 0.
int guessFamily(const std::string& workDir);

// The complete default settings text (161 CR LF lines, Windows-1252 bytes),
// its paths built from workDir.
std::string defaultSettingsText(std::string_view workDir, int familyIndex);

}  // namespace tagwright
