// Uploads a code image through the loader's own pieces to receiver-sim pacing
// the line at its real rate, and reports the transfer time next to the time the
// bytes need on the wire. Also the main job's demonstration of a whole upload.
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "console_ui.h"
#include "flash_upload_driver.h"
#include "pty_pair.h"
#include "receiver_link.h"
#include "sim_process.h"
#include "system_clock.h"

namespace {

using namespace zamel;
using namespace zamel::testing;

constexpr std::size_t kImageBytes = 64 * 1024;
constexpr std::size_t kRecordData = 1980;
constexpr std::size_t kRecordFrameOverhead = 10;
constexpr double kBitsPerByte = 10.0;

// Bytes the loader puts on the wire for the records: each frame carries the
// data plus its start, length, address, checksum and end bytes.
double wireSeconds(std::size_t dataBytes, long baud) {
    const std::size_t frames = (dataBytes + kRecordData - 1) / kRecordData;
    const double bytes = static_cast<double>(dataBytes + frames * kRecordFrameOverhead);
    return bytes * kBitsPerByte / static_cast<double>(baud);
}

bool run(const std::string& command) { return std::system(command.c_str()) == 0; }

}  // namespace

int main() {
    TempWorkDir dir;
    std::mt19937 generator(2026);
    std::vector<std::uint8_t> image(kImageBytes);
    for (auto& b : image) b = static_cast<std::uint8_t>(generator());
    writeWholeFile(dir.file("code.bin"), image);
    if (!run("objcopy -I binary -O srec --change-addresses 0x2D004000 --srec-forceS3 "
             "--srec-len=32 " +
             dir.file("code.bin") + " " + dir.file("code.srec"))) {
        std::fprintf(stderr, "objcopy could not make the S-record image\n");
        return 1;
    }

    sim::testing::SimProcess receiver;
    if (!receiver.start({"--dir", dir.path(), "--port", "1", "--model", "Talvane", "--pace",
                         "--once", "--flash-out", dir.file("flash.srec")})) {
        std::fprintf(stderr, "receiver-sim did not start\n");
        return 1;
    }
    std::printf("receiver-sim: %s\n", receiver.readyLine().c_str());

    SystemClock clock;
    ConsoleUi ui(stdout, clock, {.answerPositive = true, .modalLimitMs = 30'000});
    ReceiverLink link(ui, clock);
    const auto outcome = runFlashUpload(link, ui, clock, codeUploadPlan(dir.file("code.srec")));
    const long baud = link.baud;
    link.close();
    if (!outcome.identified || !outcome.greeted ||
        outcome.finalState != FlashLoaderState::AllDone) {
        std::fprintf(stderr, "the upload did not complete (DEBUG.OUT is in %s)\n",
                     dir.path().c_str());
        return 1;
    }
    receiver.waitExit(15'000);
    run("objcopy -I srec -O binary " + dir.file("flash.srec") + " " + dir.file("flash.bin"));
    const bool same = readWholeFile(dir.file("flash.bin")) == image;

    const double seconds = static_cast<double>(outcome.transferMs) / 1000.0;
    const double limit = wireSeconds(image.size(), baud);
    std::printf("uploaded %zu bytes in %.2f s at %ld baud; the records need %.2f s on the wire\n",
                image.size(), seconds, baud, limit);
    std::printf("transfer time / wire time = %.2f\n", seconds / limit);
    std::printf("flash contents equal the image: %s\n", same ? "yes" : "NO");
    std::fflush(stdout);
    return same ? 0 : 1;
}
