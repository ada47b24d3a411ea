// Finding the start-up texts in the S-record text and laying new ones over them.
#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>

#include "personalizer_app.h"

namespace tagwright {

namespace {

// Geometry of an "S319" line: type, count 19, 4 address bytes, 20 data bytes,
// checksum; the data's hex digits stand at characters 12 to 51.
constexpr std::string_view kDataRecordTag = "S319";
constexpr std::size_t kRecordChars = 54;
constexpr std::size_t kDataStart = 12;
constexpr std::size_t kDataEnd = 52;
constexpr std::uint32_t kDataBytes = 20;
constexpr std::size_t kRecordBytes = 0x19;  // count byte's value: address, data, checksum
constexpr std::size_t kFirstDataByte = 5;   // bytes numbered from the count byte
constexpr std::size_t kLineEndToNextData = 16;
// How far before a match its record's "S319" may stand.
constexpr std::size_t kRecordLookBack = 50;

std::size_t dataByteAt(std::size_t record, std::size_t position) {
    return kFirstDataByte + (position - record - kDataStart) / 2;
}

std::size_t positionOfByte(std::size_t record, std::size_t byte) { return record + 2 + 2 * byte; }

}  // namespace

int PersonalizerApp::hexDigitValue(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    return -1;
}

int PersonalizerApp::hexPairValue(char high, char low) {
    const int h = hexDigitValue(high);
    const int l = hexDigitValue(low);
    if (h < 0 || l < 0) {
        return -1;
    }
    return h * 16 + l;
}

std::string PersonalizerApp::hexOf(std::string_view text) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string hex;
    hex.reserve(text.size() * 2);
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        hex.push_back(kDigits[byte >> 4]);
        hex.push_back(kDigits[byte & 0x0F]);
    }
    return hex;
}

std::optional<std::size_t> PersonalizerApp::nextDataRecord(std::size_t r) const {
    if (r > firmwareText.size()) {
        return std::nullopt;
    }
    const std::size_t next = firmwareText.find(kDataRecordTag, r + 4);
    if (next == std::string::npos) {
        return std::nullopt;
    }
    return next;
}

bool PersonalizerApp::wholeDataRecord(std::size_t r) const {
    if (r > firmwareText.size() || firmwareText.size() - r < kRecordChars ||
        firmwareText.compare(r, kDataRecordTag.size(), kDataRecordTag) != 0) {
        return false;
    }
    for (std::size_t i = kDataRecordTag.size(); i < kRecordChars; ++i) {
        if (hexDigitValue(firmwareText[r + i]) < 0) {
            return false;
        }
    }
    return true;
}

std::optional<std::size_t> PersonalizerApp::recordHolding(std::size_t position,
                                                          std::size_t length) const {
    if (position < kDataStart) {
        return std::nullopt;
    }
    // The first "S319" from 50 characters before the position: with the line
    // geometry, the record whose data holds it.
    const std::size_t from = position >= kRecordLookBack ? position - kRecordLookBack : 0;
    for (std::size_t r = from; r + kDataStart <= position; ++r) {
        if (firmwareText.compare(r, kDataRecordTag.size(), kDataRecordTag) != 0) {
            continue;
        }
        const bool holds = (position - r - kDataStart) % 2 == 0 &&
                           position + length <= r + kDataEnd && wholeDataRecord(r);
        return holds ? std::optional<std::size_t>(r) : std::nullopt;
    }
    return std::nullopt;
}

std::optional<std::size_t> PersonalizerApp::findInData(std::string_view hex, std::size_t from,
                                                       std::size_t lastStart) const {
    if (hex.empty()) {
        return std::nullopt;
    }
    // Searching only where a match may start keeps windowed searches short.
    std::string_view text = firmwareText;
    if (lastStart < text.size() && text.size() - lastStart > hex.size()) {
        text = text.substr(0, lastStart + hex.size());
    }
    for (std::size_t p = text.find(hex, from); p != std::string_view::npos;
         p = text.find(hex, p + 1)) {
        if (recordHolding(p, hex.size())) {
            return p;
        }
    }
    return std::nullopt;
}

std::size_t PersonalizerApp::zeroRoomBehind(std::size_t record, std::size_t byte) const {
    std::size_t zeros = 0;
    for (std::size_t i = byte; i < kRecordBytes && dataByte(record, i) == 0; ++i) {
        ++zeros;
    }
    // One zero byte stays as the terminator; each further one is room.
    return zeros > 0 ? zeros - 1 : 0;
}

bool PersonalizerApp::continues(std::size_t record, std::size_t next) const {
    if (!wholeDataRecord(record) || !wholeDataRecord(next)) {
        return false;
    }
    std::uint32_t address = 0;
    std::uint32_t nextAddress = 0;
    for (std::size_t i = 1; i <= 4; ++i) {
        address = (address << 8) | static_cast<std::uint32_t>(dataByte(record, i));
        nextAddress = (nextAddress << 8) | static_cast<std::uint32_t>(dataByte(next, i));
    }
    return nextAddress == address + kDataBytes;
}

