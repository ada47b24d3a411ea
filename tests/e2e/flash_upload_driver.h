#pragma once

#include <cstdint>
#include <string>

#include "flash_loader_state.h"

namespace zamel {
class Clock;
class ReceiverLink;
class Ui;
}  // namespace zamel

namespace zamel::testing {

// What one upload needs: which file, which upload command, and the engine's
// parameters, as the flash receivers' workflows choose them.
struct FlashUploadPlan {
    std::string imagePath;
    const char* uploadCommand;  // "CMD,DBUPLOAD", "CMD,MPUPLOAD,1", ...
    bool recordMode;
    std::uint32_t baseAddress;
    std::uint32_t eraseEnd;  // 0: the engine's own end
    bool verifyEcho;
    bool identifyFirst = true;
    // Keep stepping after the end frame until the unit's answer (and, in record
    // mode, its end report) has arrived.
    bool awaitEndReport = true;
    // Bound on the whole upload, in real milliseconds.
    std::int64_t limitMs = 60'000;
};

FlashUploadPlan codeUploadPlan(const std::string& srecordPath);
FlashUploadPlan mapUploadPlan(const std::string& binaryPath, int mapKind);

struct FlashUploadOutcome {
    bool identified = false;
    bool greeted = false;
    FlashLoaderState finalState = FlashLoaderState::NoPort;
    std::uint32_t bytesSent = 0;
    std::uint16_t unitChecksum = 0;
    std::uint32_t unitSize = 0;
    std::int64_t transferMs = 0;  // from the engine's creation to AllDone
    int ticks = 0;
};

// Runs one upload through the loader's own pieces, as the upload command does:
// identification, the upload command sentences and the settling pause, the
// boot-loader probe, then the engine stepped on 100 ms ticks until it is done.
FlashUploadOutcome runFlashUpload(ReceiverLink& link, Ui& ui, Clock& clock,
                                  const FlashUploadPlan& plan);

}  // namespace zamel::testing
