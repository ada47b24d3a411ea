// The receiver-sim program on a real pseudo-terminal, driven by a scripted loader.

#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <sstream>

#include "loader_frames.h"
#include "scripted_loader.h"
#include "sim_process.h"
#include "sim_rig.h"

namespace zamel::sim::testing {
namespace {

using Bytes = std::vector<std::uint8_t>;
namespace fs = std::filesystem;

constexpr std::uint32_t kCodeBase = 0x2D004000;
constexpr std::size_t kMaxRecord = 1980;
constexpr int kReplyMs = Simulator::kReplyMs;

bool writeFile(const std::string& path, const Bytes& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out);
}

int runTool(const std::string& command) { return std::system((command + " 2>&1").c_str()); }

// A reply is good when its two hex digits are the XOR of the bytes between "$" and "*".
bool hasGoodChecksum(const std::string& reply) {
    const auto star = reply.rfind('*');
    if (star == std::string::npos || star + 5 != reply.size()) return false;
    unsigned sum = 0;
    for (std::size_t i = 1; i < star; ++i) sum ^= static_cast<unsigned char>(reply[i]);
    return std::strtoul(reply.substr(star + 1, 2).c_str(), nullptr, 16) == sum;
}

// Field `index` (0-based) of a comma-separated text.
std::string field(const std::string& text, int index) {
    std::size_t start = 0;
    for (int i = 0; i < index; ++i) {
        start = text.find(',', start);
        if (start == std::string::npos) return {};
        ++start;
    }
    return text.substr(start, text.find_first_of(",*", start) - start);
}

// The identification rules a loader applies to the three replies.
std::string identify(const std::string& version, const std::string& memory,
                     const std::string& mapHeader) {
    if (version.size() < 13 || version.compare(0, 9, "$PQVXVER,") != 0 || version[12] != ',')
        return "unsupported";
    const std::string code = version.substr(9, 3);
    struct Row {
        const char* code;
        const char* name;
    };
    const Row rows[] = {{"024", "NAV415/420"}, {"030", "PLT430"},  {"035", "Geodra2"},
                        {"033", "Talvane"},    {"037", "Trailix"}, {"036", "Trailix Map/Pro"},
                        {"038", "KX 524"}};
    if (code == "023")
        return version.size() > 32 && version.substr(22, 11) == "NAV 415/420" ? "NAV415/420"
                                                                              : "unsupported";
    std::string name = "unsupported";
    for (const Row& row : rows)
        if (code == row.code) name = row.name;
    if (name == "Talvane") {
        const std::string mapPayload = mapHeader.substr(9);
        if (field(memory.substr(9), 1) == "0" ||
            std::strtoul(field(mapPayload, 4).c_str(), nullptr, 10) < 2'500'000)
            name = "Talvane GPS";
    }
    return name;
}

TEST(ReceiverSimProgram, EachModelIsIdentifiedAsItself) {
    struct Case {
        std::vector<std::string> arguments;
        std::string expected;
    };
    const Case cases[] = {
        {{"--model", "NAV415/420"}, "NAV415/420"},
        {{"--model", "NAV415/420", "--product-code", "023"}, "NAV415/420"},
        {{"--model", "PLT430"}, "PLT430"},
        {{"--model", "Geodra2"}, "Geodra2"},
        {{"--model", "Talvane"}, "Talvane"},
        {{"--model", "Talvane GPS"}, "Talvane GPS"},
        {{"--model", "Trailix"}, "Trailix"},
        {{"--model", "Trailix Map/Pro"}, "Trailix Map/Pro"},
        {{"--model", "KX 524"}, "KX 524"},
        {{"--model", "Talvane", "--memory", "8388608,0,0"}, "Talvane GPS"},
        {{"--model", "PLT430", "--product-code", "099"}, "unsupported"},
    };
    for (const Case& c : cases) {
        Simulator sim;
        ASSERT_TRUE(sim.start(c.arguments)) << c.expected;
        ASSERT_TRUE(sim.loader.open(sim.com1(), 4800));
        std::string replies[3];
        const char* commands[] = {"CMD,VERSION", "CMD,MEMORY", "CMD,MPH"};
        for (int i = 0; i < 3; ++i) {
            ASSERT_TRUE(sim.loader.sendCommand(commands[i]));
            const auto reply = sim.loader.readSentence(kReplyMs);
            ASSERT_TRUE(reply.has_value()) << c.expected << " " << commands[i];
            EXPECT_TRUE(hasGoodChecksum(*reply)) << *reply;
            replies[i] = reply->substr(0, reply->size() - 2);
        }
        EXPECT_EQ(identify(replies[0], replies[1], replies[2]), c.expected) << replies[0];
    }
}

TEST(ReceiverSimProgram, PoiHeaderDescribesTheChosenRegion) {
    Simulator sim;
    ASSERT_TRUE(sim.start({"--model", "NAV415/420", "--poi-region", "europe-africa"}));
    ASSERT_TRUE(sim.loader.open(sim.com1(), 4800));
    ASSERT_TRUE(sim.loader.sendCommand("CMD,PIH"));
    const auto reply = sim.loader.readSentence(kReplyMs);
    ASSERT_TRUE(reply.has_value());
    ASSERT_EQ(reply->size(), 9u + 128u + 5u);
    EXPECT_TRUE(hasGoodChecksum(*reply));
    EXPECT_EQ(reply->substr(9 + 3, 48), ",    NAV 420    , EUROPE-AFRICA ,CITIES-NAVAIDS ");
}

TEST(ReceiverSimProgram, StaysSilentAtAnotherRateAndGarblesOnRequest) {
    Simulator quiet;
    ASSERT_TRUE(quiet.start({"--baud", "9600"}));
    ASSERT_TRUE(quiet.loader.open(quiet.com1(), 4800));
    ASSERT_TRUE(quiet.loader.sendCommand("CMD,VERSION"));
    EXPECT_TRUE(quiet.loader.readUntilQuiet(300).empty());
    ASSERT_TRUE(quiet.loader.reopen(9600));
    ASSERT_TRUE(quiet.loader.sendCommand("CMD,VERSION"));
    EXPECT_TRUE(quiet.loader.readSentence(kReplyMs).has_value());

    Simulator garbled;
    ASSERT_TRUE(garbled.start({"--fault", "garble"}));
    ASSERT_TRUE(garbled.loader.open(garbled.com1(), 9600));
    ASSERT_TRUE(garbled.loader.sendCommand("CMD,VERSION"));
    const Bytes garbage = garbled.loader.readUntilQuiet(300);
    EXPECT_FALSE(garbage.empty());
    EXPECT_EQ(std::count(garbage.begin(), garbage.end(), '$'), 0);
}

TEST(ReceiverSimProgram, AddressModeUploadLandsInTheFlashFileByteForByte) {
    Simulator sim;
    const std::string flashOut = sim.dir.file("flash.srec");
    ASSERT_TRUE(sim.start({"--model", "Talvane", "--flash-out", flashOut, "--once"}));
    const Bytes image = patternBytes(2 * kMaxRecord + 1040, 42);
    sim.enterBootLoader("CMD,DBUPLOAD");

    ASSERT_TRUE(sim.loader.writeByte(0x6A));
    sim.expectBytes({0x55}, "erase request");
    // The erase ends at the image's last byte, as for an S-record code file.
    const std::uint32_t eraseEnd = kCodeBase + static_cast<std::uint32_t>(image.size()) - 1;
    ASSERT_TRUE(sim.loader.write(eraseFrame(kCodeBase, eraseEnd)));
    sim.expectBytes({0x55, 0x8F, 0x55}, "erase");
    ASSERT_TRUE(sim.loader.writeByte(0x69));
    sim.expectBytes({0x55}, "cold start");
    for (std::size_t offset = 0; offset < image.size(); offset += kMaxRecord) {
        const std::size_t n = std::min(kMaxRecord, image.size() - offset);
        ASSERT_TRUE(
            sim.loader.write(recordFrame(kCodeBase + static_cast<std::uint32_t>(offset),
                                         std::span<const std::uint8_t>(image).subspan(offset, n))));
        sim.expectBytes({0x55, 0x55}, "record");
    }
    ASSERT_TRUE(sim.loader.write(endFrame()));
    sim.expectBytes({0x55}, "end");
    EXPECT_EQ(sim.process.waitExit(5000), 0);

    ASSERT_EQ(runTool("srec_cat " + flashOut + " -o /dev/null"), 0);
    const std::string back = sim.dir.file("back.bin");
    ASSERT_EQ(runTool("objcopy -I srec -O binary " + flashOut + " " + back), 0);
    EXPECT_EQ(readFile(back), image);
    const Bytes flashText = readFile(flashOut);
    const std::string text(flashText.begin(), flashText.end());
    EXPECT_EQ(text.rfind("S0", 0), 0u);
    EXPECT_NE(text.find("\nS3", 0), std::string::npos);
    EXPECT_NE(text.find("\nS705"
                        "2D004000"),
              std::string::npos);
}

TEST(ReceiverSimProgram, RecordModeMapLandsContiguouslyAndTheFirmwareAnswersAfter) {
    Simulator sim;
    const std::string flashOut = sim.dir.file("map.srec");
    ASSERT_TRUE(sim.start({"--model", "Geodra2", "--flash-out", flashOut}));
    const Bytes map = patternBytes(3 * kMaxRecord + 500, 9);
    ASSERT_TRUE(writeFile(sim.dir.file("map.img"), map));
    sim.enterBootLoader("CMD,MPUPLOAD,1");

    ASSERT_TRUE(sim.loader.writeByte(0x6A));
    std::uint32_t counter = 0;
    for (std::size_t offset = 0; offset < map.size(); offset += kMaxRecord, ++counter) {
        const std::size_t n = std::min(kMaxRecord, map.size() - offset);
        ASSERT_TRUE(sim.loader.write(
            recordFrame(counter, std::span<const std::uint8_t>(map).subspan(offset, n))));
        sim.expectBytes({0x55, 0x55}, "record");
    }
    ASSERT_TRUE(sim.loader.write(endFrame()));
    // Checksum 0: every byte landed.
    const auto size = static_cast<std::uint32_t>(map.size());
    sim.expectBytes({0x55, 0x8E, 0x00, 0x00, 0x55, 0x8E, static_cast<std::uint8_t>(size >> 24),
                     static_cast<std::uint8_t>(size >> 16), 0x8E,
                     static_cast<std::uint8_t>(size >> 8), static_cast<std::uint8_t>(size), 0x55},
                    "end report");

    // The flash file is written once the transfer is over; the firmware runs again.
    ASSERT_TRUE(sim.loader.reopen(4800));
    ASSERT_TRUE(sim.loader.sendCommand("CMD,VERSION"));
    const auto version = sim.loader.readSentence(kReplyMs);
    ASSERT_TRUE(version.has_value());
    EXPECT_EQ(version->rfind("$PQVXVER,035,", 0), 0u);

    const std::string back = sim.dir.file("back.bin");
    ASSERT_EQ(runTool("objcopy -I srec -O binary " + flashOut + " " + back), 0);
    EXPECT_EQ(readFile(back), map);
}

TEST(ReceiverSimProgram, StartsInItsBootLoaderWhenAskedAndGreetsOnlyAtTheLoaderRate) {
    Simulator sim;
    const std::string flashOut = sim.dir.file("detail.srec");
    ASSERT_TRUE(sim.start({"--start-in-loader", "record", "--loader-baud", "19200", "--flash-out",
                           flashOut, "--once"}));
    ASSERT_TRUE(sim.loader.open(sim.com1(), 115200));
    EXPECT_TRUE(sim.loader.readUntilQuiet(1500).empty());
    ASSERT_TRUE(sim.loader.reopen(19200));
    ASSERT_TRUE(sim.loader.waitFor(0xAA, 3000));
    ASSERT_TRUE(sim.loader.writeByte(0x55));
    sim.expectBytes({0x55}, "handshake");
    const Bytes map = patternBytes(600, 77);
    Bytes requestAndRecord{0x6A};
    const Bytes record = recordFrame(0, map);
    requestAndRecord.insert(requestAndRecord.end(), record.begin(), record.end());
    ASSERT_TRUE(sim.loader.write(requestAndRecord));
    sim.expectBytes({0x55, 0x55}, "record");
    ASSERT_TRUE(sim.loader.write(endFrame()));
    // 0x55, checksum word, 0x55, two count words, 0x55.
    ASSERT_TRUE(sim.loader.waitFor(0x55, kReplyMs));
    const Bytes report = sim.loader.readUntilQuiet(500);
    ASSERT_EQ(report.size(), 11u);
    EXPECT_EQ(report[3], 0x55);
    EXPECT_EQ(report[10], 0x55);
    EXPECT_EQ(report[9], 600 & 0xFF);
    EXPECT_EQ(sim.process.waitExit(5000), 0);
    const std::string back = sim.dir.file("back.bin");
    ASSERT_EQ(runTool("objcopy -I srec -O binary " + flashOut + " " + back), 0);
    EXPECT_EQ(readFile(back), map);
}

// An old NAV 415/420 takes code and database in one transfer (record 3, the
// database's first, asks for the code's last again), then waits in its boot loader
// for its boot block. The dump holds the whole flash: what the first transfer wrote
// outside the second's erase stays. --once ends the run when the unit would start
// its firmware, with 1 when it cannot.
TEST(ReceiverSimProgram, OldNavDumpsItsWholeFlashAndJudgesItsBootBlock) {
    const struct {
        bool bootBlockPass, bootBlockWritten;
        const char* problem;
    } cases[] = {
        {true, true, nullptr},
        {true, false, "its boot block at 0x70000 was erased and not written again"},
        {false, true, "no transfer erasing from 0x70000 reloaded its boot block"},
    };
    const Bytes code = patternBytes(300, 5), boot = patternBytes(200, 6);
    const Bytes database = patternBytes(100, 7), twoAcks{0x55, 0x55};
    for (const auto& c : cases) {
        Simulator sim;
        const std::string dump = sim.dir.file("dump.srec");
        ASSERT_TRUE(sim.start({"--model", "NAV415/420", "--firmware", "2.05", "--restart-ms", "100",
                               "--flash-dump", dump, "--once", "--fault", "rec-number:3@1"}));
        sim.enterBootLoader("CMD,DBUPLOAD");
        const auto record = [&sim](std::uint32_t address, const Bytes& data, const Bytes& answer) {
            ASSERT_TRUE(sim.loader.write(recordFrame(address, data)));
            sim.expectBytes(answer, "record");
        };
        for (const std::uint32_t first : {0x00000u, 0x70000u}) {
            if (first != 0) {
                if (!c.bootBlockPass) break;
                ASSERT_TRUE(sim.loader.waitFor(0xAA, 3000)) << "back in its boot loader";
                ASSERT_TRUE(sim.loader.writeByte(0x55));
                sim.expectBytes({0x55}, "handshake");
            }
            ASSERT_TRUE(sim.loader.writeByte(0x6A));
            sim.expectBytes({0x55}, "erase request");
            ASSERT_TRUE(sim.loader.write(eraseFrame(first, first == 0 ? 0x1FFFFF : 0x9FFFF)));
            ASSERT_TRUE(sim.loader.waitFor(0x55, kReplyMs) && sim.loader.waitFor(0x55, kReplyMs));
            ASSERT_TRUE(sim.loader.writeByte(0x69));
            sim.expectBytes({0x55}, "cold start");
            if (first == 0) {
                record(0, code, twoAcks);
                record(0x70000, boot, twoAcks);
                record(0xA0000, database, {0x55, 0x89, 0x00, 0x00, 0x00, 0x02});
                record(0x70000, boot, twoAcks);
                record(0xA0000, database, twoAcks);
            } else if (c.bootBlockWritten) {
                record(0x70000, boot, twoAcks);
            }
            ASSERT_TRUE(sim.loader.write(endFrame()));
            sim.expectBytes({0x55}, "end");
        }
        if (c.bootBlockPass) {
            EXPECT_EQ(sim.process.waitExit(5000), c.problem == nullptr ? 0 : 1);
        } else {
            EXPECT_EQ(sim.process.stop(SIGTERM), 1);
        }
        const std::string errors = sim.process.errorOutput();
        EXPECT_EQ(errors.find("cannot start") == std::string::npos, c.problem == nullptr);
        if (c.problem != nullptr) {
            EXPECT_NE(errors.find(c.problem), std::string::npos) << errors;
        }

        Bytes expected(0xA0000 + database.size(), 0x00);
        std::copy(code.begin(), code.end(), expected.begin());
        if (c.bootBlockWritten) std::copy(boot.begin(), boot.end(), expected.begin() + 0x70000);
        std::copy(database.begin(), database.end(), expected.begin() + 0xA0000);
        const std::string back = sim.dir.file("back.bin");
        ASSERT_EQ(runTool("objcopy -I srec -O binary " + dump + " " + back), 0);
        EXPECT_TRUE(readFile(back) == expected) << (c.problem ? c.problem : "bootable");
    }
}

// Without early answers an answer leaves no sooner than its question's time on the
// line, a bound the simulator guarantees; with them it leaves as soon as it is read,
// long before two records' time at 19200 baud has passed.
TEST(ReceiverSimProgram, EarlyAnswersLeaveWithoutTheQuestionsTimeOnTheLine) {
    const Bytes map = patternBytes(2 * kMaxRecord, 8);
    Bytes records{0x6A};
    for (std::uint32_t n = 0; n < 2; ++n) {
        const Bytes frame = recordFrame(n, std::span(map).subspan(n * kMaxRecord, kMaxRecord));
        records.insert(records.end(), frame.begin(), frame.end());
    }
    for (const bool early : {false, true}) {
        Simulator sim;
        const std::string transcript = sim.dir.file("transcript.txt");
        std::vector<std::string> arguments = {
            "--start-in-loader", "record", "--loader-baud", "19200",
            "--program-ms",      "0",      "--transcript",  transcript};
        if (early) arguments.push_back("--early-answers");
        ASSERT_TRUE(sim.start(arguments));
        ASSERT_TRUE(sim.loader.open(sim.com1(), 19200));
        ASSERT_TRUE(sim.loader.waitFor(0xAA, 3000));
        ASSERT_TRUE(sim.loader.writeByte(0x55));
        sim.expectBytes({0x55}, "handshake");
        ASSERT_TRUE(sim.loader.write(records));
        sim.expectBytes({0x55, 0x55, 0x55, 0x55}, "records");
        EXPECT_EQ(sim.process.stop(SIGTERM), 0);

        const Bytes log = readFile(transcript);
        std::istringstream lines(std::string(log.begin(), log.end()));
        double requestIn = -1, lastOut = -1;
        for (std::string line; std::getline(lines, line);) {
            std::istringstream fields(line);
            double seconds = 0;
            std::string direction, hex;
            if (!(fields >> seconds >> direction >> hex)) continue;
            if (direction == "in" && hex == "6A" && requestIn < 0) requestIn = seconds;
            if (direction == "out") lastOut = seconds;
        }
        ASSERT_GE(requestIn, 0);
        const double lineSeconds = static_cast<double>(records.size() - 1) * 10 / 19200;
        EXPECT_EQ(lastOut < requestIn + lineSeconds - 1e-6, early)
            << "request in at " << requestIn << ", last answer out at " << lastOut;
    }
}

TEST(ReceiverSimProgram, UnplugClosesTheLineAndRemovesTheLink) {
    Simulator sim;
    ASSERT_TRUE(sim.start({"--fault", "unplug:1"}));
    sim.enterBootLoader("CMD,DBUPLOAD");
    ASSERT_TRUE(sim.loader.writeByte(0x6A));
    sim.expectBytes({0x55}, "erase request");
    ASSERT_TRUE(sim.loader.write(eraseFrame(kCodeBase, 0x2D00FFFF)));
    sim.expectBytes({0x55, 0x8F, 0x55}, "erase");
    ASSERT_TRUE(sim.loader.writeByte(0x69));
    sim.expectBytes({0x55}, "cold start");
    const Bytes data = patternBytes(100, 1);
    ASSERT_TRUE(sim.loader.write(recordFrame(kCodeBase, data)));
    sim.expectBytes({0x55, 0x55}, "record");
    EXPECT_TRUE(sim.loader.waitHangUp(3000));
    EXPECT_EQ(sim.process.waitExit(5000), 1);
    EXPECT_FALSE(fs::exists(fs::symlink_status(sim.com1())));
}

TEST(ReceiverSimProgram, OnceExitsWithFailureAfterAFailedTransfer) {
    Simulator sim;
    ASSERT_TRUE(sim.start({"--once", "--fault", "fail-erase"}));
    sim.enterBootLoader("CMD,DBUPLOAD");
    ASSERT_TRUE(sim.loader.writeByte(0x6A));
    sim.expectBytes({0x55}, "erase request");
    ASSERT_TRUE(sim.loader.write(eraseFrame(kCodeBase, 0x2D00FFFF)));
    sim.expectBytes({0x84}, "erase");
    EXPECT_EQ(sim.process.waitExit(5000), 1);
}

TEST(ReceiverSimProgram, StopSignalsEndCleanlyAndRemoveTheLink) {
    for (int signal : {SIGTERM, SIGINT}) {
        Simulator sim;
        ASSERT_TRUE(sim.start({"--port", "3"}));
        const std::string link = sim.dir.file("COM3");
        EXPECT_EQ(sim.process.readyLine(), "ready COM3 " + fs::read_symlink(link).string());
        EXPECT_EQ(sim.process.stop(signal), 0);
        EXPECT_FALSE(fs::exists(fs::symlink_status(link)));
    }
}

TEST(ReceiverSimProgram, TranscriptRecordsBothDirectionsWithState) {
    Simulator sim;
    const std::string transcript = sim.dir.file("transcript.txt");
    ASSERT_TRUE(sim.start({"--transcript", transcript, "--pace"}));
    ASSERT_TRUE(sim.loader.open(sim.com1(), 4800));
    ASSERT_TRUE(sim.loader.sendCommand("CMD,VERSION"));
    ASSERT_TRUE(sim.loader.readSentence(kReplyMs).has_value());
    EXPECT_EQ(sim.process.stop(SIGTERM), 0);
    const Bytes log = readFile(transcript);
    const std::string text(log.begin(), log.end());
    EXPECT_NE(text.find(" in   24   4800 Firmware"), std::string::npos) << text;
    EXPECT_NE(text.find(" out  24   4800 Firmware"), std::string::npos) << text;
    EXPECT_NE(text.find("# line rate 4800"), std::string::npos) << text;

    // Paced, byte k of the reply leaves no sooner than k byte times after the first:
    // a lower bound the pacing guarantees, not a measurement of speed.
    std::vector<double> sentAt;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
        std::istringstream fields(line);
        double seconds = 0;
        std::string direction;
        if (fields >> seconds >> direction && direction == "out") sentAt.push_back(seconds);
    }
    ASSERT_EQ(sentAt.size(), sentence("VER,033,3.08").size());
    const double byteSeconds = 10.0 / 4800;
    for (std::size_t k = 1; k < sentAt.size(); ++k)
        EXPECT_GE(sentAt[k] - sentAt[0], k * byteSeconds - 1e-6) << k;