int PersonalizerApp::dataByte(std::size_t record, std::size_t byte) const {
    const std::size_t at = positionOfByte(record, byte);
    if (at + 1 >= firmwareText.size()) {
        return -1;
    }
    return hexPairValue(firmwareText[at], firmwareText[at + 1]);
}

void PersonalizerApp::clearLocation(TextGroup& group) {
    textEnded = false;
    group.matchPos.reset();
    group.records = {};
    group.recordRoom = {};
    group.charLimit = 0;
    group.openEnded = false;
    group.factoryText.clear();
}

void PersonalizerApp::locateTitle() {
    TextGroup& group = title();
    clearLocation(group);
    const std::string& text = group.searchText;
    const std::size_t length = text.size();
    if (length == 0) {
        return;
    }
    const std::string hex = hexOf(text);
    const std::string_view lastHex = std::string_view(hex).substr(hex.size() - 2);

    if (const std::optional<std::size_t> match = findInData(hex, 0)) {
        const std::size_t record = *recordHolding(*match, hex.size());
        const std::size_t behind = dataByteAt(record, *match) + length;
        const std::size_t limit = length + zeroRoomBehind(record, behind);
        group.matchPos = match;
        group.records[0] = record;
        group.recordRoom[0] = static_cast<std::int16_t>(limit);
        group.charLimit = static_cast<int>(limit);
        group.factoryText = text;
        return;
    }

    // A record boundary cuts the title: its first m characters end one
    // record's data and the rest begins the next record's.
    for (std::size_t m = length; m >= 1; --m) {
        const std::string head = hex.substr(0, 2 * m);
        // q only moves forward with f, so it is searched again only once f passes it.
        std::optional<std::size_t> q;
        for (std::size_t f = firmwareText.find(head); f != std::string::npos;
             f = firmwareText.find(head, f + 1)) {
            if (!q || *q < f) {
                const std::size_t next = firmwareText.find(lastHex, f);
                if (next == std::string::npos) {
                    break;
                }
                q = next;
            }
            if (*q != f + 2 * length + kLineEndToNextData - 2) {
                continue;
            }
            const std::optional<std::size_t> first = recordHolding(f, head.size());
            if (!first || f + head.size() != *first + kDataEnd) {
                continue;
            }
            const std::optional<std::size_t> second = nextDataRecord(*first);
            const std::string_view rest = std::string_view(hex).substr(head.size());
            if (!second || *second + kDataStart != f + head.size() + kLineEndToNextData ||
                !continues(*first, *second) || !recordHolding(*second + kDataStart, rest.size()) ||
                firmwareText.compare(*second + kDataStart, rest.size(), rest) != 0) {
                continue;
            }
            const std::size_t room = zeroRoomBehind(*second, kFirstDataByte + (length - m));
            group.matchPos = f;
            group.records[0] = first;
            group.records[1] = second;
            group.recordRoom[0] = static_cast<std::int16_t>(m);
            group.recordRoom[1] = static_cast<std::int16_t>(length - m + room);
            group.charLimit = static_cast<int>(length + room);
            group.factoryText = text;
            return;
        }
    }
}

std::optional<std::size_t> PersonalizerApp::findSplitText(const std::string& text) const {
    // Spaces are where the text may be cut: one pass per space, looking for
    // the tail behind it, then for as much of the first word as stands within
    // the look-back before that tail.
    const std::string hex = hexOf(text);
    const std::size_t firstSpace = text.find(' ');
    if (firstSpace == std::string::npos) {
        return std::nullopt;
    }
    std::string head = hex.substr(0, 2 * firstSpace);
    std::optional<std::size_t> found;
    for (std::size_t space = firstSpace; space != std::string::npos;
         space = text.find(' ', space + 1)) {
        found = findInData(std::string_view(hex).substr(2 * (space + 1)), 0);
        if (!found) {
            continue;
        }
        const std::size_t from = *found >= kRecordLookBack ? *found - kRecordLookBack : 0;
        while (!head.empty()) {
            // The head alone proves nothing: another text's word may begin the
            // same way. Only a place from which the whole text reads on is taken.
            for (std::optional<std::size_t> headAt = findInData(head, from, *found); headAt;
                 headAt = findInData(head, *headAt + 1, *found)) {
                if (spelledAcrossRecords(*headAt, hex)) {
                    return headAt;
                }
            }
            head.resize(head.size() - 2);
        }
    }
    return std::nullopt;
}

