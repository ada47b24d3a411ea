// Each breach of the protocol a loader can commit, tried on the receiver-sim
// program beside the correct step in its place: the breach is reported as a
// protocol error with the unit's state and the bytes, on standard error and in the
// transcript, the unit answers as a real one would, and --once ends the program
// with 1; the correct step is answered and reported as nothing.

#include <gtest/gtest.h>
#include <signal.h>

#include <functional>
#include <string>
#include <vector>

#include "loader_frames.h"
#include "sim_rig.h"

namespace zamel::sim::testing {
namespace {

using Bytes = std::vector<std::uint8_t>;
using Step = std::function<void(Simulator&)>;

constexpr int kQuietMs = 300;

// Record n of a small map: 64 data bytes, a frame of 74.
Bytes mapRecord(std::uint32_t number) { return recordFrame(number, patternBytes(64, number + 1)); }

Bytes text(const std::string& s) { return {s.begin(), s.end()}; }

Step both(Step first, Step second) {
    return [=](Simulator& sim) {
        ASSERT_NO_FATAL_FAILURE(first(sim));
        second(sim);
    };
}

Step expect(Bytes answer) {
    return [=](Simulator& sim) { sim.expectBytes(answer, "answer"); };
}

// Writes the bytes and reads the answer they get.
Step exchange(Bytes out, Bytes answer) {
    return both([=](Simulator& sim) { ASSERT_TRUE(sim.loader.write(out)); }, expect(answer));
}

// Writes bytes the unit loses: it answers no more than what was due before them.
Step lost(Bytes out, Bytes dueBefore = {}) {
    return both(exchange(out, dueBefore), [](Simulator& sim) {
        EXPECT_FALSE(sim.loader.readByte(kQuietMs).has_value()) << "the bytes were answered";
    });
}

// A map unit powered on in its boot loader, greeted and asked to program; record
// 0 sent behind the request and acknowledged `acks` times.
Step mapRecordZeroSent(std::size_t acks) {
    Bytes request{0x6A};
    const Bytes record = mapRecord(0);
    request.insert(request.end(), record.begin(), record.end());
    return both([](Simulator& sim) { sim.greetAtLoaderRate(); },
                exchange(request, Bytes(acks, 0x55)));
}

void openAtFirmwareRate(Simulator& sim) { ASSERT_TRUE(sim.loader.open(sim.com1(), 4800)); }

Step twoUploadCommands() {
    Bytes twice = sentence("CMD,DBUPLOAD");
    const Bytes again = sentence("CMD,DBUPLOAD");
    twice.insert(twice.end(), again.begin(), again.end());
    return both(openAtFirmwareRate, exchange(twice, {}));
}

// The zero byte crosses the line before the port changes rate (a reopen would
// drop it unsent); the unit answers nothing while it restarts.
void zeroByteThenLoaderRate(Simulator& sim) {
    ASSERT_TRUE(sim.loader.writeByte(0x00));
    EXPECT_FALSE(sim.loader.readByte(50).has_value());
    ASSERT_TRUE(sim.loader.reopen(115200));
}

void greetingArrives(Simulator& sim) { EXPECT_TRUE(sim.loader.waitFor(0xAA, 3000)); }

void versionAnswered(Simulator& sim) {
    ASSERT_TRUE(sim.loader.sendCommand("CMD,VERSION"));
    EXPECT_TRUE(sim.loader.readSentence(Simulator::kReplyMs).has_value());
}

struct BreachCase {
    const char* name;
    std::vector<std::string> arguments;
    Step prepare;
    Step correct;  // the right next step, its answer checked
    Step breach;   // the wrong one, with what the unit answers to it
    const char* report;
};

std::vector<BreachCase> breachCases() {
    const std::vector<std::string> mapUnit = {"--start-in-loader", "record"};
    const std::vector<std::string> slowMapUnit = {"--start-in-loader", "record", "--program-ms",
                                                  "300"};
    const Step handOver = both(zeroByteThenLoaderRate, greetingArrives);
    return {
        {"record number skipped in record mode", mapUnit, mapRecordZeroSent(2),
         exchange(mapRecord(1), {0x55, 0x55}), exchange(mapRecord(2), {0x81}),
         "record number 2 where record number 1 belongs (state BootLoader/Records, 74 bytes: 5B "
         "00 22 00 00 00 02"},
        {"next record before the second acknowledgement", slowMapUnit, mapRecordZeroSent(1),
         both(expect({0x55}), exchange(mapRecord(1), {0x55})), lost(mapRecord(1), {0x55}),
         "bytes sent while the unit was programming record 1 (state BootLoader/Records, 74 "
         "bytes: 5B 00 22 00 00 00 01"},
        {"end frame before the second acknowledgement", slowMapUnit, mapRecordZeroSent(1),
         both(expect({0x55}), exchange(endFrame(), {0x55, 0x8E, 0x00, 0x00, 0x55})),
         lost(endFrame(), {0x55}),
         "bytes sent while the unit was programming record 1 (state BootLoader/Records, 6 "
         "bytes: 5B 00 00 00 00 5D)"},
        {"upload command a third time",
         {"--restart-ms", "100"},
         twoUploadCommands(),
         handOver,
         exchange(sentence("CMD,DBUPLOAD"), {}),
         "upload command sent again after the two that hand over (state Firmware, 22 bytes: 24 "
         "50 51 56 58 43"},
        {"boot-loader bytes at once after the zero byte",
         {"--restart-ms", "1000"},
         both(twoUploadCommands(), zeroByteThenLoaderRate),
         both(greetingArrives, exchange({0x55}, {0x55})),
         lost({0x55}),
         "bytes sent while the unit was restarting into its boot loader after the zero byte "
         "(state BootLoader/Restarting, 1 byte: 55)"},
        {"two stop bits and hardware flow control",
         {},
         openAtFirmwareRate,
         versionAnswered,
         both([](Simulator& sim) { ASSERT_TRUE(sim.loader.setStopBitsAndFlowControl(true, true)); },
              versionAnswered),
         "bytes sent with the line set to 8N2, RTS/CTS flow control; the unit uses 8N1 without "
         "flow control (state Firmware, "},
        {"lower-case checksum digits",
         {"--restart-ms", "100"},
         both(openAtFirmwareRate, exchange(sentence("CMD,DBUPLOAD"), {})),
         both(exchange(text("$PQVXCMD,DBUPLOAD*6C\r\n"), {}), handOver),
         exchange(text("$PQVXCMD,DBUPLOAD*6c\r\n"), {}),
         "checksum digits in lower case (state Firmware, 21 bytes: 24 50 51 56 58 43 4D 44 2C 44 "
         "42 55 50 4C 4F 41 ...)"},
        {"command ended with CR alone",
         {},
         openAtFirmwareRate,
         versionAnswered,
         lost(text("$PQVXCMD,VERSION*33\r")),
         "sentence ended with CR alone, no LF (state Firmware, 20 bytes: "},
        {"cold start in record mode", mapUnit, mapRecordZeroSent(2),
         exchange(mapRecord(1), {0x55, 0x55}), exchange({0x69}, {}),
         "cold start 0x69 in record mode, where none belongs (state BootLoader/Records, 1 byte: "
         "69)"},
    };
}

TEST(ProtocolBreach, IsReportedAndEndsAOnceRunWhileTheCorrectStepPasses) {
    for (const BreachCase& c : breachCases()) {
        SCOPED_TRACE(c.name);
        std::vector<std::string> arguments = c.arguments;
        arguments.push_back("--once");
        {
            Simulator sim;
            ASSERT_TRUE(sim.start(arguments));
            ASSERT_NO_FATAL_FAILURE(c.prepare(sim));
            ASSERT_NO_FATAL_FAILURE(c.correct(sim));
            EXPECT_EQ(sim.process.stop(SIGTERM), 0);
            EXPECT_EQ(sim.process.errorOutput().find("protocol error"), std::string::npos)
                << sim.process.errorOutput();
        }
        Simulator sim;
        const std::string transcript = sim.dir.file("transcript.txt");
        arguments.insert(arguments.end(), {"--transcript", transcript});
        ASSERT_TRUE(sim.start(arguments));
        ASSERT_NO_FATAL_FAILURE(c.prepare(sim));
        ASSERT_NO_FATAL_FAILURE(c.breach(sim));
        EXPECT_EQ(sim.process.waitExit(15000), 1);
        const std::string expected = std::string("receiver-sim: protocol error: ") + c.report;
        EXPECT_NE(sim.process.errorOutput().find(expected), std::string::npos)
            << sim.process.errorOutput();
        const Bytes log = readFile(transcript);
        EXPECT_NE(std::string(log.begin(), log.end()).find(expected.substr(14)), std::string::npos);
    }
}

}  // namespace
}  // namespace zamel::sim::testing
