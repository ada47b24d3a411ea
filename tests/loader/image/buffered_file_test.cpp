#include "buffered_file.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "work_dir.h"

namespace zamel::testing {
namespace {

// What readLine must give: lines without LF or CR LF (a last line without LF loses
// its final CR too), each cut to `limit`.
std::vector<std::string> referenceLines(const std::string& text, std::size_t limit) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line.substr(0, limit));
        start = end + 1;
    }
    return lines;
}

std::vector<std::string> readLines(BufferedFile& file, std::size_t limit) {
    std::vector<std::string> lines;
    std::vector<char> out(limit);
    while (const auto kept = file.readLine(out)) lines.emplace_back(out.data(), *kept);
    return lines;
}

// Lines of every length from 0 to 300 with mixed line ends, repeated until line
// ends have fallen at every position around the buffer's refill boundary.
TEST(BufferedFileTest, LinesAcrossBufferBoundariesMatchASimpleSplit) {
    TempWorkDir dir;
    std::string text;
    for (std::size_t n = 0; text.size() < 3 * BufferedFile::kBufferBytes; ++n) {
        const std::size_t length = (n * 37) % 301;
        for (std::size_t i = 0; i < length; ++i) text += static_cast<char>('A' + (n + i) % 26);
        text += (n % 3 == 0) ? "\r\n" : "\n";
    }
    text += "CR inside\rthe line\r\n";
    text += "last line without an end\r";
    ASSERT_TRUE(writeWholeFile(dir.file("lines.txt"), text));
    BufferedFile file;
    ASSERT_TRUE(file.open(dir.file("lines.txt")));
    EXPECT_EQ(file.size(), text.size());
    for (std::size_t limit : {255u, 1u, 400u}) {
        ASSERT_TRUE(file.rewind());
        const auto lines = readLines(file, limit);
        const auto expected = referenceLines(text, limit);
        ASSERT_EQ(lines.size(), expected.size()) << "limit " << limit;
        for (std::size_t i = 0; i < lines.size(); ++i)
            ASSERT_EQ(lines[i], expected[i]) << "line " << i << ", limit " << limit;
    }
}

TEST(BufferedFileTest, SequentialAndOffsetReads) {
    TempWorkDir dir;
    std::vector<std::uint8_t> bytes(BufferedFile::kBufferBytes + 1000);
    for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<std::uint8_t>(i * 7);
    ASSERT_TRUE(writeWholeFile(dir.file("data.bin"), bytes));
    BufferedFile file;
    ASSERT_TRUE(file.open(dir.file("data.bin")));
    std::vector<std::uint8_t> out(BufferedFile::kBufferBytes - 10);
    ASSERT_EQ(file.read(out), out.size());
    EXPECT_TRUE(std::equal(out.begin(), out.end(), bytes.begin()));
    std::vector<std::uint8_t> rest(5000);
    ASSERT_EQ(file.read(rest), 1010u);
    EXPECT_TRUE(std::equal(rest.begin(), rest.begin() + 1010, bytes.end() - 1010));
    EXPECT_EQ(file.read(rest), 0u);

    std::vector<std::uint8_t> piece(16);
    ASSERT_EQ(file.readAt(100, piece), 16u);
    EXPECT_TRUE(std::equal(piece.begin(), piece.end(), bytes.begin() + 100));
    EXPECT_EQ(file.readAt(bytes.size() - 4, piece), 4u);
    EXPECT_EQ(file.readAt(bytes.size() + 4, piece), 0u);

    file.close();
    EXPECT_FALSE(file.isOpen());
    EXPECT_EQ(file.readAt(0, piece), 0u);
    EXPECT_FALSE(file.readLine(std::span(reinterpret_cast<char*>(piece.data()), piece.size())));
    EXPECT_FALSE(file.open(dir.file("absent")));
    EXPECT_FALSE(file.open(dir.path())) << "a directory is no file";
}

}  // namespace
}  // namespace zamel::testing
