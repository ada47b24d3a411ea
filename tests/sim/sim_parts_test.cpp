#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "flash_memory.h"
#include "frame_reader.h"
#include "loader_frames.h"
#include "sentence.h"
#include "sim_options.h"
#include "srecord_writer.h"

namespace zamel::sim::testing {
namespace {

using Bytes = std::vector<std::uint8_t>;

std::vector<SentenceReader::Result> pushAll(SentenceReader& reader, const Bytes& bytes) {
    std::vector<SentenceReader::Result> results;
    for (std::uint8_t b : bytes) results.push_back(reader.push(b));
    return results;
}

TEST(Sentence, FramesRepliesWithUpperCaseChecksumOfEverythingAfterTheDollar) {
    const Bytes framed = frameSentence("CMD,VERSION");
    EXPECT_EQ(std::string(framed.begin(), framed.end()), "$PQVXCMD,VERSION*33\r\n");
    const Bytes memory = frameSentence("CMD,MEMORY");
    EXPECT_EQ(std::string(memory.begin(), memory.end()), "$PQVXCMD,MEMORY*68\r\n");
}

TEST(Sentence, ReaderFindsEachSentenceAmongNoiseAndLineEnds) {
    SentenceReader reader;
    Bytes stream = {'\n', 0x00, 0x13};
    for (const char* body : {"CMD,VERSION", "CMD,MEMORY", "CMD,MPH"}) {
        const Bytes s = sentence(body);
        stream.insert(stream.end(), s.begin(), s.end());
    }
    std::vector<std::string> bodies;
    for (std::uint8_t b : stream)
        if (reader.push(b) == SentenceReader::Result::Sentence) bodies.push_back(reader.body());
    EXPECT_EQ(bodies, (std::vector<std::string>{"CMD,VERSION", "CMD,MEMORY", "CMD,MPH"}));
}

TEST(Sentence, ReaderRejectsMalformedSentencesAndRecovers) {
    struct Case {
        const char* name;
        std::string text;
        SentenceReader::Result last;
    };
    // "CMD,DBUPLOAD" sums to 0x6C, whose digits hold a letter.
    const Case cases[] = {
        {"upper-case digits", "$PQVXCMD,DBUPLOAD*6C\r\n", SentenceReader::Result::Sentence},
        {"lower-case digits", "$PQVXCMD,DBUPLOAD*6c\r", SentenceReader::Result::Breach},
        {"CR alone", "$PQVXCMD,DBUPLOAD*6C\r$", SentenceReader::Result::Breach},
        {"wrong checksum", "$PQVXCMD,MEMORY*69\r", SentenceReader::Result::Rejected},
        {"no star", "$PQVXCMD,MEMORY,68\r", SentenceReader::Result::Rejected},
        {"other maker", "$PABCCMD,MEMORY*68\r", SentenceReader::Result::Rejected},
        {"too short", "$PQVX*\r", SentenceReader::Result::Rejected},
        {"not hex", "$PQVXCMD,MEMORY*G8\r", SentenceReader::Result::Rejected},
    };
    for (const Case& c : cases) {
        SentenceReader reader;
        const auto results = pushAll(reader, Bytes(c.text.begin(), c.text.end()));
        EXPECT_EQ(results.back(), c.last) << c.name;
        // The "$" after a CR alone already starts the next sentence.
        const Bytes next = sentence("CMD,PIH");
        const auto again =
            pushAll(reader, c.text.back() == '$' ? Bytes(next.begin() + 1, next.end()) : next);
        EXPECT_EQ(again.back(), SentenceReader::Result::Sentence) << c.name;
        EXPECT_EQ(reader.body(), "CMD,PIH") << c.name;
    }
}

TEST(Sentence, ReaderDropsAnOverlongSentenceAndTakesTheNextOne) {
    SentenceReader reader;
    Bytes stream{'$'};
    stream.insert(stream.end(), 300, 'A');
    const auto results = pushAll(reader, stream);
    EXPECT_EQ(std::count(results.begin(), results.end(), SentenceReader::Result::Rejected), 1);
    const auto next = pushAll(reader, sentence("CMD,MPH"));
    EXPECT_EQ(next.back(), SentenceReader::Result::Sentence);
    EXPECT_EQ(reader.body(), "CMD,MPH");
}

TEST(Sentence, RepliesTakeEachOfTheFourChecksumForms) {
    // After "$" the reply sums to 0x6B; with the "$" to 0x4F.
    const std::pair<ChecksumStyle, const char*> cases[] = {
        {ChecksumStyle::Upper, "$PQVXVER,033,3.08*6B\r\n"},
        {ChecksumStyle::Lower, "$PQVXVER,033,3.08*6b\r\n"},
        {ChecksumStyle::UpperWithDollar, "$PQVXVER,033,3.08*4F\r\n"},
        {ChecksumStyle::LowerWithDollar, "$PQVXVER,033,3.08*4f\r\n"},
    };
    for (const auto& [style, expected] : cases) {
        const Bytes framed = frameSentence("VER,033,3.08", style);
        EXPECT_EQ(std::string(framed.begin(), framed.end()), expected);
    }
}

TEST(FrameReader, TakesGoodFramesAndRefusesBrokenOnes) {
    const Bytes data{1, 2, 3, 4};
    // The record frame for address 0 and data 01 02 03 04 as the loader builds it.
    const Bytes known{0x5B, 0x00, 0x04, 0x00, 0x00, 0x00, 0x00,
                      0x01, 0x02, 0x03, 0x04, 0x02, 0x06, 0x5D};
    ASSERT_EQ(recordFrame(0, data), known);
    struct Case {
        const char* name;
        Bytes frame;
        FrameReader::Result last;
    };
    Bytes badCheck = known;
    badCheck[12] ^= 1;
    Bytes badEnd = known;
    badEnd.back() = 0x5C;
    // 2236 payload bytes: an address and more data than any block can hold.
    Bytes tooLong{0x5B, 0x04, 0x5E};
    const Bytes overlongBlock = recordFrame(0, patternBytes(1980 + 250, 8));
    const Case cases[] = {
        {"good", known, FrameReader::Result::Frame},
        {"end frame", endFrame(), FrameReader::Result::Frame},
        {"bad checksum", badCheck, FrameReader::Result::Bad},
        {"bad end mark", badEnd, FrameReader::Result::Bad},
        {"block run over by one S-record", overlongBlock, FrameReader::Result::Frame},
        {"longer than a block", tooLong, FrameReader::Result::Bad},
    };
    for (const Case& c : cases) {
        FrameReader reader;
        EXPECT_EQ(reader.push(0x55), FrameReader::Result::Outside) << c.name;
        FrameReader::Result last = FrameReader::Result::Outside;
        for (std::uint8_t b : c.frame) last = reader.push(b);
        EXPECT_EQ(last, c.last) << c.name;
        EXPECT_FALSE(reader.inFrame()) << c.name;
    }
    FrameReader reader;
    for (std::uint8_t b : known) reader.push(b);
    EXPECT_EQ(Bytes(reader.payload().begin(), reader.payload().end()),
              (Bytes{0, 0, 0, 0, 1, 2, 3, 4}));
}

TEST(FlashMemory, ErasesWholeSectorsAndProgramsEachByteOnce) {
    const struct {
        std::uint32_t first, last, sectors;
    } counts[] = {{0x2D004000, 0x2D0FFFFF, 16}, {0, 0, 1},
                  {0xFFFF, 0x10000, 2},         {0x10000, 0x1FFFF, 1},
                  {0, 0xFFFFFFFF, 65536},       {5, 4, 0}};
    for (const auto& c : counts)
        EXPECT_EQ(FlashMemory::sectorCount(c.first, c.last), c.sectors) << std::hex << c.first;

    FlashMemory flash;
    EXPECT_EQ(flash.eraseRange(0x2D004000, 0x2D01FFFF), 2u);
    const Bytes data = patternBytes(100, 2);
    EXPECT_EQ(flash.program(0x2D000000, data), FlashMemory::WriteResult::Ok);
    EXPECT_EQ(flash.program(0x2D000000 + 50, data), FlashMemory::WriteResult::AlreadyProgrammed);
    // Crossing into a sector that was never erased writes nothing at all.
    EXPECT_EQ(flash.program(0x2D01FFF0, data), FlashMemory::WriteResult::NotErased);
    EXPECT_FALSE(flash.isProgrammed(0x2D01FFF0));
    EXPECT_EQ(flash.programmedCount(), 100u);
    EXPECT_EQ(flash.read(0x2D000000 + 99), data[99]);
    EXPECT_EQ(flash.read(0x2D000000 + 100), 0xFF);
    flash.unprogram(0x2D000000, 100);
    EXPECT_EQ(flash.program(0x2D000000 + 50, data), FlashMemory::WriteResult::Ok);
    // A new transfer keeps the contents but writes only where it erased again.
    flash.beginTransfer();
    EXPECT_EQ(flash.read(0x2D000000 + 50), data[0]);
    EXPECT_EQ(flash.program(0x2D000000 + 150, data), FlashMemory::WriteResult::NotErased);
    EXPECT_TRUE(flash.wasErased(0x2D000000));
    EXPECT_FALSE(flash.wasErased(0x2D020000));
    flash.ensureErased(0x2D000000, 0x2D000000);
    EXPECT_TRUE(flash.empty());
    EXPECT_EQ(flash.program(0x2D000000 + 150, data), FlashMemory::WriteResult::Ok);
}

TEST(SRecordWriter, WritesRecordsThatTheStandardToolsAcceptAndRebuild) {
    FlashMemory flash;
    flash.eraseRange(0x2D000000, 0x2D03FFFF);
    const Bytes first = patternBytes(1000, 4);
    const Bytes second = patternBytes(77, 5);
    ASSERT_EQ(flash.program(0x2D004000, first), FlashMemory::WriteResult::Ok);
    // A gap of 0x1000 bytes after the first run, and a run across a sector boundary.
    ASSERT_EQ(flash.program(0x2D004000 + 1000 + 0x1000, second), FlashMemory::WriteResult::Ok);
    ASSERT_EQ(flash.program(0x2D01FFE0, first), FlashMemory::WriteResult::Ok);

    const std::string text = toSRecord(flash, "test");
    EXPECT_EQ(text.rfind("S0", 0), 0u);
    std::size_t lines = 0;
    for (char c : text) lines += c == '\n';
    // 1000 = 31·32 + 8 twice, 77 = 2·32 + 13, plus S0 and S7.
    EXPECT_EQ(lines, 2u * 32u + 3u + 2u);

    char dirTemplate[] = "/tmp/sim-srec-XXXXXX";
    ASSERT_NE(::mkdtemp(dirTemplate), nullptr);
    const std::string dir = dirTemplate;
    ASSERT_TRUE(writeSRecordFile(dir + "/f.srec", flash, "test"));
    EXPECT_EQ(std::system(("srec_cat " + dir + "/f.srec -o /dev/null").c_str()), 0);
    ASSERT_EQ(
        std::system(("objcopy -I srec -O binary " + dir + "/f.srec " + dir + "/f.bin").c_str()), 0);
    std::ifstream in(dir + "/f.bin", std::ios::binary);
    const Bytes rebuilt((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    ASSERT_EQ(rebuilt.size(), 0x2D01FFE0u - 0x2D004000u + first.size());
    for (std::uint32_t a = 0x2D004000; a < 0x2D01FFE0u + first.size(); ++a)
        ASSERT_EQ(rebuilt[a - 0x2D004000], flash.isProgrammed(a) ? flash.read(a) : 0x00)
            << std::hex << a;
    std::filesystem::remove_all(dir);
}

TEST(SimOptionsParsing, DefaultsOverridesAndRefusals) {
    const ParsedOptions defaults = parseSimOptions({});
    ASSERT_TRUE(defaults.error.empty());
    EXPECT_EQ(defaults.options.model, "Talvane");
    EXPECT_EQ(defaults.options.baud, 4800);
    EXPECT_EQ(defaults.options.loaderBaud, 115200);
    EXPECT_EQ(defaults.options.identity().productCode, "033");

    const ParsedOptions set = parseSimOptions(
        {"--model", "KX 524", "--product-code=099", "--baud", "19200", "--loader-baud", "115200",
         "--memory", "1,2,3", "--fault", "reset:3", "--fault", "noise", "--once", "--pace"});
    ASSERT_TRUE(set.error.empty()) << set.error;
    EXPECT_EQ(set.options.identity().productCode, "099");
    EXPECT_EQ(set.options.identity().memory, "1,2,3");
    EXPECT_TRUE(set.options.faults.has(FaultKind::Reset));
    EXPECT_TRUE(set.options.once && set.options.pace);

    const std::vector<std::vector<std::string>> refused = {
        {"--baud", "2400"},
        {"--loader-baud", "9600"},
        {"--model", "Nav"},
        {"--port", "0"},
        {"--product-code", "33"},
        {"--memory", "1,2"},
        {"--memory", "1,x,3"},
        {"--firmware", "3.0*8"},
        {"--erase-ms", "-1"},
        {"--poi-region", "mars"},
        {"--fault", "reset"},
        {"--once=1"},
        {"--checksum-style", "mixed"},
        {"--program-ms", "-1"},
        {"--transcript"},
        {"--frobnicate"},
    };
    for (const auto& args : refused) EXPECT_FALSE(parseSimOptions(args).error.empty()) << args[0];
    EXPECT_TRUE(parseSimOptions({"--help"}).helpRequested);
    // The unit's state, not the rate, tells its firmware from its boot loader.
    EXPECT_TRUE(parseSimOptions({"--baud", "19200", "--loader-baud", "19200"}).error.empty());
}

TEST(UnitIdentity, OlderReceiversCarryTheirNameAtPositions22To32) {
    UnitIdentity identity =
        UnitIdentity::fromModel(*findModel("NAV415/420"), "2.1", PoiRegion::Worldwide);
    identity.productCode = "023";
    const Bytes reply = identity.versionReply();
    const std::string text(reply.begin(), reply.end());
    EXPECT_EQ(text.substr(9, 4), "023,");
    EXPECT_EQ(text.substr(13, 3), "2.1");
    EXPECT_EQ(text.substr(22, 11), "NAV 415/420");
}

TEST(UnitIdentity, PlainVariantFollowsMemoryOrMapHeader) {
    const struct {
        const char* memory;
        const char* mapHeader;
        bool plain;
    } cases[] = {
        {"1,5,0", "1,0,M,2.05,2500000", false}, {"1,0,0", "1,0,M,2.05,2500000", true},
        {"1,5,0", "1,0,M,2.05,2499999", true},  {"1,5,0", "1,0,M,2.05", false},
        {"1,5,0", "1,0,M,2.05,x", false},
    };
    for (const auto& c : cases) {
        UnitIdentity identity =
            UnitIdentity::fromModel(*findModel("Talvane"), "3.08", PoiRegion::Worldwide);
        identity.memory = c.memory;
        identity.mapHeader = c.mapHeader;
        EXPECT_EQ(identity.isPlainVariant(), c.plain) << c.memory << " " << c.mapHeader;
        EXPECT_EQ(identity.uploadModeFor(UploadCommand::BaseMap),
                  c.plain ? UploadMode::Address : UploadMode::Record);
        EXPECT_EQ(identity.uploadModeFor(UploadCommand::DetailMap), UploadMode::Record);
        EXPECT_EQ(identity.uploadModeFor(UploadCommand::Database), UploadMode::Address);
    }
}

}  // namespace
}  // namespace zamel::sim::testing
