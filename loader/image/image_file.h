#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "buffered_file.h"
#include "content_check.h"

namespace zamel {

class ReceiverLink;
class Ui;

// An opened firmware, database or map image. A file whose first two bytes are "S0"
// is Motorola S-record text, read strictly forward in blocks of contiguous S3 data
// with their load address; any other file is raw binary, read at any offset.
// The owner creates it, tests isOpen, reads, closes and destroys it.
//
// Buffer contract of readBlock: an S-record block may run past maxLength by the
// data of its last record, so the buffer must hold blockCapacity(maxLength) bytes.
// The span overload never writes past the span; the pointer overload trusts the
// caller to pass blockCapacity(maxLength) bytes.
class ImageFile {
  public:
    // Longest text line kept, without its line end; the rest of a longer line is dropped.
    static constexpr int kMaxLineChars = 255;
    // Most data bytes one record line of kMaxLineChars can carry (an S1 record; an S3
    // record carries at most 120).
    static constexpr int kMaxRecordDataBytes = 122;
    // Largest maxLength honoured, so every count fits the 16-bit result.
    static constexpr int kMaxBlockRequest = INT16_MAX - kMaxRecordDataBytes;
    static constexpr int kMaxPathChars = 255;

    // Bytes a readBlock buffer needs for a request of maxLength bytes: the longest
    // block the reader can return.
    static constexpr std::size_t blockCapacity(int maxLength) {
        return static_cast<std::size_t>(maxLength < 0 ? 0 : maxLength) + kMaxRecordDataBytes;
    }

    // Opens and classifies the file; never fails by exception: test isOpen.
    explicit ImageFile(std::string_view filePath);
    ImageFile(const ImageFile&) = delete;
    ImageFile& operator=(const ImageFile&) = delete;

    // Binary: reads up to maxLength bytes at file offset `address` (left unchanged).
    // S-record: reads the next block and sets `address` to its load address (S3 data;
    // an S1 or S2 record comes alone and leaves `address` as passed).
    // Returns the bytes placed; below 1 means the end of the image.
    std::int16_t readBlock(std::span<std::uint8_t> buffer, std::int32_t maxLength,
                           std::uint32_t& address);
    std::int16_t readBlock(std::uint8_t* buffer, std::int32_t maxLength, std::uint32_t& address);

    void close();

    // S-record: the next readBlock starts again at the first data record, as after
    // opening; for a sender that must go back in the image. A binary file is read by
    // offset and is left as it is. False when the file is not open or cannot be
    // rewound.
    bool restartAtFirstRecord();

    // Whether the file suits the connected receiver; may ask the user unless silent.
    // False for a file that is not open. For FlashCode it also reads the version record.
    bool checkContent(ContentCheck kind, bool silent, const ReceiverLink& link, Ui& ui);

    // True once checkContent found a well-formed version record; versionMajor and
    // versionMinor mean nothing otherwise (binary code files never have one).
    bool versionKnown() const { return versionKnown_; }

    BufferedFile file;
    bool fetchNextLine = true;
    bool blockDone = false;
    std::int32_t recordCount = 0;
    std::int32_t blockLength = 0;
    std::uint32_t recordAddress = 0;
    std::int32_t recordByteCount = 0;
    std::array<char, kMaxLineChars + 1> line{};
    bool isSRecord = false;
    std::int32_t isOpen = 0;
    std::uint32_t imageSize = 0;
    std::string path;
    std::uint32_t versionMajor = 0;
    std::uint32_t versionMinor = 0;

  private:
    std::int16_t readBinaryBlock(std::span<std::uint8_t> buffer, std::int32_t maxLength,
                                 std::uint32_t address);
    std::int16_t readSRecordBlock(std::span<std::uint8_t> buffer, std::int32_t maxLength,
                                  std::uint32_t& address);
    // One pass of block gathering; false once the file has no more lines.
    bool gatherSRecordBlock(std::span<std::uint8_t> buffer, std::int32_t maxLength,
                            std::uint32_t& address);
    void takeS3Record(std::span<std::uint8_t> buffer, std::int32_t maxLength,
                      std::uint32_t& address);
    void takeShortAddressRecord(std::span<std::uint8_t> buffer, int addressDigits);
    bool fetchLine();
    std::string_view currentLine() const { return {line.data(), lineLength_}; }

    bool checkFlashCode(bool silent, const ReceiverLink& link, Ui& ui);
    bool readVersionRecord(std::string_view productCode);

    std::size_t lineLength_ = 0;
    bool versionKnown_ = false;
};

}  // namespace zamel
