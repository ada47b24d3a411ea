#include "image_shape.h"

#include <algorithm>
#include <cstdio>
#include <string_view>

namespace zamel::soak {

namespace {

// A stretch of the flash that the image fills.
struct Span {
    std::uint32_t address;
    std::uint32_t length;
};

constexpr std::uint32_t kMapHeaderOffset = 64;
constexpr std::uint32_t kLegacyCodeMarkAddress = 1024;
constexpr std::uint32_t kDatabaseHeaderOffset = 220;
constexpr std::uint32_t kDatabaseHeaderBytes = 128;
constexpr std::uint32_t kDatabaseDescriptionOffset = 223;

std::uint32_t nextSectorAfter(std::uint32_t address) {
    return (address / kSectorBytes + 1) * kSectorBytes;
}

std::string words(const char* format, std::uint64_t a, std::uint64_t b = 0) {
    char text[96];
    std::snprintf(text, sizeof text, format, static_cast<unsigned long long>(a),
                  static_cast<unsigned long long>(b));
    return text;
}

// Stretches a few bytes wide on both sides of the flash addresses where plans and
// sectors meet; the rest of the image stays small, so it goes over the line quickly.
std::vector<Span> sparseSpans(Rng& rng, ImageRole role, std::string& summary) {
    std::vector<Span> spans;
    if (role == ImageRole::FlashCode) {
        spans.push_back({kFlashCodeLoad, 0xE00 + rng.between(6, 0x300)});
        spans.push_back({0x2D010000 - rng.between(1, 0x200), rng.between(2, 0x400)});
        if (rng.chance(1, 3))
            spans.push_back({0x2D020000 - rng.between(1, 40), rng.between(1, 80)});
    } else {
        spans.push_back({0, 0x400 + rng.between(4, 0x400)});
        spans.push_back({kBootBlockFirst - rng.between(1, 0x200), rng.between(2, 0x400)});
        if (rng.chance(1, 2))
            spans.push_back({kBootBlockLast - rng.between(0, 0x80), rng.between(1, 0x81)});
        if (rng.chance(1, 4)) {
            spans.push_back({kLegacyDatabaseLoad + rng.between(0, 0x100), rng.between(1, 0x40)});
            summary += "reaching into the database, ";
        }
    }
    summary += words("sparse over %llu stretches, ", spans.size());
    return spans;
}

// The image's stretches: one from the load address, or (S-records) stretches
// with gaps between them.
std::vector<Span> drawSpans(Rng& rng, ImageRole role, bool sRecord, bool bootBlockPass,
                            std::string& summary) {
    const std::uint32_t load = loadAddress(role);
    enum class Size { Empty, One, Odd, Records, RecordsAndOne, Medium, Sector, Sparse, BootBlock };
    std::vector<std::pair<std::uint32_t, Size>> sizes = {
        {2, Size::Empty},         {2, Size::One},    {4, Size::Odd},   {3, Size::Records},
        {3, Size::RecordsAndOne}, {5, Size::Medium}, {2, Size::Sector}};
    if (sRecord && (role == ImageRole::FlashCode || role == ImageRole::LegacyCode))
        sizes.push_back({bootBlockPass ? 8u : 4u, Size::Sparse});
    // Some 450 KiB over a 115200 baud line: rare, it takes the better part of a minute.
    if (!sRecord && role == ImageRole::LegacyCode)
        sizes.push_back({bootBlockPass ? 5u : 1u, Size::BootBlock});

    std::uint32_t length = 0;
    switch (rng.weighted(sizes)) {
        case Size::Empty:
            break;
        case Size::One:
            length = 1;
            break;
        case Size::Odd:
            length = rng.between(1, kRecordBytes / 2 - 1) * 2 + 1;
            break;
        case Size::Records:
            length = kRecordBytes * rng.between(1, 4);
            break;
        case Size::RecordsAndOne:
            length = kRecordBytes * rng.between(1, 4) + (rng.chance(1, 2) ? 1 : -1);
            break;
        case Size::Medium:
            length = rng.between(2000, 16000);
            break;
        case Size::Sector:
            length = nextSectorAfter(load) - load + rng.between(0, 4) - 2;
            summary += "to a sector boundary, ";
            break;
        case Size::Sparse:
            return sparseSpans(rng, role, summary);
        case Size::BootBlock:
            length = kBootBlockFirst + rng.between(1, 0x800);
            summary += "into the boot block, ";
            break;
    }
    if (!sRecord || length < 2 || rng.chance(2, 3)) return {{load, length}};
    // Cut into two or three stretches and move each later one up by a gap.
    std::vector<std::uint32_t> cuts = {0, length};
    for (std::uint32_t n = rng.between(1, 2); n > 0; --n)
        cuts.push_back(rng.between(1, length - 1));
    std::sort(cuts.begin(), cuts.end());
    cuts.erase(std::unique(cuts.begin(), cuts.end()), cuts.end());
    std::vector<Span> spans;
    std::uint32_t shift = 0;
    for (std::size_t i = 0; i + 1 < cuts.size(); ++i) {
        if (i > 0) shift += rng.between(1, 3000);
        spans.push_back({load + cuts[i] + shift, cuts[i + 1] - cuts[i]});
    }
    summary += words("%llu gaps, ", spans.size() - 1);
    return spans;
}

// Cuts a stretch into data records of recordData bytes, with a record starting
// where the version record must stand.
void cutIntoRecords(Rng& rng, const Span& span, std::uint32_t recordData,
                    std::vector<DataRecord>& records) {
    std::uint32_t at = span.address;
    const std::uint32_t end = span.address + span.length;
    while (at < end) {
        std::uint32_t next = std::min(end, at + recordData);
        if (at < kVersionRecordAddress && next > kVersionRecordAddress)
            next = kVersionRecordAddress;
        DataRecord record{at, std::vector<std::uint8_t>(next - at)};
        for (auto& b : record.bytes) b = rng.byte();
        records.push_back(std::move(record));
        at = next;
    }
}

void stamp(std::vector<DataRecord>& records, std::uint32_t address, std::string_view bytes) {
    for (auto& record : records)
        for (std::size_t i = 0; i < bytes.size(); ++i) {
            const std::uint32_t where = address + static_cast<std::uint32_t>(i);
            if (where >= record.address && where - record.address < record.bytes.size())
                record.bytes[where - record.address] = static_cast<std::uint8_t>(bytes[i]);
        }
}

// What the loader's content checks look for, where they look for it.
void placeMarks(ImageShape& image, const ImageMarks& marks) {
    switch (image.role) {
        case ImageRole::FlashCode: {
            const char version[] = {marks.productCode[0],           marks.productCode[1],
                                    marks.productCode[2],           0,
                                    static_cast<char>(marks.major), static_cast<char>(marks.minor)};
            stamp(image.records, kVersionRecordAddress, std::string_view(version, sizeof version));
            break;
        }
        case ImageRole::LegacyCode:
            // An S-record file shows the check its first data bytes instead.
            if (image.sRecord && !image.records.empty())
                stamp(image.records, image.records.front().address, "024");
            else
                stamp(image.records, kLegacyCodeMarkAddress, "024");
            break;
        case ImageRole::LegacyDatabase:
            stamp(image.records, kLegacyDatabaseLoad + kDatabaseHeaderOffset,
                  std::string(kDatabaseHeaderBytes, ' '));
            stamp(image.records, kLegacyDatabaseLoad + kDatabaseDescriptionOffset,
                  marks.databaseDescription);
            break;
        case ImageRole::Map:
            stamp(image.records, kMapHeaderOffset,
                  "[MAP_INFO]\r\nMAP_NAME=" + marks.mapName + "\r\n");
            break;
    }
}

// Out of order, overlapping, outside the load range: what a damaged or hand-made
// S-record file may hold.
void disorder(Rng& rng, ImageShape& image) {
    auto& records = image.records;
    if (records.size() < 2) return;
    enum class Order { Kept, LastFirst, Swapped, Shuffled, Overlap, BelowLoad };
    std::vector<std::pair<std::uint32_t, Order>> orders = {{10, Order::Kept},
                                                           {3, Order::LastFirst},
                                                           {2, Order::Swapped},
                                                           {1, Order::Shuffled},
                                                           {1, Order::Overlap}};
    if (image.role == ImageRole::FlashCode) orders.push_back({1, Order::BelowLoad});
    switch (rng.weighted(orders)) {
        case Order::Kept:
            return;
        case Order::LastFirst:
            std::rotate(records.rbegin(), records.rbegin() + 1, records.rend());
            image.summary += "last record first, ";
            return;
        case Order::Swapped: {
            const auto n = static_cast<std::uint32_t>(records.size());
            std::swap(records[rng.below(n)], records[rng.below(n)]);
            image.summary += "two records swapped, ";
            return;
        }
        case Order::Shuffled:
            for (std::size_t i = records.size() - 1; i > 0; --i)
                std::swap(records[i], records[rng.below(static_cast<std::uint32_t>(i + 1))]);
            image.summary += "records shuffled, ";
            return;
        case Order::Overlap: {
            const DataRecord& over = records[rng.below(static_cast<std::uint32_t>(records.size()))];
            DataRecord copy{over.address + rng.below(static_cast<std::uint32_t>(over.bytes.size())),
                            std::vector<std::uint8_t>(rng.between(1, 32))};
            for (auto& b : copy.bytes) b = rng.byte();
            records.insert(
                records.begin() + rng.between(0, static_cast<std::uint32_t>(records.size())),
                std::move(copy));
            image.summary += "two records overlap, ";
            return;
        }
        case Order::BelowLoad: {
            DataRecord below{kFlashCodeLoad - rng.between(1, 0x40) * 16,
                             std::vector<std::uint8_t>(16)};
            for (auto& b : below.bytes) b = rng.byte();
            records.insert(
                records.begin() + rng.between(0, static_cast<std::uint32_t>(records.size())),
                std::move(below));
            image.summary += "a record below the load address, ";
            return;
        }
    }
}

std::string hexByte(unsigned value) {
    char text[3];
    std::snprintf(text, sizeof text, "%02X", value & 0xFF);
    return text;
}

// One S-record line: type, count, address of addressBytes bytes, data, checksum.
std::string sRecordLine(char type, std::uint32_t address, int addressBytes,
                        const std::uint8_t* data, std::size_t length) {
    const unsigned count = static_cast<unsigned>(addressBytes + length + 1);
    std::string line = std::string("S") + type + hexByte(count);
    unsigned sum = count;
    for (int i = addressBytes - 1; i >= 0; --i) {
        const unsigned b = (address >> (8 * i)) & 0xFF;
        sum += b;
        line += hexByte(b);
    }
    for (std::size_t i = 0; i < length; ++i) {
        sum += data[i];
        line += hexByte(data[i]);
    }
    return line + hexByte(~sum) + "\n";
}

}  // namespace

std::uint32_t loadAddress(ImageRole role) {
    switch (role) {
        case ImageRole::FlashCode:
            return kFlashCodeLoad;
        case ImageRole::LegacyDatabase:
            return kLegacyDatabaseLoad;
        case ImageRole::Map:
        case ImageRole::LegacyCode:
            break;
    }
    return 0;
}

ImageShape drawImage(Rng& rng, ImageRole role, const ImageMarks& marks, bool bootBlockPass) {
    ImageShape image;
    image.role = role;
    // Maps and databases are binary; a map as S-records meets the map data question.
    image.sRecord = role == ImageRole::FlashCode || role == ImageRole::LegacyCode
                        ? rng.chance(1, 2)
                        : role == ImageRole::Map && rng.chance(1, 20);
    const std::vector<Span> spans =
        drawSpans(rng, role, image.sRecord, bootBlockPass, image.summary);
    if (image.sRecord) {
        const std::uint32_t recordData = rng.pick(std::vector<std::uint32_t>{16, 32, 29, 64, 120});
        for (const Span& span : spans) cutIntoRecords(rng, span, recordData, image.records);
        image.summary += words("%llu records of up to %llu, ", image.records.size(), recordData);
        disorder(rng, image);
    } else {
        DataRecord whole{spans.front().address, std::vector<std::uint8_t>(spans.front().length)};
        for (auto& b : whole.bytes) b = rng.byte();
        image.records.push_back(std::move(whole));
    }
    placeMarks(image, marks);
    image.summary = words(image.sRecord ? "S-record, %llu bytes, " : "binary, %llu bytes, ",
                          image.dataBytes()) +
                    image.summary;
    image.summary.resize(image.summary.size() - 2);
    return image;
}

std::uint64_t ImageShape::dataBytes() const {
    std::uint64_t total = 0;
    for (const auto& record : records) total += record.bytes.size();
    return total;
}

SparseBytes ImageShape::flashImage(bool& conflicting) const {
    SparseBytes flash;
    conflicting = false;
    for (const auto& record : records)
        for (std::size_t i = 0; i < record.bytes.size(); ++i) {
            const std::uint32_t address = record.address + static_cast<std::uint32_t>(i);
            const auto before = flash.at(address);
            if (before && *before != record.bytes[i]) conflicting = true;
            flash.set(address, record.bytes[i]);
        }
    return flash;
}

std::string ImageShape::fileText() const {
    if (!sRecord) {
        const auto& bytes = records.front().bytes;
        return std::string(bytes.begin(), bytes.end());
    }
    const std::string_view header = "upload soak";
    std::string text =
        sRecordLine('0', 0, 2, reinterpret_cast<const std::uint8_t*>(header.data()), header.size());
    for (const auto& record : records)
        text += sRecordLine('3', record.address, 4, record.bytes.data(), record.bytes.size());
    return text + sRecordLine('7', records.empty() ? 0 : records.front().address, 4, nullptr, 0);
}

}  // namespace zamel::soak
