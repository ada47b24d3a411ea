#include "sim_rig.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>

namespace zamel::sim::testing {

TempDir::TempDir() {
    char pattern[] = "/tmp/receiver-sim-test-XXXXXX";
    if (::mkdtemp(pattern) != nullptr) path_ = pattern;
}

TempDir::~TempDir() {
    std::error_code ignored;
    if (!path_.empty()) std::filesystem::remove_all(path_, ignored);
}

std::vector<std::uint8_t> readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

bool Simulator::start(std::vector<std::string> arguments) {
    arguments.insert(arguments.begin(), {"--dir", dir.path(), "--erase-ms", "1"});
    return process.start(arguments);
}

void Simulator::enterBootLoader(const std::string& command) {
    ASSERT_TRUE(loader.open(com1(), 4800));
    ASSERT_TRUE(loader.sendCommand(command));
    ASSERT_TRUE(loader.sendCommand(command));
    ASSERT_TRUE(loader.writeByte(0x00));
    // The unit answers nothing while it restarts into its boot loader, and the zero
    // byte crosses the line before the rate changes.
    EXPECT_FALSE(loader.readByte(50).has_value());
    ASSERT_TRUE(loader.reopen(115200));
    ASSERT_TRUE(loader.waitFor(0xAA, 3000));  // seen by the protocol probe
    ASSERT_TRUE(loader.waitFor(0xAA, 3000));  // seen by the engine
    ASSERT_TRUE(loader.writeByte(0x55));
    ASSERT_EQ(loader.readByte(kReplyMs), std::optional<std::uint8_t>(0x55));
}

void Simulator::greetAtLoaderRate() {
    ASSERT_TRUE(loader.open(com1(), 115200));
    ASSERT_TRUE(loader.waitFor(0xAA, 3000));
    ASSERT_TRUE(loader.writeByte(0x55));
    ASSERT_EQ(loader.readByte(kReplyMs), std::optional<std::uint8_t>(0x55));
}

void Simulator::expectBytes(const std::vector<std::uint8_t>& expected, const char* what) {
    for (std::size_t i = 0; i < expected.size(); ++i)
        ASSERT_EQ(loader.readByte(kReplyMs), std::optional<std::uint8_t>(expected[i]))
            << what << " byte " << i;
}

}  // namespace zamel::sim::testing
