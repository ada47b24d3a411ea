#include "package_file.h"

#include <cstdio>
#include <cstring>
#include <memory>
#include <string_view>

namespace zamel {

namespace {

constexpr int kSeekChars = 39;
constexpr int kLineChars = 79;

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};

bool equalIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
        if (lower(a[i]) != lower(b[i])) return false;
    }
    return true;
}

const ReceiverModel* sectionModel(std::string_view text) {
    if (text.empty() || text.front() != '[') return nullptr;
    const auto close = text.find(']');
    if (close == std::string_view::npos) return nullptr;
    const std::string_view name = text.substr(1, close - 1);
    for (const ReceiverModel& row : ReceiverModelTable)
        if (equalIgnoringCase(name, row.modelName)) return &row;
    return nullptr;
}

// A line end closing a value goes; a carriage return before it too, since a
// package written on Windows must work here as it does there.
std::string withoutLineEnd(const char* text) {
    std::string value(text);
    if (!value.empty() && value.back() == '\n') value.pop_back();
    if (!value.empty() && value.back() == '\r') value.pop_back();
    return value;
}

}  // namespace

std::optional<PackageSection> readPackageSection(const std::string& path) {
    std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path.c_str(), "r"));
    if (!file) return std::nullopt;
    char seek[kSeekChars + 1];
    const ReceiverModel* model = nullptr;
    while (model == nullptr && std::fgets(seek, sizeof seek, file.get()) != nullptr)
        model = sectionModel(seek);
    if (model == nullptr) return std::nullopt;

    PackageSection section;
    section.unitType = model->unitType;
    for (std::string& line : section.lines) {
        char text[kLineChars + 1];
        if (std::fgets(text, sizeof text, file.get()) == nullptr) break;
        line = withoutLineEnd(text);
    }
    return section;
}

std::string packageValue(const std::string& line, const char* key) {
    const std::size_t length = std::strlen(key);
    return line.compare(0, length, key) == 0 ? line.substr(length) : std::string();
}

}  // namespace zamel
