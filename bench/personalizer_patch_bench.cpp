// Locating and patching the three start-up texts of a 4 MiB S-record image,
// next to srec_cat copying the same file. The texts lie near the image's end
// and two of them straddle records, so every search crosses the whole text.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "personalizer_app.h"
#include "whole_file.h"

namespace {

constexpr std::size_t kImageTextBytes = 4u << 20;
constexpr std::size_t kDataPerRecord = 20;
constexpr std::size_t kLineLength = 56;

class NoUi final : public tagwright::PersonalizerUi {
  public:
    tagwright::MessageAnswer showMessage(const std::string&, tagwright::MessageIcon,
                                         tagwright::MessageButtons) override {
        return tagwright::MessageAnswer::Ok;
    }
    void pumpMessages() override {}
};

std::string recordLine(char type, std::uint32_t address, const std::uint8_t* data,
                       std::size_t length) {
    const std::size_t addressBytes = type == '0' ? 2 : 4;
    std::vector<std::uint8_t> bytes{static_cast<std::uint8_t>(addressBytes + length + 1)};
    for (std::size_t i = addressBytes; i-- > 0;) {
        bytes.push_back(static_cast<std::uint8_t>(address >> (8 * i)));
    }
    bytes.insert(bytes.end(), data, data + length);
    unsigned sum = 0;
    for (const std::uint8_t b : bytes) {
        sum += b;
    }
    bytes.push_back(static_cast<std::uint8_t>(0xFF - (sum & 0xFF)));
    std::string line{'S', type};
    char digits[3];
    for (const std::uint8_t b : bytes) {
        std::snprintf(digits, sizeof digits, "%02X", b);
        line.append(digits, 2);
    }
    return line + "\r\n";
}

std::string buildImage() {
    const std::size_t records = kImageTextBytes / kLineLength;
    std::vector<std::uint8_t> data(records * kDataPerRecord);
    std::uint32_t state = 0x2468ACE1;
    for (std::uint8_t& b : data) {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        b = static_cast<std::uint8_t>(0x30 + state % 0x40);  // printable, never zero
    }
    auto place = [&](std::size_t offset, std::string_view text) {
        std::copy(text.begin(), text.end(), data.begin() + static_cast<std::ptrdiff_t>(offset));
    };
    const std::size_t end = data.size() - 40 * kDataPerRecord;
    place(end - 4, std::string_view("WARN"));
    place(end, std::string_view("ING!\0\0\0\0", 8));
    place(end + 10 * kDataPerRecord + 3, std::string_view("All data is provided as is.\0", 28));
    place(end + 20 * kDataPerRecord - 9, std::string_view("PRESS ENTER TO AGREE\0", 21));

    const std::uint8_t header[] = {'B', 'E', 'N', 'C', 'H'};
    std::string text = recordLine('0', 0, header, sizeof header);
    for (std::size_t i = 0; i < records; ++i) {
        text += recordLine('3', static_cast<std::uint32_t>(0x1000 + i * kDataPerRecord),
                           data.data() + i * kDataPerRecord, kDataPerRecord);
    }
    return text + recordLine('7', 0x1000, nullptr, 0);
}

const std::string& image() {
    static const std::string text = buildImage();
    return text;
}

void setTexts(tagwright::PersonalizerApp& app) {
    app.title().searchText = "WARNING!";
    app.message().searchText = "All data";
    app.agree().searchText = "PRESS ENTER TO AGREE";
    app.title().personalText = "MINE";
    app.message().personalText = "Property of\\nJ. Doe";
    app.agree().personalText = "ENTER";
}

void locateAndPatch(tagwright::PersonalizerApp& app) {
    app.locateTitle();
    app.locateText(app.message());
    app.locateText(app.agree());
    app.patchAll();
}

void BM_LocateAndPatchAll(benchmark::State& state) {
    NoUi ui;
    tagwright::PersonalizerApp app(ui);
    for (auto _ : state) {
        state.PauseTiming();
        app.firmwareText = image();
        app.firmwareSize = app.firmwareText.size();
        setTexts(app);
        state.ResumeTiming();
        locateAndPatch(app);
        if (app.agree().charLimit != 20 || app.title().charLimit != 11) {
            state.SkipWithError("texts not found");
        }
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * image().size()));
}
BENCHMARK(BM_LocateAndPatchAll)->Unit(benchmark::kMillisecond)->UseRealTime();

// Reading the file, locating, patching and writing the personalized file, as
// one "Save Changes" does.
void BM_PersonalizeFile(benchmark::State& state) {
    const std::string dir = std::filesystem::temp_directory_path() / "personalizer_bench";
    std::filesystem::create_directories(dir);
    NoUi ui;
    tagwright::PersonalizerApp app(ui);
    app.setWorkDir(dir);
    app.factoryFile = dir + "/factory.hex";
    app.personalFile = dir + "/personal.hex";
    tagwright::replaceWholeFile(app.factoryFile, image());
    for (auto _ : state) {
        app.loadFirmware();
        setTexts(app);
        locateAndPatch(app);
        app.writePersonalized();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * image().size()));
    std::filesystem::remove_all(dir);
}
BENCHMARK(BM_PersonalizeFile)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_SrecCatCopy(benchmark::State& state) {
    const std::string dir = std::filesystem::temp_directory_path() / "personalizer_bench_srec";
    std::filesystem::create_directories(dir);
    tagwright::replaceWholeFile(dir + "/factory.hex", image());
    const std::string command =
        "srec_cat '" + dir + "/factory.hex' -o '" + dir + "/copy.hex' > /dev/null 2>&1";
    for (auto _ : state) {
        if (std::system(command.c_str()) != 0) {
            state.SkipWithError("srec_cat failed");
        }
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * image().size()));
    std::filesystem::remove_all(dir);
}
// The child process does the work, so only wall time says anything here.
BENCHMARK(BM_SrecCatCopy)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);

}  // namespace
