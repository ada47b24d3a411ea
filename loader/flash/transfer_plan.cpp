#include "transfer_plan.h"

#include <algorithm>
#include <cstdio>

#include "image_file.h"

namespace zamel {

namespace {

// A stretch of data as the file gave it.
struct Piece {
    std::uint64_t address;
    std::uint32_t dataOffset;
    std::uint32_t length;
    std::uint64_t end() const { return address + length; }
};

constexpr std::int32_t kBinaryChunk = 16 * 1024;
constexpr std::int32_t kSRecordRequest = 1980;

std::string describe(const char* format, std::uint64_t a, std::uint64_t b = 0,
                     std::uint64_t c = 0) {
    char text[160];
    std::snprintf(text, sizeof text, format, static_cast<unsigned long long>(a),
                  static_cast<unsigned long long>(b), static_cast<unsigned long long>(c));
    return text;
}

void readBinary(ImageFile& image, const SegmentWindow& window, std::vector<Piece>& pieces,
                std::vector<std::uint8_t>& data) {
    data.resize(image.imageSize);
    std::uint32_t offset = 0;
    while (offset < image.imageSize) {
        std::uint32_t at = offset;
        const std::int16_t count =
            image.readBlock(std::span(data).subspan(offset), kBinaryChunk, at);
        if (count < 1) break;
        offset += static_cast<std::uint32_t>(count);
    }
    data.resize(offset);
    if (offset > 0) pieces.push_back({window.loadAddress, 0, offset});
}

void readSRecords(ImageFile& image, std::vector<Piece>& pieces, std::vector<std::uint8_t>& data) {
    std::vector<std::uint8_t> block(ImageFile::blockCapacity(kSRecordRequest));
    image.restartAtFirstRecord();
    // Records without an address of their own follow the data before them.
    std::uint32_t next = 0;
    for (;;) {
        std::uint32_t address = next;
        const std::int16_t count = image.readBlock(block, kSRecordRequest, address);
        if (count < 1) break;
        pieces.push_back(
            {address, static_cast<std::uint32_t>(data.size()), static_cast<std::uint32_t>(count)});
        data.insert(data.end(), block.begin(), block.begin() + count);
        next = address + static_cast<std::uint32_t>(count);
    }
    image.restartAtFirstRecord();
}

// Keeps the part of each piece inside the window (clip) or refuses a piece outside it.
bool fitWindow(std::vector<Piece>& pieces, const SegmentWindow& window, std::string& reason) {
    std::vector<Piece> kept;
    for (Piece piece : pieces) {
        const std::uint64_t first = std::max<std::uint64_t>(piece.address, window.first);
        const std::uint64_t end =
            std::min<std::uint64_t>(piece.end(), std::uint64_t{window.last} + 1);
        const bool inside = first == piece.address && end == piece.end();
        if (!inside && !window.clip) {
            const std::uint64_t outside = piece.address < window.first ? piece.address : end;
            reason = describe("has data at 0x%08llX, outside 0x%08llX to 0x%08llX", outside,
                              window.first, window.last);
            return false;
        }
        if (first >= end) continue;
        piece.dataOffset += static_cast<std::uint32_t>(first - piece.address);
        piece.length = static_cast<std::uint32_t>(end - first);
        piece.address = first;
        kept.push_back(piece);
    }
    pieces = std::move(kept);
    if (pieces.empty()) {
        reason = window.clip ? describe("holds no data from 0x%08llX to 0x%08llX", window.first,
                                        window.last)
                             : "holds no data";
        return false;
    }
    return true;
}

}  // namespace

bool TransferSegment::holdsAny(std::uint32_t first, std::uint32_t last) const {
    return std::any_of(blocks.begin(), blocks.end(), [&](const TransferBlock& block) {
        return block.address <= last && std::uint64_t{block.address} + block.length > first;
    });
}

std::uint32_t TransferSegment::lastWritten() const {
    std::uint64_t last = 0;
    for (const TransferBlock& block : blocks)
        last =
            std::max<std::uint64_t>(last, block.address + block.length + (block.length & 1u) - 1);
    return static_cast<std::uint32_t>(std::min<std::uint64_t>(last, UINT32_MAX));
}

std::optional<TransferSegment> loadTransferSegment(ImageFile& image, const SegmentWindow& window,
                                                   std::uint32_t recordLength,
                                                   std::string& reason) {
    std::vector<Piece> pieces;
    std::vector<std::uint8_t> fileData;
    if (!image.isOpen) {
        reason = "cannot be read";
        return std::nullopt;
    }
    if (image.isSRecord) {
        readSRecords(image, pieces, fileData);
    } else {
        readBinary(image, window, pieces, fileData);
    }
    if (!fitWindow(pieces, window, reason)) return std::nullopt;

    // Address order: the flash is erased before any record, so the order the file
    // lists its records in does not matter, but two records for one byte do.
    std::sort(pieces.begin(), pieces.end(), [](const Piece& a, const Piece& b) {
        return a.address != b.address ? a.address < b.address : a.dataOffset < b.dataOffset;
    });
    for (std::size_t i = 1; i < pieces.size(); ++i) {
        if (pieces[i].address < pieces[i - 1].end()) {
            reason = describe("has records that overlap at 0x%08llX", pieces[i].address);
            return std::nullopt;
        }
    }
    if (window.oneRun && pieces.front().address != window.first) {
        reason = describe("has no data at 0x%08llX, where it must begin", window.first);
        return std::nullopt;
    }

    TransferSegment segment{window, {}, {}};
    segment.data.reserve(fileData.size());
    for (std::size_t i = 0; i < pieces.size();) {
        // One run of pieces that follow each other without a gap.
        const std::uint64_t runAddress = pieces[i].address;
        const auto runOffset = static_cast<std::uint32_t>(segment.data.size());
        std::uint64_t runEnd = runAddress;
        for (; i < pieces.size() && pieces[i].address == runEnd; ++i) {
            const auto from = fileData.begin() + pieces[i].dataOffset;
            segment.data.insert(segment.data.end(), from, from + pieces[i].length);
            runEnd = pieces[i].end();
        }
        if (window.oneRun && i < pieces.size()) {
            reason = describe("has a gap at 0x%08llX: it must be one run of data", runEnd);
            return std::nullopt;
        }
        const auto runLength = static_cast<std::uint32_t>(runEnd - runAddress);
        for (std::uint32_t done = 0; done < runLength; done += recordLength) {
            const std::uint32_t length = std::min(recordLength, runLength - done);
            segment.blocks.push_back({static_cast<std::uint32_t>(runAddress + done),
                                      runOffset + done, static_cast<std::uint16_t>(length)});
        }
    }
    // The pad byte of an odd last record is written too: it must stay in the window,
    // where the erase reaches and no other file lies.
    const TransferBlock& last = segment.blocks.back();
    if (std::uint64_t{last.address} + last.length + (last.length & 1u) - 1 > window.last) {
        reason = describe(
            "ends at 0x%08llX with an odd byte: its padded last record would "
            "run past 0x%08llX",
            std::uint64_t{last.address} + last.length - 1, window.last);
        return std::nullopt;
    }
    return segment;
}

}  // namespace zamel