    // The question's CR crossed the line before the answer's first byte left.
    const auto cr = text.find(" in   0D ");
    ASSERT_NE(cr, std::string::npos);
    const double crArrived = std::stod(text.substr(text.rfind('\n', cr) + 1, cr));
    EXPECT_GE(sentAt[0], crArrived);
}

TEST(ReceiverSimProgram, HelpDocumentsEveryOptionAndBadOptionsAreRefused) {
    const std::string program = RECEIVER_SIM_PATH;
    std::unique_ptr<FILE, int (*)(FILE*)> help(::popen((program + " --help").c_str(), "r"),
                                               ::pclose);
    ASSERT_NE(help, nullptr);
    std::string text;
    char buffer[512];
    while (std::fgets(buffer, sizeof buffer, help.get()) != nullptr) text += buffer;
    const char* const kOptions[] = {
        "--dir",          "--port",       "--model",      "--product-code",   "--firmware",
        "--memory",       "--map-header", "--poi-region", "--baud",           "--loader-baud",
        "--flash-out",    "--pace",       "--erase-ms",   "--fault",          "--transcript",
        "--once",         "--program-ms", "--restart-ms", "--checksum-style", "--flash-dump",
        "--early-answers"};
    const char* const kFaults[] = {"resend:K:CODE",     "fail-erase",     "fail-write:K",
                                   "reset:K",           "bad-cmd",        "rec-number:K",
                                   "bad-type",          "debug-echo",     "drop-ack:K",
                                   "silent-loader",     "unplug:K",       "noise",
                                   "late-greeting:S",   "garble",         "prog-resend:K:CODE",
                                   "bad-checksum",      "greet77",        "rec-wait",
                                   "early-debug",       "lost-end-ack",   "lose-ack:K:first",
                                   "lose-ack:K:second", "lose-ack:erase", "FAULT@T"};
    for (const char* option : kOptions) EXPECT_NE(text.find(option), std::string::npos) << option;
    for (const char* fault : kFaults) EXPECT_NE(text.find(fault), std::string::npos) << fault;
    EXPECT_EQ(runTool(program + " --baud 2400 >/dev/null"), 2 << 8);
    EXPECT_EQ(runTool(program + " --model Nonesuch >/dev/null"), 2 << 8);
}

}  // namespace
}  // namespace zamel::sim::testing
