#include <cstdlib>
#include <new>

#include "engine_rig.h"
#include "flash_loader.h"
#include "scripted_unit.h"
#include "test_images.h"

namespace {

// Counts allocations made while `counting` is set; everything else passes through.
bool counting = false;
long allocations = 0;

}  // namespace

void* operator new(std::size_t size) {
    if (counting) ++allocations;
    void* block = std::malloc(size != 0 ? size : 1);
    if (block == nullptr) std::abort();
    return block;
}
void operator delete(void* block) noexcept { std::free(block); }
void operator delete(void* block, std::size_t) noexcept { std::free(block); }

namespace zamel::testing {
namespace {

class FlashLoaderAllocationTest : public EngineRig {
  protected:
    // Plays `unit` to the end, counting only what the engine allocates.
    void transferCounting(ScriptedUnit& unit) {
        unitSends({0xAA});
        bool done = false;
        for (int round = 0; round < 400 && !done; ++round) {
            counting = true;
            while (engine->step() && engine->state != FlashLoaderState::AllDone) {
            }
            if (engine->state == FlashLoaderState::FileDone) engine->sendEnd();
            counting = false;
            done = engine->state == FlashLoaderState::AllDone;
            const auto replies = unit.take(unitReadsAll());
            if (!replies.empty()) unitSends(replies);
        }
        ASSERT_TRUE(done) << unit.fault();
    }
};

std::vector<std::uint8_t> pattern(std::size_t n) {
    std::vector<std::uint8_t> data(n);
    for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<std::uint8_t>(i * 31);
    return data;
}

TEST_F(FlashLoaderAllocationTest, TransferAllocatesNothing) {
    const auto data = pattern(7000);
    openImage(data);
    startEngine(false, 0x2D004000, 0, true);
    ScriptedUnit unit(false, 4);
    allocations = 0;
    transferCounting(unit);
    EXPECT_EQ(unit.flash(0x2D004000, data.size()), data);
    EXPECT_EQ(allocations, 0);
}

// Going back in an S-record image reads it again into the engine's own buffer.
TEST_F(FlashLoaderAllocationTest, GoingBackInAnSRecordImageAllocatesNothing) {
    const auto data = pattern(9000);
    for (const auto trouble :
         {ScriptedUnit::Trouble::RewindRecord, ScriptedUnit::Trouble::EchoEarlier,
          ScriptedUnit::Trouble::RestartFile}) {
        openImage(sRecordText(0x2D004000, data, 32), "image.hex");
        startEngine(false, 0x2D004000, 0, true);
        ScriptedUnit unit(false, 4);
        unit.troubleAt(4, trouble);
        allocations = 0;
        transferCounting(unit);
        EXPECT_EQ(unit.flash(0x2D004000, data.size()), data);
        EXPECT_EQ(allocations, 0) << static_cast<int>(trouble);
        engine->closeLog();
        engine.reset();
        unitReadsAll();
    }
}

}  // namespace
}  // namespace zamel::testing
