#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "flash_loader.h"
#include "image_file.h"
#include "port_peer.h"
#include "receiver_link.h"
#include "scripted_ui.h"
#include "serial_stream.h"
#include "test_clocks.h"
#include "work_dir.h"

namespace zamel::testing {

// The surroundings of one engine under test: a fresh working directory (for
// DEBUG.OUT), the far end of COM1 (a pseudo-terminal) playing the unit, the
// engine's stream opened on COM1 through the platform's serial device, a manual
// clock and a receiver link.
class EngineRig : public ::testing::Test {
  protected:
    EngineRig();
    ~EngineRig() override;

    // Writes the image to the working directory and opens it.
    void openImage(const std::vector<std::uint8_t>& bytes, const std::string& name = "image.bin");
    void openImage(const std::string& text, const std::string& name);
    // A plan of the open image at the base (and a second file after it).
    FlashLoader& startEngine(bool recordMode, std::uint32_t baseAddress, std::uint32_t eraseEnd,
                             bool verifyEcho, const LegacyPhaseSource* phaseSource = nullptr,
                             ImageFile* second = nullptr, std::uint32_t secondBase = 0);
    TransferSegment segmentOf(ImageFile& file, std::uint32_t baseAddress, std::uint32_t last);

    // The unit writes; returns once the engine's port holds the bytes.
    void unitSends(const std::vector<std::uint8_t>& bytes);
    // Exactly n bytes the loader wrote (fewer when it stops writing).
    std::vector<std::uint8_t> unitReads(std::size_t n);
    // Whatever the loader wrote and nothing more: a short wait after the last byte.
    std::vector<std::uint8_t> unitReadsAll();
    // Steps until step() returns false (or AllDone is reached); the number of calls.
    int runEngine();
    // The record frame the engine would send now, for comparing resends.
    std::vector<std::uint8_t> lastFrame() const;

    // Plays an address-mode unit until the engine is in `target` (Hand, EraseCmd,
    // EraseAdr, WaitRec, Prog, FileDone or SendEnd; the last two need a one-record
    // image); returns the last thing the loader sent.
    std::vector<std::uint8_t> reach(FlashLoaderState target);
    std::vector<std::string> logLines() const;
    bool logHas(const std::string& line) const;

    // Runs a whole transfer against `unit`: at FileDone goes on with the next segment
    // or sends the end frame, and stops at AllDone. False when it did not finish
    // within the bound.
    bool transferTo(class ScriptedUnit& unit);

    TempWorkDir dir;
    PortPeer farEnd;
    ManualClock clock;
    ScriptedUi ui;
    ReceiverLink link{ui, clock};
    std::unique_ptr<SerialDevice> device;
    std::unique_ptr<SerialStream> stream;
    std::unique_ptr<ImageFile> image;
    std::unique_ptr<FlashLoader> engine;
};

}  // namespace zamel::testing
