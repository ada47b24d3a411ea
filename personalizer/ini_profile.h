#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace tagwright {

// Initialization-file functions: "[Section]" lines, "Key=Value" lines, ";"
// comments and blank lines, with LF or CR LF line ends. Section and key names
// match without regard to ASCII case; the first matching key wins. Around names
// and values blanks and tabs are dropped, and one pair of matching quotes
// around a value. Lines of any other form are ignored when reading and kept
// byte for byte when writing.

// The value of key in section of the given text, or nothing when absent.
std::optional<std::string> findProfileValue(std::string_view text, std::string_view section,
                                            std::string_view key);

// The text with key of section set to value: the key's line is rewritten, or
// the key (and its section) added; every other line stays as it was. Nothing
// when a name is empty or a name or the value holds a line break (or a key an
// "=", a section a "]"), since the file could not hold it. A value with blanks
// at an end or quotes around it is written in quotes, so it reads back as is.
std::optional<std::string> setProfileValue(std::string_view text, std::string_view section,
                                           std::string_view key, std::string_view value);

// The key's value, or defaultValue when the file, section or key is missing;
// either cut to bufferSize - 1 characters.
std::string readProfileString(const std::string& path, std::string_view section,
                              std::string_view key, std::string_view defaultValue,
                              std::size_t bufferSize);

// The leading decimal number of the key's value (0 when it has none), or
// defaultValue when the file, section or key is missing.
int readProfileInt(const std::string& path, std::string_view section, std::string_view key,
                   int defaultValue);

// Sets one value in the file (created when missing), replacing it safely;
// false when the value cannot be stored or the file not written.
bool writeProfileString(const std::string& path, std::string_view section, std::string_view key,
                        std::string_view value);

}  // namespace tagwright
