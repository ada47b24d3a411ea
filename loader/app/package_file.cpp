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

// The name between "[" and "]" of a section header; nothing for another line.
std::optional<std::string_view> sectionName(std::string_view text) {
    if (text.empty() || text.front() != '[') return std::nullopt;
    const auto close = text.find(']');
    if (close == std::string_view::npos) return std::nullopt;
    return text.substr(1, close - 1);
}

const ReceiverModel* modelNamed(std::string_view name) {
    for (const ReceiverModel& row : ReceiverModelTable)
        if (equalIgnoringCase(name, row.modelName)) return &row;
    return nullptr;
}

// Reads up to `chars` characters of a line, as fgets does. A read that stops right
// after a CR whose LF is next takes the LF too: otherwise the LF would be read as
// an empty line of its own and every line after it would move down by one.
bool readPiece(std::FILE* file, char* text, int chars) {
    if (std::fgets(text, chars + 1, file) == nullptr) return false;
    const std::size_t length = std::strlen(text);
    if (length > 0 && text[length - 1] == '\r') {
        const int next = std::fgetc(file);
        if (next != '\n' && next != EOF) std::ungetc(next, file);
    }
    return true;
}

// A line end closing a value goes; a carriage return before it too, since a
// package written on Windows must work here as it does there.
std::string withoutLineEnd(const char* text) {
    std::string value(text);
    if (!value.empty() && value.back() == '\n') value.pop_back();
    if (!value.empty() && value.back() == '\r') value.pop_back();
    return value;
}

std::string quoted(const std::string& text) { return "\"" + text + "\""; }

// What is wrong with line `number` (1-based) of the section for `key`; empty when
// it names a file.
std::string lineProblem(const PackageSection& section, int number, const char* key) {
    const std::string expected = quoted(std::string(key) + "...");
    if (section.linesPresent < number)
        return "the file ends before line " + std::to_string(number) + " (" + expected + ")";
    const std::string& line = section.lines[static_cast<std::size_t>(number - 1)];
    if (line.rfind(key, 0) == 0)
        return line.size() == std::strlen(key) ? quoted(key) + " names no file" : "";
    return "line " + std::to_string(number) + " after [" + section.name + "] is not " + expected +
           (line.empty() ? " but empty" : " but " + quoted(line));
}

}  // namespace

PackageReading readPackageFile(const std::string& path) {
    PackageReading reading;
    std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path.c_str(), "r"));
    if (!file) return reading;
    reading.fileFound = true;
    char seek[kSeekChars + 1];
    const ReceiverModel* model = nullptr;
    std::string name;
    while (model == nullptr && readPiece(file.get(), seek, kSeekChars)) {
        const auto found = sectionName(seek);
        if (!found) continue;
        name = std::string(*found);
        model = modelNamed(name);
        if (model == nullptr) reading.otherSections.push_back("[" + name + "]");
    }
    if (model == nullptr) return reading;

    PackageSection& section = reading.section.emplace();
    section.unitType = model->unitType;
    section.name = name;
    for (std::string& line : section.lines) {
        char text[kLineChars + 1];
        if (!readPiece(file.get(), text, kLineChars)) break;
        line = withoutLineEnd(text);
        ++section.linesPresent;
    }
    return reading;
}

std::string packageValue(const std::string& line, const char* key) {
    const std::size_t length = std::strlen(key);
    return line.compare(0, length, key) == 0 ? line.substr(length) : std::string();
}

std::string whyNoPackage(const PackageReading& reading, const std::string& mapProblem) {
    if (!reading.section) {
        std::string text = "no section names a receiver model";
        for (std::size_t i = 0; i < reading.otherSections.size(); ++i)
            text += (i == 0 ? " (it has " : ", ") + reading.otherSections[i];
        if (!reading.otherSections.empty()) text += ")";
        text += "; the models are";
        const char* separator = " ";
        for (std::size_t i = 0; i < ReceiverModelTable.size(); ++i) {
            const char* model = ReceiverModelTable[i].modelName;
            if (i > 0 && std::strcmp(model, ReceiverModelTable[i - 1].modelName) == 0) continue;
            text += separator + std::string("[") + model + "]";
            separator = ", ";
        }
        return text;
    }
    const PackageSection& section = *reading.section;
    const std::string code = lineProblem(section, 1, "CODE=");
    std::string map = lineProblem(section, 3, "MAP=");
    if (map.empty()) map = mapProblem;
    if (!code.empty() && !map.empty()) return code + "; " + map;
    return code + map;
}

}  // namespace zamel
