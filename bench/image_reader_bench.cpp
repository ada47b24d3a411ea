// Reading a 16 MiB S-record image block by block, as an upload does, and checking
// it whole, as an upload does first, next to GNU objcopy converting the same file
// to binary. All report MB/s of image data.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "image_file.h"
#include "s_record_check.h"

namespace {

constexpr std::size_t kImageBytes = 16u << 20;
constexpr std::int32_t kMaxLength = 1980;

// A temporary directory holding the image in binary and S-record form for the
// whole run.
class BenchImage {
  public:
    BenchImage() {
        char pattern[] = "/tmp/image_bench_XXXXXX";
        if (mkdtemp(pattern) == nullptr) return;
        dir_ = pattern;
        std::vector<char> bytes(kImageBytes);
        std::uint32_t state = 0x12345678;
        for (char& b : bytes) {
            state ^= state << 13;
            state ^= state >> 17;
            state ^= state << 5;
            b = static_cast<char>(state);
        }
        std::ofstream(binPath(), std::ios::binary).write(bytes.data(), bytes.size());
        const std::string command =
            "objcopy -I binary -O srec --change-addresses 0x2D004000 "
            "--srec-forceS3 --srec-len=32 " +
            binPath() + " " + srecPath();
        ready_ = std::system(command.c_str()) == 0;
    }
    ~BenchImage() {
        if (!dir_.empty()) std::filesystem::remove_all(dir_);
    }

    bool ready() const { return ready_; }
    std::string binPath() const { return dir_ + "/image.bin"; }
    std::string srecPath() const { return dir_ + "/image.srec"; }
    std::string backPath() const { return dir_ + "/back.bin"; }

  private:
    std::string dir_;
    bool ready_ = false;
};

const BenchImage& benchImage() {
    static const BenchImage image;
    return image;
}

void ReadSRecordImage(benchmark::State& state) {
    if (!benchImage().ready()) {
        state.SkipWithError("objcopy could not make the image");
        return;
    }
    std::vector<std::uint8_t> buffer(zamel::ImageFile::blockCapacity(kMaxLength));
    std::size_t total = 0;
    for (auto _ : state) {
        zamel::ImageFile image(benchImage().srecPath());
        std::uint32_t address = 0;
        std::size_t read = 0;
        for (;;) {
            const std::int16_t got = image.readBlock(buffer, kMaxLength, address);
            if (got < 1) break;
            read += static_cast<std::size_t>(got);
        }
        benchmark::DoNotOptimize(buffer.data());
        total += read;
        if (read != kImageBytes) state.SkipWithError("the reader lost data");
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(total));
    state.counters["file_MB"] =
        static_cast<double>(std::filesystem::file_size(benchImage().srecPath())) / 1e6;
}
BENCHMARK(ReadSRecordImage)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);

// Every record checked before an upload starts: hex digits, counts and checksums.
void CheckSRecordImageWhole(benchmark::State& state) {
    if (!benchImage().ready()) {
        state.SkipWithError("objcopy could not make the image");
        return;
    }
    for (auto _ : state) {
        const zamel::SRecordCheck check = zamel::checkSRecordFile(benchImage().srecPath());
        if (!check.intact || check.dataBytes != kImageBytes)
            state.SkipWithError("the check refused a good image");
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kImageBytes));
}
BENCHMARK(CheckSRecordImageWhole)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);

void ObjcopySRecordToBinary(benchmark::State& state) {
    if (!benchImage().ready()) {
        state.SkipWithError("objcopy could not make the image");
        return;
    }
    const std::string command =
        "objcopy -I srec -O binary " + benchImage().srecPath() + " " + benchImage().backPath();
    for (auto _ : state) {
        if (std::system(command.c_str()) != 0) state.SkipWithError("objcopy failed");
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kImageBytes));
}
BENCHMARK(ObjcopySRecordToBinary)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);

}  // namespace
