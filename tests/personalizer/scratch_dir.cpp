#include "scratch_dir.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>

namespace tagwright::testing {

ScratchDir::ScratchDir() {
    std::random_device seed;
    std::mt19937 names(seed());
    for (int tries = 0; tries < 100 && path_.empty(); ++tries) {
        const std::filesystem::path candidate =
            std::filesystem::temp_directory_path() /
            ("tagwright-" + std::to_string(names() % 100'000'000));
        std::error_code error;
        if (std::filesystem::create_directory(candidate, error)) {
            path_ = candidate.string();
        }
    }
    if (path_.empty()) {
        std::abort();
    }
}

ScratchDir::~ScratchDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void writeFile(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

}  // namespace tagwright::testing
