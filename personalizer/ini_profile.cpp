#include "ini_profile.h"

#include <climits>
#include <vector>

#include "whole_file.h"

namespace tagwright {

namespace {

// One line of the text: its content without the line end, and the line end.
struct Line {
    std::string_view content;
    std::string_view end;
};

std::vector<Line> splitLines(std::string_view text) {
    std::vector<Line> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t lf = text.find('\n', start);
        if (lf == std::string_view::npos) {
            lines.push_back({text.substr(start), {}});
            break;
        }
        std::size_t contentEnd = lf;
        if (contentEnd > start && text[contentEnd - 1] == '\r') {
            --contentEnd;
        }
        lines.push_back(
            {text.substr(start, contentEnd - start), text.substr(contentEnd, lf + 1 - contentEnd)});
        start = lf + 1;
    }
    return lines;
}

bool isBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view trim(std::string_view s) {
    while (!s.empty() && isBlank(s.front())) {
        s.remove_prefix(1);
    }
    while (!s.empty() && isBlank(s.back())) {
        s.remove_suffix(1);
    }
    return s;
}

char lowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool sameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (lowerAscii(a[i]) != lowerAscii(b[i])) {
            return false;
        }
    }
    return true;
}

enum class LineKind { Section, Entry, Other };

struct ParsedLine {
    LineKind kind = LineKind::Other;
    std::string_view name;   // section or key name
    std::string_view value;  // entry value, trimmed
    std::size_t keyEnd = 0;  // offset of the "=" in an entry's content
};

ParsedLine parseLine(std::string_view content) {
    ParsedLine parsed;
    const std::string_view body = trim(content);
    if (body.empty() || body.front() == ';') {
        return parsed;
    }
    if (body.front() == '[') {
        const std::size_t close = body.find(']');
        if (close != std::string_view::npos) {
            parsed.kind = LineKind::Section;
            parsed.name = trim(body.substr(1, close - 1));
        }
        return parsed;
    }
    const std::size_t equals = content.find('=');
    if (equals == std::string_view::npos) {
        return parsed;
    }
    parsed.name = trim(content.substr(0, equals));
    if (parsed.name.empty()) {
        return parsed;
    }
    parsed.kind = LineKind::Entry;
    parsed.value = trim(content.substr(equals + 1));
    parsed.keyEnd = equals;
    return parsed;
}

std::string_view unquote(std::string_view value) {
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front()) {
        return value.substr(1, value.size() - 2);
    }
    return value;
}

// Blanks around a value and a pair of quotes around it are dropped when it
// is read, so such a value is written inside quotes to read back unchanged.
std::string storedForm(std::string_view value) {
    if (value.empty()) {
        return {};
    }
    const bool blankEdge = isBlank(value.front()) || isBlank(value.back());
    if (blankEdge || unquote(value).size() != value.size()) {
        return "\"" + std::string(value) + "\"";
    }
    return std::string(value);
}

bool holdsLineBreak(std::string_view s) {
    return s.find_first_of("\r\n") != std::string_view::npos;
}

std::string_view lineEndOf(const std::vector<Line>& lines) {
    for (const Line& line : lines) {
        if (!line.end.empty()) {
            return line.end;
        }
    }
    return "\r\n";
}

}  // namespace

std::optional<std::string> findProfileValue(std::string_view text, std::string_view section,
                                            std::string_view key) {
    bool inSection = false;
    for (const Line& line : splitLines(text)) {
        const ParsedLine parsed = parseLine(line.content);
        if (parsed.kind == LineKind::Section) {
            inSection = sameName(parsed.name, section);
        } else if (inSection && parsed.kind == LineKind::Entry && sameName(parsed.name, key)) {
            return std::string(unquote(parsed.value));
        }
    }
    return std::nullopt;
}