bool PersonalizerApp::spelledAcrossRecords(std::size_t position, std::string_view hex) const {
    std::optional<std::size_t> record = recordHolding(position, 2);
    std::size_t at = position;
    while (record) {
        const std::size_t here = std::min(hex.size(), *record + kDataEnd - at);
        if (firmwareText.compare(at, here, hex.substr(0, here)) != 0) {
            return false;
        }
        hex.remove_prefix(here);
        if (hex.empty()) {
            return true;
        }
        const std::optional<std::size_t> next = nextDataRecord(*record);
        if (!next || !continues(*record, *next)) {
            return false;
        }
        record = next;
        at = *next + kDataStart;
    }
    return false;
}

bool PersonalizerApp::locateText(TextGroup& group) {
    clearLocation(group);
    std::optional<std::size_t> match = findInData(hexOf(group.searchText), 0);
    if (!match && !group.searchText.empty()) {
        match = findSplitText(group.searchText);
    }
    if (!match) {
        showNotFound(group);
        return false;
    }
    group.matchPos = match;
    group.records[0] = recordHolding(*match, 2);

    int limit = 0;
    std::size_t k = 0;
    for (; k < kMaxGroupRecords; ++k) {
        const int room = gatherRecordText(group, k);
        group.recordRoom[k] = static_cast<std::int16_t>(room);
        limit += room;
        if (textEnded || room == 0 || k + 1 == kMaxGroupRecords) {
            break;
        }
        const std::optional<std::size_t> next = nextDataRecord(*group.records[k]);
        if (!next || !continues(*group.records[k], *next)) {
            break;
        }
        group.records[k + 1] = next;
    }
    if (!textEnded && limit > 0) {
        // The text runs on past what was seen: keep its last byte for a new
        // terminator, so the patched text ends inside the records it owns.
        group.openEnded = true;
        --group.recordRoom[k];
        --limit;
    }
    group.charLimit = limit;
    return true;
}

int PersonalizerApp::gatherRecordText(TextGroup& group, std::size_t k) {
    if (k >= kMaxGroupRecords || !group.records[k] || !wholeDataRecord(*group.records[k])) {
        return 0;
    }
    const std::size_t record = *group.records[k];
    // The text begins at the match; later records give it their data from the start.
    std::size_t first = kFirstDataByte;
    if (k == 0 && group.matchPos) {
        first = dataByteAt(record, *group.matchPos);
    }
    std::string piece;
    std::size_t zeros = 0;
    std::size_t i = first;
    for (; i < kRecordBytes; ++i) {
        const int b = dataByte(record, i);
        if (b == 0) {
            textEnded = true;
            zeros = zeroRoomBehind(record, i);
            break;
        }
        piece.push_back(static_cast<char>(b));
    }
    group.factoryText += piece;
    return static_cast<int>((i - first) + zeros);
}

void PersonalizerApp::patchGroup(TextGroup& group) {
    if (!group.matchPos || !group.records[0] || group.recordRoom[0] == 0 || group.charLimit <= 0) {
        return;
    }
    const auto limit = static_cast<std::size_t>(group.charLimit);
    std::string text = group.personalText;
    const bool cut = text.size() > limit;
    if (text.size() < limit) {
        text.append(limit - text.size(), ' ');
    }
    for (std::size_t i = 0; i + 1 < text.size(); ++i) {
        if (text[i] == '\\' && text[i + 1] == 'n') {
            text[i] = '\r';
            text[i + 1] = '\n';
            ++i;
        }
    }
    if (cut) {
        // A line break cut in half would leave a lone carriage return.
        if (text[limit - 1] == '\r' && text[limit] == '\n') {
            text[limit - 1] = ' ';
        }
        text.resize(limit);
    }

    std::size_t placed = 0;
    bool terminatorPlaced = !group.openEnded;
    for (std::size_t k = 0; k < kMaxGroupRecords && group.recordRoom[k] != 0; ++k) {
        if (!group.records[k] || !wholeDataRecord(*group.records[k])) {
            return;
        }
        const std::size_t record = *group.records[k];
        std::array<std::uint8_t, kRecordBytes + 1> bytes{};
        for (std::size_t j = 0; j < kRecordBytes; ++j) {
            bytes[j] = static_cast<std::uint8_t>(dataByte(record, j));
        }
        std::size_t j = kFirstDataByte;
        if (k == 0) {
            j = dataByteAt(record, *group.matchPos);
        }
        for (; j < kRecordBytes; ++j) {
            if (placed < limit) {
                bytes[j] = static_cast<std::uint8_t>(text[placed++]);
            } else if (!terminatorPlaced) {
                bytes[j] = 0;
                terminatorPlaced = true;
            }
        }
        unsigned sum = 0;
        for (std::size_t b = 0; b < kRecordBytes; ++b) {
            sum += bytes[b];
        }
        bytes[kRecordBytes] = static_cast<std::uint8_t>(0xFF - (sum & 0xFF));
        const std::string hex =
            hexOf(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
        firmwareText.replace(record + 2, hex.size(), hex);
    }
}

void PersonalizerApp::patchAll() {
    patchGroup(title());
    patchGroup(message());
    patchGroup(agree());
}

}  // namespace tagwright
