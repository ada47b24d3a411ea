#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace tagwright {

// The whole content of a file, or nothing when it cannot be opened or read.
std::optional<std::string> readWholeFile(const std::string& path);

// Writes bytes to a temporary file beside path and renames it over path only
// once every byte was written, flushed and closed, so a failure leaves an
// earlier file untouched and no truncated one behind.
bool replaceWholeFile(const std::string& path, std::string_view bytes);

bool fileExists(const std::string& path);

}  // namespace tagwright
