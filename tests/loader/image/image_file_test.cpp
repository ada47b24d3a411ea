#include "image_file.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <string>
#include <vector>

#include "image_test_files.h"
#include "work_dir.h"

namespace zamel::testing {
namespace {

std::string joinLines(const std::vector<std::string>& lines, const char* lineEnd = "\n") {
    std::string text;
    for (const auto& l : lines) text += l + lineEnd;
    return text;
}

std::vector<std::uint8_t> bytesOf(std::initializer_list<int> values) {
    std::vector<std::uint8_t> bytes;
    for (int v : values) bytes.push_back(static_cast<std::uint8_t>(v));
    return bytes;
}

const std::string kHeader = "S00600004844521B";
const std::string kEnd = "S70500000000FA";

struct RoundTripCase {
    const char* name;
    std::size_t size;
    std::uint32_t address;
    int recordLength;
    std::int32_t maxLength;
};

class ObjcopyRoundTrip : public ::testing::TestWithParam<RoundTripCase> {};

// The reader must agree with a tool nobody here wrote: objcopy's records, read back
// block by block, give the binary byte for byte at the right addresses.
TEST_P(ObjcopyRoundTrip, BlocksRebuildTheBinary) {
    const RoundTripCase& c = GetParam();
    TempWorkDir dir;
    const auto bytes = patternBytes(c.size, static_cast<std::uint32_t>(c.size));
    ASSERT_TRUE(
        objcopySRecord(dir.file("in.bin"), dir.file("out.srec"), bytes, c.address, c.recordLength));
    ImageFile image(dir.file("out.srec"));
    ASSERT_EQ(image.isOpen, 1);
    ASSERT_TRUE(image.isSRecord);
    std::uint32_t lastByte = c.address + static_cast<std::uint32_t>(c.size) - 1;
    if (lastByte >= 0x1000000) lastByte &= 0xFFFFFF;
    EXPECT_EQ(image.imageSize, lastByte);

    const auto blocks = readAllBlocks(image, c.maxLength);
    ASSERT_FALSE(blocks.empty());
    EXPECT_EQ(blocks.front().address, c.address);
    EXPECT_EQ(joinContiguous(blocks), bytes);
    const std::size_t fullRecords =
        std::min<std::size_t>(201, (c.maxLength + c.recordLength - 1) / c.recordLength);
    for (std::size_t i = 0; i + 1 < blocks.size(); ++i)
        EXPECT_EQ(blocks[i].bytes.size(), fullRecords * c.recordLength) << "block " << i;
    std::uint32_t address = 0;
    std::vector<std::uint8_t> buffer(ImageFile::blockCapacity(c.maxLength));
    EXPECT_EQ(image.readBlock(buffer, c.maxLength, address), 0) << "reads on after the end";
}

INSTANTIATE_TEST_SUITE_P(Images, ObjcopyRoundTrip,
                         ::testing::Values(RoundTripCase{"Flash1980", 100'000, 0x2D004000, 32,
                                                         1980},
                                           RoundTripCase{"OddTail", 4'099, 0x2D004000, 32, 1980},
                                           RoundTripCase{"LongRecords", 50'001, 0x0, 120, 1980},
                                           RoundTripCase{"RecordLimit", 20'000, 0x1000, 4, 4000},
                                           RoundTripCase{"SmallRequest", 3'000, 0x100, 16, 1},
                                           RoundTripCase{"Above16MiB", 1'000, 0x01000000, 32, 512}),
                         [](const auto& info) { return std::string(info.param.name); });

// objcopy's output with CR LF line ends and lower-case hex reads the same.
TEST(ImageFileTest, CrLfAndLowerCaseHexReadLikeTheOriginal) {
    TempWorkDir dir;
    const auto bytes = patternBytes(5'000, 7);
    ASSERT_TRUE(objcopySRecord(dir.file("in.bin"), dir.file("out.srec"), bytes, 0x2D004000, 32));
    const auto original = readWholeFile(dir.file("out.srec"));
    std::string converted;
    for (std::uint8_t b : original) {
        if (b == '\n') converted += '\r';
        converted += (b == 'S') ? 'S' : static_cast<char>(std::tolower(b));
    }
    ASSERT_TRUE(writeWholeFile(dir.file("crlf.hex"), converted));
    ImageFile image(dir.file("crlf.hex"));
    ASSERT_TRUE(image.isSRecord);
    EXPECT_EQ(image.imageSize, (0x2D004000u + 5'000 - 1) & 0xFFFFFF);
    const auto blocks = readAllBlocks(image, 1980);
    ASSERT_FALSE(blocks.empty());
    EXPECT_EQ(blocks.front().address, 0x2D004000u);
    EXPECT_EQ(joinContiguous(blocks), bytes);
}

// "S0" at the start decides, not the name.
TEST(ImageFileTest, FirstTwoBytesDecideTheKindWhateverTheExtension) {
    TempWorkDir dir;
    const auto data = bytesOf({0x11, 0x22, 0x33, 0x44});
    ASSERT_TRUE(writeWholeFile(dir.file("code.bin"), joinLines({kHeader, s3Line(0x40, data)})));
    const std::string notSRecord = ":10010000S0 is not first\n";
    ASSERT_TRUE(writeWholeFile(dir.file("code.hex"), notSRecord));

    ImageFile srec(dir.file("code.bin"));
    EXPECT_TRUE(srec.isSRecord);
    auto blocks = readAllBlocks(srec, 100);
    ASSERT_EQ(blocks.size(), 1u);
    EXPECT_EQ(blocks[0].address, 0x40u);
    EXPECT_EQ(blocks[0].bytes, data);

    ImageFile binary(dir.file("code.hex"));
    EXPECT_EQ(binary.isOpen, 1);
    EXPECT_FALSE(binary.isSRecord);
    EXPECT_EQ(binary.imageSize, notSRecord.size());
    std::vector<std::uint8_t> buffer(ImageFile::blockCapacity(3));
    std::uint32_t offset = 9;
    ASSERT_EQ(binary.readBlock(buffer, 3, offset), 3);
    EXPECT_EQ(offset, 9u) << "a binary read leaves the offset alone";
    EXPECT_EQ(std::string(buffer.begin(), buffer.begin() + 3), "S0 ");
}

TEST(ImageFileTest, BinaryReadsByOffsetAndStopsAtTheEnd) {
    TempWorkDir dir;
    const auto bytes = patternBytes(3'000, 3);
    ASSERT_TRUE(writeWholeFile(dir.file("map.img"), bytes));
    ImageFile image(dir.file("map.img"));
    ASSERT_EQ(image.isOpen, 1);
    EXPECT_EQ(image.imageSize, 3'000u);
    std::vector<std::uint8_t> buffer(ImageFile::blockCapacity(1980));
    std::uint32_t offset = 1980;
    ASSERT_EQ(image.readBlock(buffer, 1980, offset), 1020);
    EXPECT_TRUE(std::equal(buffer.begin(), buffer.begin() + 1020, bytes.begin() + 1980));
    offset = 0;
    ASSERT_EQ(image.readBlock(buffer, 1980, offset), 1980);
    EXPECT_TRUE(std::equal(buffer.begin(), buffer.begin() + 1980, bytes.begin()));
    offset = 3'000;
    EXPECT_EQ(image.readBlock(buffer, 1980, offset), 0);
    offset = 0xFFFFFFF0;
    EXPECT_EQ(image.readBlock(buffer, 1980, offset), 0);
    // A span shorter than the request is filled, never overrun.
    std::vector<std::uint8_t> small(10);
    offset = 0;
    EXPECT_EQ(image.readBlock(std::span(small), 1980, offset), 10);
    EXPECT_TRUE(std::equal(small.begin(), small.end(), bytes.begin()));
}

TEST(ImageFileTest, MissingOrEmptyPathIsNotOpen) {
    TempWorkDir dir;
    for (const std::string& p : {std::string(), dir.file("absent.srec"), dir.path()}) {
        ImageFile image(p);
        EXPECT_EQ(image.isOpen, 0) << p;
        std::vector<std::uint8_t> buffer(ImageFile::blockCapacity(16));
        std::uint32_t address = 0;
        EXPECT_EQ(image.readBlock(buffer, 16, address), 0) << p;
    }
}

TEST(ImageFileTest, CloseEndsReading) {
    TempWorkDir dir;
    ASSERT_TRUE(
        writeWholeFile(dir.file("a.srec"), joinLines({kHeader, s3Line(0, bytesOf({1, 2, 3, 4}))})));
    ImageFile image(dir.file("a.srec"));
    image.close();
    EXPECT_EQ(image.isOpen, 0);
    std::vector<std::uint8_t> buffer(ImageFile::blockCapacity(16));
    std::uint32_t address = 0;
    EXPECT_EQ(image.readBlock(buffer, 16, address), 0);
}

// A sender that goes back rewinds the image: from any point, even mid-block with a
// record pending or past the end, reading starts again with the first block.
TEST(ImageFileTest, RestartGivesTheSameBlocksAgainFromAnyPoint) {
    TempWorkDir dir;
    std::vector<std::string> lines = {kHeader};
    for (std::uint32_t i = 0; i < 70; ++i) lines.push_back(s3Line(i * 32, patternBytes(32, i)));
    for (std::uint32_t i = 0; i < 3; ++i)
        lines.push_back(s3Line(0x8000 + i * 32, patternBytes(32, 100 + i)));
    lines.push_back(kEnd);
    ASSERT_TRUE(writeWholeFile(dir.file("a.srec"), joinLines(lines)));
    ImageFile reference(dir.file("a.srec"));
    const auto all = readAllBlocks(reference, 1980);
    ASSERT_EQ(all.size(), 3u);
    for (std::size_t readFirst = 0; readFirst <= all.size() + 1; ++readFirst) {
        SCOPED_TRACE(readFirst);
        ImageFile image(dir.file("a.srec"));
        std::vector<std::uint8_t> buffer(ImageFile::blockCapacity(1980));
        for (std::size_t i = 0; i < readFirst; ++i) {
            std::uint32_t address = 0;
            image.readBlock(buffer, 1980, address);
        }
        ASSERT_TRUE(image.restartAtFirstRecord());
        const auto again = readAllBlocks(image, 1980);
        ASSERT_EQ(again.size(), all.size());
        for (std::size_t i = 0; i < all.size(); ++i) {
            EXPECT_EQ(again[i].address, all[i].address) << i;
            EXPECT_EQ(again[i].bytes, all[i].bytes) << i;
        }
    }
}

TEST(ImageFileTest, RestartLeavesABinaryFileAsItIsAndFailsWhenClosed) {
    TempWorkDir dir;
    const auto bytes = patternBytes(100, 4);
    ASSERT_TRUE(writeWholeFile(dir.file("map.img"), bytes));
    ASSERT_TRUE(writeWholeFile(dir.file("a.srec"), joinLines({kHeader, s3Line(0, bytes)})));
    ImageFile binary(dir.file("map.img"));
    std::vector<std::uint8_t> buffer(ImageFile::blockCapacity(40));
    std::uint32_t offset = 60;
    ASSERT_EQ(binary.readBlock(buffer, 40, offset), 40);
    EXPECT_TRUE(binary.restartAtFirstRecord());
    EXPECT_EQ(offset, 60u);
    offset = 10;
    ASSERT_EQ(binary.readBlock(buffer, 40, offset), 40);
    EXPECT_TRUE(std::equal(buffer.begin(), buffer.begin() + 40, bytes.begin() + 10));
    ImageFile text(dir.file("a.srec"));
    for (ImageFile* image : {&binary, &text}) {
        image->close();
        EXPECT_FALSE(image->restartAtFirstRecord());
        std::uint32_t address = 0;
        EXPECT_EQ(image->readBlock(buffer, 40, address), 0);
    }
}

// The last data record at 0x01000000 with 32 bytes ends at 0x0100001F: 0x1F in the window.
TEST(ImageFileTest, SizeAbove16MiBIsCutTo24Bits) {
    TempWorkDir dir;
    const auto data = patternBytes(32, 1);
    ASSERT_TRUE(writeWholeFile(dir.file("big.srec"), joinLines({kHeader, s3Line(0x00FFFFE0, data),
                                                                s3Line(0x01000000, data), kEnd})));
    ImageFile image(dir.file("big.srec"));
    EXPECT_EQ(image.imageSize, 0x1Fu);
}

TEST(ImageFileTest, SizeFromTheLastRecordEvenBehindLongTrailingText) {
    TempWorkDir dir;
    const auto data = patternBytes(16, 2);
    std::vector<std::string> lines = {kHeader, s3Line(0x2D004000, data), s3Line(0x2D004010, data),
                                      kEnd};
    for (int i = 0; i < 10; ++i) lines.push_back("; trailing note line that is not a record");
    ASSERT_TRUE(writeWholeFile(dir.file("notes.srec"), joinLines(lines)));
    ImageFile image(dir.file("notes.srec"));
    EXPECT_EQ(image.imageSize, 0x2D00401Fu & 0xFFFFFF);
    EXPECT_EQ(joinContiguous(readAllBlocks(image, 1980)).size(), 32u)
        << "the size search must not disturb block reading";

    ASSERT_TRUE(writeWholeFile(dir.file("nodata.srec"), joinLines({kHeader, kEnd})));
    ImageFile empty(dir.file("nodata.srec"));
    EXPECT_EQ(empty.imageSize, 0u);
    EXPECT_TRUE(readAllBlocks(empty, 1980).empty());
}

// Records at 0x100, 0x110, 0x120 and then 0x200: the gap ends the first block and
// the record after it opens the next one with its own address.
TEST(ImageFileTest, GapEndsTheBlockAndThePendingRecordOpensTheNext) {
    TempWorkDir dir;
    const auto a = patternBytes(16, 10), b = patternBytes(16, 11), c = patternBytes(16, 12),
               d = patternBytes(16, 13);
    ASSERT_TRUE(
        writeWholeFile(dir.file("gap.srec"), joinLines({kHeader, s3Line(0x100, a), s3Line(0x110, b),
                                                        s3Line(0x120, c), s3Line(0x200, d)})));
    ImageFile image(dir.file("gap.srec"));
    const auto blocks = readAllBlocks(image, 1980);
    ASSERT_EQ(blocks.size(), 2u);
    EXPECT_EQ(blocks[0].address, 0x100u);
    std::vector<std::uint8_t> first = a;
    first.insert(first.end(), b.begin(), b.end());
    first.insert(first.end(), c.begin(), c.end());
    EXPECT_EQ(blocks[0].bytes, first);
    EXPECT_EQ(blocks[1].address, 0x200u);
    EXPECT_EQ(blocks[1].bytes, d) << "the pending last line of the file is still delivered";
}

TEST(ImageFileTest, BlockOf1980EndsAfter62RecordsOf32Bytes) {
    TempWorkDir dir;
    std::vector<std::string> lines = {kHeader};
    for (std::uint32_t i = 0; i < 70; ++i) lines.push_back(s3Line(i * 32, patternBytes(32, i)));
    ASSERT_TRUE(writeWholeFile(dir.file("a.srec"), joinLines(lines)));
    ImageFile image(dir.file("a.srec"));
    const auto blocks = readAllBlocks(image, 1980);
    ASSERT_EQ(blocks.size(), 2u);
    EXPECT_EQ(blocks[0].bytes.size(), 1984u);
    EXPECT_EQ(blocks[1].address, 1984u);
    EXPECT_EQ(blocks[1].bytes.size(), 8u * 32);
}

TEST(ImageFileTest, BlockHoldsAtMost201Records) {
    TempWorkDir dir;
    std::vector<std::string> lines = {kHeader};
    for (std::uint32_t i = 0; i < 250; ++i)
        lines.push_back(s3Line(0x2D000000 + i * 4, patternBytes(4, i)));
    ASSERT_TRUE(writeWholeFile(dir.file("a.srec"), joinLines(lines)));
    ImageFile image(dir.file("a.srec"));
    const auto blocks = readAllBlocks(image, 1000);
    ASSERT_EQ(blocks.size(), 2u);
    EXPECT_EQ(blocks[0].bytes.size(), 804u);
    EXPECT_EQ(blocks[1].address, 0x2D000000u + 804);
    EXPECT_EQ(blocks[1].bytes.size(), 49u * 4);
    EXPECT_TRUE(std::equal(blocks[1].bytes.begin(), blocks[1].bytes.begin() + 4,
                           patternBytes(4, 201).begin()))
        << "the next block begins with the 202nd record";
}

// Header, end and count records and lines that are no records never add data, and
// do not end a block.
TEST(ImageFileTest, OnlyDataRecordsContributeData) {
    TempWorkDir dir;
    const auto a = patternBytes(8, 1), b = patternBytes(8, 2);
    ASSERT_TRUE(writeWholeFile(
        dir.file("mixed.srec"),
        joinLines({kHeader, "", "; a comment", s3Line(0x10, a), "S0030000FC", "S5030002FA",
                   "  S3 indented", s3Line(0x18, b), kEnd, "S9030000FC", "S804000000FB"})));
    ImageFile image(dir.file("mixed.srec"));
    const auto blocks = readAllBlocks(image, 1980);
    ASSERT_EQ(blocks.size(), 1u);
    EXPECT_EQ(blocks[0].address, 0x10u);
    std::vector<std::uint8_t> expected = a;
    expected.insert(expected.end(), b.begin(), b.end());
    EXPECT_EQ(blocks[0].bytes, expected);
}

// S1 and S2 records come one per call and leave the address alone; one that
// interrupts an S3 block waits for the next call instead of overwriting it.
TEST(ImageFileTest, ShortAddressRecordsComeAloneAndNeverOverwriteABlock) {
    TempWorkDir dir;
    const auto a = patternBytes(8, 1), s1 = patternBytes(5, 2), s2 = patternBytes(6, 3),
               b = patternBytes(8, 4);
    ASSERT_TRUE(writeWholeFile(dir.file("s12.srec"),
                               joinLines({kHeader, s3Line(0x1000, a), sRecordLine('1', 0x20, 2, s1),
                                          sRecordLine('2', 0x123456, 3, s2), s3Line(0x1008, b)})));
    ImageFile image(dir.file("s12.srec"));
    std::vector<std::uint8_t> buffer(ImageFile::blockCapacity(1980));
    std::uint32_t address = 0;
    ASSERT_EQ(image.readBlock(buffer, 1980, address), 8);
    EXPECT_EQ(address, 0x1000u);
    EXPECT_TRUE(std::equal(a.begin(), a.end(), buffer.begin()));
    address = 77;
    ASSERT_EQ(image.readBlock(buffer, 1980, address), 5);
    EXPECT_EQ(address, 77u);
    EXPECT_EQ(image.recordAddress, 0x20u);
    EXPECT_TRUE(std::equal(s1.begin(), s1.end(), buffer.begin()));
    ASSERT_EQ(image.readBlock(buffer, 1980, address), 6);
    EXPECT_EQ(image.recordAddress, 0x123456u);
    EXPECT_TRUE(std::equal(s2.begin(), s2.end(), buffer.begin()));
    ASSERT_EQ(image.readBlock(buffer, 1980, address), 8);
    EXPECT_EQ(address, 0x1008u);
    EXPECT_TRUE(std::equal(b.begin(), b.end(), buffer.begin()));
}

// A line longer than 255 characters is cut; its tail is dropped, never read as a
// record of its own, and the buffer is never overrun.
TEST(ImageFileTest, OverlongLineIsCutAndItsTailDropped) {
    TempWorkDir dir;
    const auto longData = patternBytes(130, 5);
    const std::string overlong =
        s3Line(0x0, longData) + s3Line(0x5000, patternBytes(4, 6)) + "0000";
    ASSERT_GT(overlong.size(), 255u);
    const auto after = patternBytes(4, 7);
    ASSERT_TRUE(writeWholeFile(dir.file("long.srec"),
                               joinLines({kHeader, overlong, s3Line(0x9000, after)})));
    ImageFile image(dir.file("long.srec"));
    constexpr std::int32_t kMax = 4;
    std::vector<std::uint8_t> buffer(ImageFile::blockCapacity(kMax) + 64, 0xEE);
    std::uint32_t address = 0;
    // 255 characters hold 121 hex pairs after the address; the last stands for the checksum.
    ASSERT_EQ(
        image.readBlock(std::span(buffer).first(ImageFile::blockCapacity(kMax)), kMax, address),
        120);
    EXPECT_EQ(address, 0u);
    EXPECT_TRUE(std::equal(buffer.begin(), buffer.begin() + 120, longData.begin()));
    EXPECT_TRUE(std::all_of(buffer.begin() + ImageFile::blockCapacity(kMax), buffer.end(),
                            [](std::uint8_t b) { return b == 0xEE; }));
    ASSERT_EQ(
        image.readBlock(std::span(buffer).first(ImageFile::blockCapacity(kMax)), kMax, address), 4);
    EXPECT_EQ(address, 0x9000u) << "the tail of the long line must not become a record";
}

// A count that claims more data than the line holds yields only the data present.
TEST(ImageFileTest, CountClaimingMoreThanTheLineHoldsTakesOnlyWhatIsThere) {
    struct Case {
        const char* name;
        std::string line;
        std::vector<std::uint8_t> expected;
    };
    const std::vector<Case> cases = {
        {"count FF, 4 data", "S3FF0000010001020304F0", bytesOf({1, 2, 3, 4})},
        {"no checksum pair", "S3FF00000100010203", bytesOf({1, 2})},
        {"address only", "S3FF00000100", {}},
        {"bad hex stops data", "S3FF000001000102ZZ0304F0", bytesOf({1})},
        {"count below 5", "S30300000100AABBCC", {}},
        {"no data at all", "S30500000100FA", {}},
    };
    for (const Case& c : cases) {
        TempWorkDir dir;
        const auto next = bytesOf({9, 9});
        ASSERT_TRUE(
            writeWholeFile(dir.file("c.srec"), joinLines({kHeader, c.line, s3Line(0x7000, next)})));
        ImageFile image(dir.file("c.srec"));
        const auto blocks = readAllBlocks(image, 1980);
        if (c.expected.empty()) {
            // A record without data must not read as the end of the image.
            ASSERT_EQ(blocks.size(), 1u) << c.name;
            EXPECT_EQ(blocks[0].address, 0x7000u) << c.name;
            EXPECT_EQ(blocks[0].bytes, next) << c.name;
            continue;
        }
        ASSERT_EQ(blocks.size(), 2u) << c.name;
        EXPECT_EQ(blocks[0].address, 0x100u) << c.name;
        EXPECT_EQ(blocks[0].bytes, c.expected) << c.name;
        EXPECT_EQ(blocks[1].bytes, next) << c.name;
    }
}

TEST(ImageFileTest, RecordWithoutReadableAddressIsPassedOver) {
    TempWorkDir dir;
    const auto a = bytesOf({1, 2, 3, 4}), b = bytesOf({5, 6, 7, 8});
    ASSERT_TRUE(writeWholeFile(
        dir.file("bad.srec"),
        joinLines({kHeader, s3Line(0x100, a), "S309000G0104AABBCC", "S3", s3Line(0x104, b)})));
    ImageFile image(dir.file("bad.srec"));
    const auto blocks = readAllBlocks(image, 1980);
    ASSERT_EQ(blocks.size(), 1u);
    EXPECT_EQ(blocks[0].bytes, joinContiguous({{0x100, a}, {0x104, b}}));
}

// A span smaller than the contract asks for shrinks the request instead of being overrun.
TEST(ImageFileTest, ShortSpanIsNeverOverrun) {
    TempWorkDir dir;
    std::vector<std::string> lines = {kHeader};
    for (std::uint32_t i = 0; i < 8; ++i) lines.push_back(s3Line(i * 32, patternBytes(32, i)));
    ASSERT_TRUE(writeWholeFile(dir.file("a.srec"), joinLines(lines)));
    ImageFile image(dir.file("a.srec"));
    std::vector<std::uint8_t> buffer(ImageFile::kMaxRecordDataBytes + 40, 0);
    std::vector<std::uint8_t> guarded(buffer.size() + 32, 0xEE);
    std::uint32_t address = 0;
    const std::int16_t got =
        image.readBlock(std::span(guarded).first(buffer.size()), 1980, address);
    EXPECT_EQ(got, 64) << "40 bytes asked for: two 32-byte records";
    EXPECT_TRUE(std::all_of(guarded.begin() + buffer.size(), guarded.end(),
                            [](std::uint8_t b) { return b == 0xEE; }));
    std::vector<std::uint8_t> tiny(8);
    EXPECT_EQ(image.readBlock(std::span(tiny), 1980, address), 0);
    EXPECT_EQ(image.readBlock(std::span(buffer), 0, address), 0);
}

}  // namespace
}  // namespace zamel::testing
