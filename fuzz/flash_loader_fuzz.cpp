// Replies from a receiver's boot loader into the flash loader engine, over a
// pseudo-terminal: whatever the unit sends and whenever time jumps, the engine
// must stay inside its buffers, never hang in step(), and every record frame it
// sends must be well formed.
#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>

#include "clock.h"
#include "flash_loader.h"
#include "image_file.h"
#include "legacy_phase_source.h"
#include "posix_serial_device.h"
#include "receiver_link.h"
#include "serial_stream.h"
#include "ui.h"

namespace {

using namespace zamel;

class SilentUi final : public Ui {
  public:
    MessageAnswer messageBox(const std::string&, const std::string&, MessageButtons,
                             MessageIcon) override {
        return MessageAnswer::Ok;
    }
    std::optional<std::string> openFile(const std::string&, const std::string&, const std::string&,
                                        const std::string&) override {
        return std::nullopt;
    }
    DialogResult runModal(DialogController&) override { return DialogResult::Cancel; }
    void setStatusPane(const std::string&) override {}
    void quit() override {}
    void pumpMessages() override {}
};

class SteppedClock final : public Clock {
  public:
    std::int64_t wallMs() const override { return nowMs; }
    std::int64_t tickMs() const override { return nowMs; }
    void sleepMs(std::int64_t ms) override { nowMs += ms; }
    std::int64_t nowMs = 1'700'000'000'000;
};

class FixedPhase final : public LegacyPhaseSource {
  public:
    std::optional<int> legacyPhase() const override { return phase; }
    std::optional<int> phase;
};

// One pseudo-terminal for the whole run, linked as COM1 in a private directory
// that also receives DEBUG.OUT and the images.
struct Rig {
    Rig() {
        if (mkdtemp(dir) == nullptr || chdir(dir) != 0) abort();
        master = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
        if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0) abort();
        termios t{};
        tcgetattr(master, &t);
        cfmakeraw(&t);
        tcsetattr(master, TCSANOW, &t);
        if (symlink(ptsname(master), "COM1") != 0) abort();
        device = std::make_unique<PosixSerialDevice>(0, 4096, 2048);
        stream = std::make_unique<SerialStream>(*device);
        stream->setTransmitQueue(6144);
        writeImages();
    }

    ~Rig() {
        stream.reset();
        device.reset();
        for (const char* name : {"COM1", "DEBUG.OUT", "image.bin", "image.hex"}) unlink(name);
        if (chdir("/") == 0) rmdir(dir);
        close(master);
    }

    static void writeImages() {
        std::FILE* binary = std::fopen("image.bin", "wb");
        for (int i = 0; i < 4500; ++i) std::fputc(i * 7 & 0xFF, binary);
        std::fclose(binary);
        std::FILE* srec = std::fopen("image.hex", "w");
        std::fputs("S00600004844521B\n", srec);
        for (unsigned address = 0x2D004000; address < 0x2D004000 + 4200; address += 120) {
            unsigned sum = 125 + (address >> 24) + (address >> 16 & 0xFF) + (address >> 8 & 0xFF) +
                           (address & 0xFF);
            std::fprintf(srec, "S37D%08X", address);
            for (int i = 0; i < 120; ++i) {
                std::fprintf(srec, "%02X", i);
                sum += static_cast<unsigned>(i);
            }
            std::fprintf(srec, "%02X\n", ~sum & 0xFF);
        }
        std::fputs("S70500000000FA\n", srec);
        std::fclose(srec);
    }

    void drainMaster() {
        std::uint8_t buffer[4096];
        while (read(master, buffer, sizeof buffer) > 0) {
        }
    }

    // Waits (bounded) until the engine's port holds `count` bytes.
    void awaitReceived(int count) {
        for (int tries = 0; tries < 200 && stream->receiveCount() < count; ++tries)
            device->waitReadable(5);
    }

    char dir[32] = "/tmp/flash-fuzz-XXXXXX";
    int master = -1;
    std::unique_ptr<PosixSerialDevice> device;
    std::unique_ptr<SerialStream> stream;
    SilentUi ui;
    SteppedClock clock;
    ReceiverLink link{ui, clock};
};

bool wellFormed(std::span<const std::uint8_t> frame) {
    if (frame.empty()) return true;
    if (frame.size() < 10 || frame.size() % 2 != 0) return false;
    if (frame.front() != 0x5B || frame.back() != 0x5D) return false;
    const std::size_t words = static_cast<std::size_t>(frame[1]) << 8 | frame[2];
    if (2 * words + 6 != frame.size()) return false;
    std::uint16_t sum = 0;
    for (std::size_t i = 0; i < words; ++i)
        sum ^= static_cast<std::uint16_t>(frame[3 + 2 * i] << 8 | frame[4 + 2 * i]);
    return sum == (frame[frame.size() - 3] << 8 | frame[frame.size() - 2]);
}

// Input: one byte of settings, then the unit's bytes. 0xFD n moves the clock n
// seconds; 0xFC ends the file (end frame) or starts a second file.
constexpr std::uint8_t kAdvanceClock = 0xFD;
constexpr std::uint8_t kOwnerAction = 0xFC;
constexpr int kStepsPerChunk = 64;
constexpr std::size_t kChunk = 16;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static Rig rig;
    if (size < 1) return 0;
    const std::uint8_t settings = data[0];
    rig.link.receiverClass = settings & 0x01 ? ReceiverClass::Legacy : ReceiverClass::FlashMapping;
    rig.link.reloadBootBlock = (settings & 0x02) != 0;
    FixedPhase phase;
    if (settings & 0x04) phase.phase = settings >> 6;
    ImageFile image(settings & 0x08 ? "image.hex" : "image.bin");
    ImageFile second("image.bin");
    const bool recordMode = (settings & 0x10) != 0;
    const std::uint32_t base = recordMode ? 0 : 0x2D004000;
    rig.stream->clearReceive(0);
    rig.drainMaster();
    TransferPlan plan;
    std::string reason;
    const SegmentWindow window = rig.link.reloadBootBlock
                                     ? SegmentWindow{0, 0x70000, 0x9FFFF, true, false}
                                     : SegmentWindow{base, base};
    for (auto [file, at] :
         {std::pair{&image, window}, std::pair{&second, SegmentWindow{0xA0000, 0xA0000}}}) {
        if (auto segment = loadTransferSegment(*file, at, FlashLoader::kRecordDataLength, reason))
            plan.push_back(std::move(*segment));
    }
    FlashLoader engine(std::move(plan), *rig.stream, recordMode, 0, (settings & 0x20) != 0,
                       rig.link, rig.clock, &phase);
    std::size_t at = 1;
    while (at < size) {
        std::uint8_t chunk[kChunk];
        std::size_t length = 0;
        while (at < size && length < kChunk) {
            const std::uint8_t byte = data[at++];
            if (byte == kAdvanceClock && at < size) {
                rig.clock.nowMs += 1000 * static_cast<std::int64_t>(data[at++] & 0x0F);
            } else if (byte == kOwnerAction && engine.state == FlashLoaderState::FileDone) {
                if (!engine.startNextSegment()) engine.sendEnd();
            } else {
                chunk[length++] = byte;
            }
        }
        if (length > 0 && write(rig.master, chunk, length) == static_cast<ssize_t>(length))
            rig.awaitReceived(static_cast<int>(length));
        for (int steps = 0; steps < kStepsPerChunk && engine.step(); ++steps) {
        }
        if (engine.state == FlashLoaderState::WaitRec && !wellFormed(engine.currentRecordFrame()))
            abort();
        rig.drainMaster();
    }
    engine.closeLog();
    return 0;
}
