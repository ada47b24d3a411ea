#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace zamel {

class ImageFile;

// One record of a transfer: `length` data bytes at `address`, found at `dataOffset`
// in its segment's data.
struct TransferBlock {
    std::uint32_t address;
    std::uint32_t dataOffset;
    std::uint16_t length;
};

// Where a file may go: the addresses [first, last] it is written to. A binary image
// is placed at `loadAddress`; S-records carry their own addresses. With `clip` the
// file's data outside the window is left out (the boot-block reload sends only that
// part of the program code); without it such data refuses the file. `oneRun` asks
// for one gap-free run from `first`, as a record-mode map lands.
struct SegmentWindow {
    std::uint32_t loadAddress = 0;
    std::uint32_t first = 0;
    std::uint32_t last = 0xFFFFFFFF;
    bool clip = false;
    bool oneRun = false;
};

// One file of a transfer, read whole before anything is sent: its data in address
// order, cut into records of at most the record length, and the window it went into.
// Reading it all first is what lets the engine go back to any record, in this file
// or an earlier one, and lets the erase cover every byte that will be written.
struct TransferSegment {
    SegmentWindow window;
    std::vector<std::uint8_t> data;
    std::vector<TransferBlock> blocks;

    std::span<const std::uint8_t> blockData(const TransferBlock& block) const {
        return std::span(data).subspan(block.dataOffset, block.length);
    }
    // Whether a record holds data at some address of [first, last].
    bool holdsAny(std::uint32_t first, std::uint32_t last) const;
    // The last address a record of this segment writes, its pad byte included.
    std::uint32_t lastWritten() const;
};

// The files of one transfer in the order they go.
using TransferPlan = std::vector<TransferSegment>;

// Reads an open image whole into a segment for `window`, cut into records of at most
// `recordLength` (even) bytes. Refuses, with a reason that completes a sentence
// beginning with the file's name, a file with no data (in the window), data outside
// the window, overlapping records, or a gap where one run is needed. The image is left
// at its first record again.
std::optional<TransferSegment> loadTransferSegment(ImageFile& image, const SegmentWindow& window,
                                                   std::uint32_t recordLength, std::string& reason);

}  // namespace zamel
