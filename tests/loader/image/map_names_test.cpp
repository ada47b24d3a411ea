#include "map_names.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "image_test_files.h"
#include "pty_pair.h"
#include "receiver_link.h"
#include "receiver_responder.h"
#include "scripted_ui.h"
#include "test_clocks.h"

namespace zamel::testing {
namespace {

// The link keeps the reply's payload, behind "$PQVXMPH,".
TEST(MapNamesTest, ReceiverNameIsTheThirdFieldOfTheReply) {
    struct Case {
        const char* header;
        const char* name;
    };
    const Case cases[] = {
        {"1,2,Alpine,2.05,3000000", "Alpine"},
        {"1,2,Alpine", "Alpine"},
        {"1,2,Alpine*3C\r\n", "Alpine"},
        {"1,2,,2.05", ""},
        {"1,2", ""},
        {"", ""},
        {"1,2,Western Europe and the Alpine Countries 2008,2.05",
         "Western Europe and the Alpine Countries"},
    };
    for (const Case& c : cases) EXPECT_EQ(receiverMapNameOf(c.header), c.name) << c.header;
}

// Filler that can hold no part of a marker.
std::vector<std::uint8_t> mapFiller(std::size_t size) {
    auto bytes = patternBytes(size, 77);
    for (auto& b : bytes)
        if (b == '[' || b == 'M') b = 0;
    return bytes;
}

std::vector<std::uint8_t> withHeaderAt(std::size_t offset, const std::string& header,
                                       std::size_t size) {
    auto bytes = mapFiller(size);
    if (bytes.size() < offset + header.size()) bytes.resize(offset + header.size());
    std::copy(header.begin(), header.end(), bytes.begin() + offset);
    return bytes;
}

const std::string kMapHeader =
    "[MAP_INFO]\r\nMAP_VERSION=2.05\r\nMAP_NAME=Alpine\r\nMAP_SIZE=3\r\n";

TEST(MapNamesTest, HeaderSplitAcrossTheFirstTwoReadsIsFound) {
    TempWorkDir dir;
    ASSERT_TRUE(writeWholeFile(dir.file("map.img"), withHeaderAt(505, kMapHeader, 4096)));
    EXPECT_EQ(fileMapNameOf(dir.file("map.img")), "Alpine");
}

// The header is found wherever it starts, whatever read boundary it straddles,
// and also in the last, short read of the file.
TEST(MapNamesTest, HeaderIsFoundAtEveryOffset) {
    TempWorkDir dir;
    for (std::size_t offset = 0; offset < 1600; ++offset) {
        ASSERT_TRUE(writeWholeFile(dir.file("map.img"), withHeaderAt(offset, kMapHeader, 1700)));
        ASSERT_EQ(fileMapNameOf(dir.file("map.img")), "Alpine") << "header at " << offset;
    }
}

TEST(MapNamesTest, NameEndsAtTheLineEndAndIsCut) {
    struct Case {
        const char* header;
        const char* name;
    };
    const Case cases[] = {
        {"[MAP_INFO]\rMAP_NAME=Alpine\r", "Alpine"},
        {"[MAP_INFO]\nMAP_NAME=Alpine\nMAP_SIZE=3\n", "Alpine"},
        {"[MAP_INFO]\r\nMAP_NAME=Alpine", "Alpine"},
        {"[MAP_INFO]\r\nMAP_NAME=\r\n", ""},
        {"[MAP_INFO]\r\nMAP_VERSION=2\r\n", ""},
        {"[MAP_IN]\r\nMAP_NAME=Alpine\r\n", ""},
        {"[MAP_INFO]MAP_NAME=A name much longer than thirty-nine characters\r",
         "A name much longer than thirty-nine cha"},
    };
    TempWorkDir dir;
    for (const Case& c : cases) {
        auto bytes = withHeaderAt(100, c.header, 100 + std::strlen(c.header));
        ASSERT_TRUE(writeWholeFile(dir.file("map.img"), bytes));
        EXPECT_EQ(fileMapNameOf(dir.file("map.img")), c.name) << c.header;
    }
}

// The name must stand within the 511 bytes that follow the section mark.
TEST(MapNamesTest, NameBeyondTheHeaderWindowIsNotTaken) {
    TempWorkDir dir;
    for (std::size_t gap : {490u, 520u}) {
        const std::string header = "[MAP_INFO]" + std::string(gap, ' ') + "MAP_NAME=Alpine\r";
        ASSERT_TRUE(writeWholeFile(dir.file("map.img"), withHeaderAt(30, header, 2000)));
        EXPECT_EQ(fileMapNameOf(dir.file("map.img")), gap < 500 ? "Alpine" : "") << gap;
    }
    EXPECT_EQ(fileMapNameOf(dir.file("absent.img")), "");
    EXPECT_EQ(fileMapNameOf(""), "");
}

// The receiver's side comes from a reply the link assembled off the line, as
// the header query leaves it.
TEST(MapNamesTest, ReadMapHeaderTakesTheAssembledReplyAndThePackageRuleComparesTheNames) {
    TempWorkDir dir;
    PtyPair pty;
    ASSERT_TRUE(pty.ok());
    pty.holdSlave();
    ASSERT_TRUE(pty.linkAs(dir.path(), 1));
    ScriptedUi ui;
    ManualClock clock;
    ReceiverLink link(ui, clock);
    link.loadSettings();
    link.open(0, 4800, true);
    ASSERT_TRUE(link.portOpen);
    const auto receive = [&](const std::string& body) {
        const std::string reply = replySentence(body);
        EXPECT_TRUE(pty.write(reply));
        waitReceived(link, reply.size());
        return link.pollReplies();
    };

    MapNames names;
    std::strcpy(names.fileMapName.data(), "stale");
    readMapHeader(link, names);
    EXPECT_STREQ(names.receiverMapName.data(), "");
    EXPECT_STREQ(names.fileMapName.data(), "");
    EXPECT_TRUE(mapPackageMatches(names));

    ASSERT_TRUE(writeWholeFile(dir.file("map.img"), withHeaderAt(505, kMapHeader, 4096)));
    std::strcpy(link.dataPath, dir.file("map.img").c_str());
    ASSERT_EQ(receive("MPH,1,2,Alpine,2.05,3000000"), 1);
    readMapHeader(link, names);
    EXPECT_STREQ(names.receiverMapName.data(), "Alpine");
    EXPECT_STREQ(names.fileMapName.data(), "Alpine");
    EXPECT_TRUE(mapPackageMatches(names));

    ASSERT_EQ(receive("MPH,1,2,alpine,2.05,3000000"), 1);
    readMapHeader(link, names);
    EXPECT_FALSE(mapPackageMatches(names)) << "names compare case-sensitively";

    // A reply filling the whole field, without a terminator, is read within its bounds.
    ASSERT_EQ(receive("MPH,1,2," + std::string(200, 'N')), 1);
    readMapHeader(link, names);
    EXPECT_EQ(std::string(names.receiverMapName.data()), std::string(39, 'N'));
}

}  // namespace
}  // namespace zamel::testing
