#include "s_record_check.h"

#include <array>
#include <cstdio>
#include <memory>
#include <string_view>

#include "image_file.h"

namespace zamel {

namespace {

constexpr std::size_t kChunkBytes = 1 << 20;

constexpr std::array<std::int8_t, 256> makeHexTable() {
    std::array<std::int8_t, 256> table{};
    for (auto& value : table) value = -1;
    for (int c = '0'; c <= '9'; ++c) table[static_cast<std::size_t>(c)] = static_cast<std::int8_t>(c - '0');
    for (int c = 'A'; c <= 'F'; ++c) table[static_cast<std::size_t>(c)] = static_cast<std::int8_t>(c - 'A' + 10);
    for (int c = 'a'; c <= 'f'; ++c) table[static_cast<std::size_t>(c)] = static_cast<std::int8_t>(c - 'a' + 10);
    return table;
}
constexpr auto kHexValue = makeHexTable();

// Address bytes of each record type; 0 for a type that does not exist.
constexpr int addressBytes(char type) {
    switch (type) {
        case '0': case '1': case '5': case '9': return 2;
        case '2': case '6': case '8': return 3;
        case '3': case '7': return 4;
        default: return 0;
    }
}

bool isDataType(char type) { return type == '1' || type == '2' || type == '3'; }

// Checks one line without its line end; on success adds its data bytes. A line
// that does not begin with "S" (a DOS end-of-file mark, a comment) is passed over,
// as the reader passes over it.
const char* lineFault(std::string_view line, std::uint64_t& dataBytes) {
    if (line.empty() || line[0] != 'S') return nullptr;
    if (line.size() > static_cast<std::size_t>(ImageFile::kMaxLineChars))
        return "is longer than 255 characters";
    if (line.size() < 4) return "is not an S-record";
    const int address = addressBytes(line[1]);
    if (address == 0) return "has an unknown record type";
    if ((line.size() - 2) % 2 != 0) return "has an odd number of hex digits";
    unsigned sum = 0;
    std::size_t pairs = (line.size() - 2) / 2;
    unsigned count = 0;
    for (std::size_t i = 0; i < pairs; ++i) {
        const int high = kHexValue[static_cast<unsigned char>(line[2 + 2 * i])];
        const int low = kHexValue[static_cast<unsigned char>(line[3 + 2 * i])];
        if (high < 0 || low < 0) return "holds a character that is not a hex digit";
        const unsigned byte = static_cast<unsigned>(high * 16 + low);
        if (i == 0) count = byte;
        sum += byte;
    }
    if (count != pairs - 1 || count < static_cast<unsigned>(address) + 1)
        return "has a byte count that does not match its length";
    if ((sum & 0xFFu) != 0xFFu) return "has a wrong checksum";
    if (isDataType(line[1])) dataBytes += count - static_cast<unsigned>(address) - 1;
    return nullptr;
}

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};

}  // namespace

SRecordCheck checkSRecordFile(const std::string& path) {
    SRecordCheck check;
    std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path.c_str(), "rb"));
    if (!file) {
        check.fault = "cannot be read";
        return check;
    }
    const auto chunk = std::make_unique<char[]>(kChunkBytes);
    std::string pending;  // a line cut by the end of a chunk
    std::int64_t lineNumber = 0;
    const auto takeLine = [&](std::string_view line) {
        ++lineNumber;
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (line.empty()) return true;
        if (const char* fault = lineFault(line, check.dataBytes)) {
            check.faultLine = lineNumber;
            check.fault = fault;
            return false;
        }
        return true;
    };
    for (;;) {
        const std::size_t got = std::fread(chunk.get(), 1, kChunkBytes, file.get());
        if (got == 0) break;
        std::string_view text(chunk.get(), got);
        std::size_t start = 0;
        for (std::size_t end = text.find('\n'); end != std::string_view::npos;
             end = text.find('\n', start)) {
            std::string_view line = text.substr(start, end - start);
            if (!pending.empty()) {
                pending.append(line);
                line = pending;
            }
            if (!takeLine(line)) return check;
            pending.clear();
            start = end + 1;
        }
        // Only the first 256 characters of a cut line matter: longer is a fault anyway.
        if (pending.size() <= static_cast<std::size_t>(ImageFile::kMaxLineChars) + 1)
            pending.append(text.substr(start, ImageFile::kMaxLineChars + 2));
    }
    if (std::ferror(file.get())) {
        check.fault = "cannot be read";
        return check;
    }
    if (!pending.empty() && !takeLine(pending)) return check;
    check.intact = true;
    return check;
}

}  // namespace zamel
