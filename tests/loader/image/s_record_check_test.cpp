#include "s_record_check.h"

#include <gtest/gtest.h>

#include <string>

#include "work_dir.h"

namespace zamel::testing {
namespace {

// Three good records: a header, 16 data bytes at 0x2D004000, the start address.
const std::string kHeader = "S00D000068656C6C6F20202020203E\n";
const std::string kData = "S3152D004000000102030405060708090A0B0C0D0E0F05\n";
const std::string kEnd = "S7052D0040008D\n";

SRecordCheck checkText(const std::string& text) {
    writeWholeFile("image.srec", text);
    return checkSRecordFile("image.srec");
}

TEST(SRecordCheck, CountsTheDataOfIntactFilesInAnyLineEnd) {
    TempWorkDir dir;
    const auto lf = checkText(kHeader + kData + kData + kEnd);
    EXPECT_TRUE(lf.intact);
    EXPECT_EQ(lf.dataBytes, 32u);
    std::string crlf = kHeader + kData + kEnd;
    for (std::size_t at = crlf.find('\n'); at != std::string::npos; at = crlf.find('\n', at + 2))
        crlf.insert(at, "\r");
    const auto windows = checkText(crlf + "\r\n");
    EXPECT_TRUE(windows.intact);
    EXPECT_EQ(windows.dataBytes, 16u);
}

TEST(SRecordCheck, NamesTheFirstDamagedLineAndWhatIsWrong) {
    TempWorkDir dir;
    struct Case {
        std::string line;
        const char* fault;
    };
    const Case cases[] = {
        {"S3152D004000000102030405060708090A0B0C0D0E0F06", "has a wrong checksum"},
        {"S3152D0040000001020304050607G8090A0B0C0D0E0F05",
         "holds a character that is not a hex digit"},
        {"S3162D004000000102030405060708090A0B0C0D0E0F05",
         "has a byte count that does not match its length"},
        {"S3152D004000000102030405060708090A0B0C0D0E0F0", "has an odd number of hex digits"},
        {"S4152D004000000102030405060708090A0B0C0D0E0F05", "has an unknown record type"},
        {"S3", "is not an S-record"},
        {"S3" + std::string(300, '0'), "is longer than 255 characters"},
    };
    for (const Case& c : cases) {
        const auto check = checkText(kHeader + kData + c.line + "\n" + kData + "broken too\n");
        EXPECT_FALSE(check.intact) << c.fault;
        EXPECT_EQ(check.faultLine, 3) << c.fault;
        EXPECT_STREQ(check.fault, c.fault);
    }
    EXPECT_STREQ(checkSRecordFile("absent.srec").fault, "cannot be read");
}

// The reader passes over lines that do not begin with "S": a DOS end-of-file mark
// (Ctrl-Z), a comment, a stray line of text. The check must not refuse them.
TEST(SRecordCheck, PassesOverLinesThatDoNotBeginWithS) {
    TempWorkDir dir;
    const auto check =
        checkText(kHeader + "; made by hand\n" + kData + "s3 in lower case\n" + kEnd + "\x1a");
    EXPECT_TRUE(check.intact) << check.fault << " at " << check.faultLine;
    EXPECT_EQ(check.dataBytes, 16u);
}

// Records of 47 characters cross the reader's 1 MiB chunks at every offset.
TEST(SRecordCheck, ReadsLinesAcrossChunksAndFindsAFaultBeyondTheFirst) {
    TempWorkDir dir;
    const std::size_t records = (3u << 20) / kData.size() + 1;
    std::string text = kHeader;
    for (std::size_t i = 0; i < records; ++i) text += kData;
    auto check = checkText(text + kEnd);
    EXPECT_TRUE(check.intact);
    EXPECT_EQ(check.dataBytes, 16u * records);

    text[text.size() - 2] = '6';
    check = checkText(text);
    EXPECT_FALSE(check.intact);
    EXPECT_EQ(check.faultLine, static_cast<std::int64_t>(records) + 1);
}

}  // namespace
}  // namespace zamel::testing
