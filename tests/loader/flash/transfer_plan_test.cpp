#include "transfer_plan.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "image_file.h"
#include "test_images.h"
#include "work_dir.h"

namespace zamel::testing {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes counting(std::size_t n, std::uint8_t from = 0) {
    Bytes bytes(n);
    for (std::size_t i = 0; i < n; ++i) bytes[i] = static_cast<std::uint8_t>(from + i);
    return bytes;
}

// Each case is a file and a window: the records it gives (address, length), or the
// reason it is refused for.
struct PlanCase {
    const char* name;
    std::string text;  // an S-record file, or a binary one when it does not begin "S0"
    SegmentWindow window;
    std::vector<std::pair<std::uint32_t, std::uint16_t>> records;
    std::string reason;
};

class TransferPlanTest : public ::testing::TestWithParam<PlanCase> {};

TEST_P(TransferPlanTest, GivesItsRecordsOrTheReasonItIsRefused) {
    const PlanCase& c = GetParam();
    TempWorkDir dir;
    ASSERT_TRUE(writeWholeFile(dir.file("image"), Bytes(c.text.begin(), c.text.end())));
    ImageFile image(dir.file("image"));
    std::string reason;
    const auto segment = loadTransferSegment(image, c.window, 1980, reason);
    EXPECT_EQ(reason, c.reason);
    ASSERT_EQ(segment.has_value(), c.reason.empty());
    if (!segment) return;
    std::vector<std::pair<std::uint32_t, std::uint16_t>> records;
    for (const TransferBlock& block : segment->blocks) {
        records.emplace_back(block.address, block.length);
        // Every record carries the file's bytes for its addresses.
        for (std::uint16_t i = 0; i < block.length; ++i)
            ASSERT_EQ(segment->blockData(block)[i], static_cast<std::uint8_t>(block.address + i));
    }
    EXPECT_EQ(records, c.records);
}

std::string bytesText(const Bytes& bytes) { return std::string(bytes.begin(), bytes.end()); }
std::string srec(std::uint32_t at, std::size_t n, std::size_t perRecord = 32) {
    return sRecordText(at, counting(n, static_cast<std::uint8_t>(at)), perRecord);
}
// Two files' records in one: the second's header line and S7 stripped.
std::string joined(const std::string& first, const std::string& second) {
    const std::string body = second.substr(second.find('\n') + 1);
    return first.substr(0, first.rfind("S7")) + body;
}

const SegmentWindow kAnywhere{0, 0, 0xFFFFFFFF, false, false};
const SegmentWindow kCode{0, 0, 0x9FFFF, false, false};
const SegmentWindow kBootBlock{0, 0x70000, 0x9FFFF, true, false};
const SegmentWindow kMap{0, 0, 0xFFFFFFFF, false, true};

INSTANTIATE_TEST_SUITE_P(
    Files, TransferPlanTest,
    ::testing::Values(
        PlanCase{"EmptyBinary", "", kAnywhere, {}, "holds no data"},
        PlanCase{"SRecordsWithoutData",
                 "S00600004844521B\nS70500000000FA\n",
                 kAnywhere,
                 {},
                 "holds no data"},
        PlanCase{"OddBinaryInFullRecords",
                 bytesText(counting(4001)),
                 kAnywhere,
                 {{0, 1980}, {1980, 1980}, {3960, 41}},
                 ""},
        PlanCase{"RecordsOutOfOrderGoInAddressOrder",
                 joined(srec(0x1000, 64), srec(0x100, 64)),
                 kAnywhere,
                 {{0x100, 64}, {0x1000, 64}},
                 ""},
        PlanCase{"AdjacentRecordsMakeOneRun",
                 joined(srec(0x40, 64), srec(0, 64)),
                 kAnywhere,
                 {{0, 128}},
                 ""},
        PlanCase{"OverlappingRecords",
                 joined(srec(0, 64), srec(0x20, 64)),
                 kAnywhere,
                 {},
                 "has records that overlap at 0x00000020"},
        PlanCase{"DataBeyondTheWindow",
                 srec(0x9FF00, 0x200),
                 kCode,
                 {},
                 "has data at 0x000A0000, outside 0x00000000 to 0x0009FFFF"},
        PlanCase{"PadByteBeyondTheWindow",
                 srec(0x9FFFF, 1),
                 kCode,
                 {},
                 "ends at 0x0009FFFF with an odd byte: its padded last record would run past "
                 "0x0009FFFF"},
        PlanCase{
            "BootBlockKeepsOnlyItsPart", srec(0x6FFF0, 0x40), kBootBlock, {{0x70000, 0x30}}, ""},
        PlanCase{"CodeBelowTheBootBlock",
                 srec(0, 0x100),
                 kBootBlock,
                 {},
                 "holds no data from 0x00070000 to 0x0009FFFF"},
        PlanCase{"MapWithAGap",
                 joined(srec(0, 64), srec(0x100, 64)),
                 kMap,
                 {},
                 "has a gap at 0x00000040: it must be one run of data"}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace zamel::testing
