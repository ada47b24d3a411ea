#include "image_file.h"

#include <algorithm>

#include "s_record_text.h"

namespace zamel {

namespace {

constexpr std::size_t kTailBytes = 256;
// Positions within an S-record line.
constexpr std::size_t kCountOffset = 2;
constexpr std::size_t kAddressOffset = 4;
// Address and checksum bytes counted in a record's byte count.
constexpr int kS1Overhead = 3;
constexpr int kS2Overhead = 4;
constexpr int kS3Overhead = 5;
// A block holds the record that opened it and at most this many more.
constexpr std::int32_t kMaxRecordsBeforeLast = 200;

bool isDataRecordType(char type) { return type == '1' || type == '2' || type == '3'; }

}  // namespace

ImageFile::ImageFile(std::string_view filePath) {
    if (filePath.empty()) return;
    const std::string fullPath(filePath);
    path = fullPath.substr(0, kMaxPathChars);
    if (!file.open(fullPath)) return;
    const std::uint64_t length = file.size();
    imageSize = static_cast<std::uint32_t>(std::min<std::uint64_t>(length, UINT32_MAX));
    isOpen = 1;

    std::array<std::uint8_t, 2> start{};
    if (file.readAt(0, start) != start.size() || start[0] != 'S' || start[1] != '0') return;
    isSRecord = true;

    const std::uint64_t tailLength = std::min<std::uint64_t>(length, kTailBytes);
    std::array<std::uint8_t, kTailBytes> tail{};
    const std::size_t got = file.readAt(
        length - tailLength, std::span(tail).first(static_cast<std::size_t>(tailLength)));
    if (const auto last = srecord::lastDataAddressInTail(std::span(tail).first(got))) {
        imageSize = *last;
    } else {
        // Trailing text hides the last record from the tail: find it the long way
        // rather than report a size that has nothing to do with the data.
        imageSize = 0;
        file.rewind();
        while (fetchLine()) {
            if (const auto lineLast = srecord::lastDataAddressOfLine(currentLine()))
                imageSize = *lineLast;
        }
    }
    restartAtFirstRecord();
}

void ImageFile::close() {
    file.close();
    isOpen = 0;
}

bool ImageFile::restartAtFirstRecord() {
    if (!isSRecord) return file.isOpen();
    if (!file.rewind()) return false;
    // The header line is read and dropped.
    fetchLine();
    lineLength_ = 0;
    line[0] = '\0';
    fetchNextLine = true;
    blockDone = false;
    recordCount = 0;
    blockLength = 0;
    return true;
}

bool ImageFile::fetchLine() {
    const auto kept = file.readLine(std::span(line).first(kMaxLineChars));
    lineLength_ = kept.value_or(0);
    line[lineLength_] = '\0';
    return kept.has_value();
}

std::int16_t ImageFile::readBlock(std::uint8_t* buffer, std::int32_t maxLength,
                                  std::uint32_t& address) {
    if (buffer == nullptr) return 0;
    const std::int32_t request = std::clamp<std::int32_t>(maxLength, 0, kMaxBlockRequest);
    return readBlock(std::span(buffer, blockCapacity(request)), request, address);
}

std::int16_t ImageFile::readBlock(std::span<std::uint8_t> buffer, std::int32_t maxLength,
                                  std::uint32_t& address) {
    if (!file.isOpen()) return 0;
    std::int32_t request = std::min<std::int32_t>(maxLength, kMaxBlockRequest);
    if (!isSRecord) {
        request = std::min<std::int32_t>(request, static_cast<std::int32_t>(std::min<std::size_t>(
                                                      buffer.size(), kMaxBlockRequest)));
        return request > 0 ? readBinaryBlock(buffer, request, address) : 0;
    }
    // A buffer smaller than the contract asks shrinks the request instead of
    // letting the last record run off its end.
    if (buffer.size() < blockCapacity(request))
        request = static_cast<std::int32_t>(buffer.size()) - kMaxRecordDataBytes;
    if (request <= 0) return 0;
    return readSRecordBlock(buffer, request, address);
}

std::int16_t ImageFile::readBinaryBlock(std::span<std::uint8_t> buffer, std::int32_t maxLength,
                                        std::uint32_t address) {
    const std::size_t got = file.readAt(address, buffer.first(static_cast<std::size_t>(maxLength)));
    return static_cast<std::int16_t>(got);
}

std::int16_t ImageFile::readSRecordBlock(std::span<std::uint8_t> buffer, std::int32_t maxLength,
                                         std::uint32_t& address) {
    bool linesLeft = true;
    // A block of records without data is not the end of the image: callers stop at
    // a result below 1, so only the end of the file may return it.
    do {
        linesLeft = gatherSRecordBlock(buffer, maxLength, address);
    } while (blockLength == 0 && linesLeft);
    return static_cast<std::int16_t>(blockLength);
}

bool ImageFile::gatherSRecordBlock(std::span<std::uint8_t> buffer, std::int32_t maxLength,
                                   std::uint32_t& address) {
    blockDone = false;
    recordCount = 0;
    while (!blockDone) {
        if (recordCount == 0) blockLength = 0;
        if (fetchNextLine && !fetchLine()) {
            blockDone = true;
            return false;
        }
        const std::string_view text = currentLine();
        if (text.size() < 2 || text[0] != 'S' || !isDataRecordType(text[1])) {
            fetchNextLine = true;
            continue;
        }
        if (text[1] == '3') {
            takeS3Record(buffer, maxLength, address);
            continue;
        }
        // An S1 or S2 record comes alone; one met inside an S3 block waits for the
        // next call so the data gathered so far are not overwritten.
        if (recordCount > 0) {
            fetchNextLine = false;
            recordCount = 0;
            blockDone = true;
            break;
        }
        takeShortAddressRecord(buffer, text[1] == '1' ? 4 : 6);
    }
    return true;
}

void ImageFile::takeS3Record(std::span<std::uint8_t> buffer, std::int32_t maxLength,
                             std::uint32_t& address) {
    const std::string_view text = currentLine();
    if (fetchNextLine) {
        const auto count = srecord::parseHex(text, kCountOffset, 2);
        const auto start = srecord::parseHex(text, kAddressOffset, 8);
        if (!count || !start) {
            // Without a readable address the record cannot be placed: pass over it.
            return;
        }
        recordByteCount = static_cast<std::int32_t>(*count);
        recordAddress = *start;
    }
    const bool taken =
        recordCount == 0 || address + static_cast<std::uint32_t>(blockLength) == recordAddress;
    if (recordCount == 0) address = recordAddress;
    fetchNextLine = taken;
    if (taken) {
        constexpr std::size_t kDataOffset = kAddressOffset + 8;
        const std::size_t room = buffer.size() - static_cast<std::size_t>(blockLength);
        const std::size_t length =
            std::min(srecord::dataLength(text, kDataOffset, recordByteCount, kS3Overhead), room);
        srecord::decodeHexPairs(text, kDataOffset,
                                buffer.subspan(static_cast<std::size_t>(blockLength), length));
        recordByteCount = static_cast<std::int32_t>(length);
        blockLength += static_cast<std::int32_t>(length);
    }
    const std::int32_t examinedBefore = recordCount++;
    if (examinedBefore >= kMaxRecordsBeforeLast || blockLength >= maxLength || !taken) {
        recordCount = 0;
        blockDone = true;
    }
}

void ImageFile::takeShortAddressRecord(std::span<std::uint8_t> buffer, int addressDigits) {
    const std::string_view text = currentLine();
    fetchNextLine = true;
    const auto count = srecord::parseHex(text, kCountOffset, 2);
    const auto start = srecord::parseHex(text, kAddressOffset, addressDigits);
    if (!count || !start) return;
    recordAddress = *start;
    const std::size_t dataOffset = kAddressOffset + static_cast<std::size_t>(addressDigits);
    const int overhead = addressDigits == 4 ? kS1Overhead : kS2Overhead;
    const std::size_t length =
        std::min(srecord::dataLength(text, dataOffset, static_cast<std::int32_t>(*count), overhead),
                 buffer.size());
    srecord::decodeHexPairs(text, dataOffset, buffer.first(length));
    blockLength = static_cast<std::int32_t>(length);
    blockDone = true;
}

}  // namespace zamel
