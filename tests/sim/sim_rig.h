#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "scripted_loader.h"
#include "sim_process.h"

namespace zamel::sim::testing {

// A fresh temporary directory, removed with its contents.
class TempDir {
  public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    std::string file(const std::string& name) const { return path_ + "/" + name; }
    const std::string& path() const { return path_; }

  private:
    std::string path_;
};

std::vector<std::uint8_t> readFile(const std::string& path);

// The receiver-sim program on COM1 of a temporary directory (erasing a sector in
// 1 ms) and the scripted loader that talks to it.
struct Simulator {
    static constexpr int kReplyMs = 2000;

    TempDir dir;
    SimProcess process;
    ScriptedLoader loader;

    bool start(std::vector<std::string> arguments);
    std::string com1() const { return dir.file("COM1"); }

    // Upload command, zero byte, then the loader rate and the greeting.
    void enterBootLoader(const std::string& command);
    // For a unit started in its boot loader: the loader rate, greeting and answer.
    void greetAtLoaderRate();
    // Reads the expected bytes one by one, failing the test at the first other one.
    void expectBytes(const std::vector<std::uint8_t>& expected, const char* what);
};

}  // namespace zamel::sim::testing
