#include "work_dir.h"

#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>

namespace zamel::testing {

namespace {
// Under /tmp on both platforms: a Windows test under Wine names the same
// directory with the same path as the programs of the machine it runs on.
constexpr const char* kTempRoot = "/tmp";
constexpr int kNameTries = 100;
}  // namespace

TempWorkDir::TempWorkDir() {
    std::random_device seed;
    std::mt19937 names(seed());
    for (int i = 0; i < kNameTries && path_.empty(); ++i) {
        const std::string candidate =
            std::string(kTempRoot) + "/zt-test-" + std::to_string(names() % 100'000'000);
        std::error_code ec;
        if (std::filesystem::create_directory(candidate, ec)) path_ = candidate;
    }
    previous_ = std::filesystem::current_path().string();
    if (!path_.empty()) std::filesystem::current_path(path_);
}

TempWorkDir::~TempWorkDir() {
    std::error_code ec;
    std::filesystem::current_path(previous_, ec);
    if (!path_.empty()) std::filesystem::remove_all(path_, ec);
}

std::vector<std::uint8_t> readWholeFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in),
                                     std::istreambuf_iterator<char>());
}

bool writeWholeFile(const std::string& path, const std::vector<std::uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out);
}

bool writeWholeFile(const std::string& path, const std::string& text) {
    return writeWholeFile(path, std::vector<std::uint8_t>(text.begin(), text.end()));
}

}  // namespace zamel::testing