std::optional<std::string> setProfileValue(std::string_view text, std::string_view section,
                                           std::string_view key, std::string_view value) {
    if (section.empty() || key.empty() || holdsLineBreak(section) || holdsLineBreak(key) ||
        holdsLineBreak(value) || section.find(']') != std::string_view::npos ||
        key.find('=') != std::string_view::npos) {
        return std::nullopt;
    }
    const std::vector<Line> lines = splitLines(text);
    const std::string_view eol = lineEndOf(lines);
    const std::string stored = storedForm(value);

    // Find the key's line, or the line after which a new key belongs.
    std::optional<std::size_t> keyLine;
    std::optional<std::size_t> insertAfter;
    bool inSection = false;
    for (std::size_t i = 0; i < lines.size() && !keyLine; ++i) {
        const ParsedLine parsed = parseLine(lines[i].content);
        if (parsed.kind == LineKind::Section) {
            inSection = sameName(parsed.name, section);
            if (inSection && !insertAfter) {
                insertAfter = i;
            }
        } else if (inSection && parsed.kind == LineKind::Entry) {
            if (sameName(parsed.name, key)) {
                keyLine = i;
            } else {
                insertAfter = i;
            }
        }
    }

    std::string out;
    out.reserve(text.size() + section.size() + key.size() + value.size() + 8);
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const Line& line = lines[i];
        if (keyLine && *keyLine == i) {
            const ParsedLine parsed = parseLine(line.content);
            out.append(line.content.substr(0, parsed.keyEnd));
            out.append("=").append(stored);
            out.append(line.end.empty() ? std::string_view{} : line.end);
            continue;
        }
        out.append(line.content).append(line.end);
        if (!keyLine && insertAfter && *insertAfter == i) {
            if (line.end.empty()) {
                out.append(eol);
            }
            out.append(key).append("=").append(stored).append(eol);
        }
    }
    if (!keyLine && !insertAfter) {
        if (!out.empty() && out.back() != '\n') {
            out.append(eol);
        }
        out.append("[").append(section).append("]").append(eol);
        out.append(key).append("=").append(stored).append(eol);
    }
    return out;
}

std::string readProfileString(const std::string& path, std::string_view section,
                              std::string_view key, std::string_view defaultValue,
                              std::size_t bufferSize) {
    std::string value(defaultValue);
    if (const std::optional<std::string> text = readWholeFile(path)) {
        if (std::optional<std::string> found = findProfileValue(*text, section, key)) {
            value = std::move(*found);
        }
    }
    const std::size_t room = bufferSize == 0 ? 0 : bufferSize - 1;
    if (value.size() > room) {
        value.resize(room);
    }
    return value;
}

int readProfileInt(const std::string& path, std::string_view section, std::string_view key,
                   int defaultValue) {
    const std::optional<std::string> text = readWholeFile(path);
    if (!text) {
        return defaultValue;
    }
    const std::optional<std::string> found = findProfileValue(*text, section, key);
    if (!found) {
        return defaultValue;
    }
    std::string_view digits = trim(*found);
    bool negative = false;
    if (!digits.empty() && (digits.front() == '-' || digits.front() == '+')) {
        negative = digits.front() == '-';
        digits.remove_prefix(1);
    }
    long long magnitude = 0;
    for (const char c : digits) {
        if (c < '0' || c > '9') {
            break;
        }
        magnitude = magnitude * 10 + (c - '0');
        if (magnitude > static_cast<long long>(INT_MAX) + 1) {
            magnitude = static_cast<long long>(INT_MAX) + 1;
        }
    }
    const long long number = negative ? -magnitude : magnitude;
    if (number > INT_MAX) {
        return INT_MAX;
    }
    return static_cast<int>(number);
}

bool writeProfileString(const std::string& path, std::string_view section, std::string_view key,
                        std::string_view value) {
    std::string text;
    if (fileExists(path)) {
        std::optional<std::string> current = readWholeFile(path);
        if (!current) {
            return false;
        }
        text = std::move(*current);
    }
    const std::optional<std::string> updated = setProfileValue(text, section, key, value);
    return updated && replaceWholeFile(path, *updated);
}

}  // namespace tagwright
