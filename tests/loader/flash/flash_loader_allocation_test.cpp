#include <cstdlib>
#include <new>

#include "engine_rig.h"
#include "flash_loader.h"
#include "scripted_unit.h"

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

using FlashLoaderAllocationTest = EngineRig;

TEST_F(FlashLoaderAllocationTest, TransferAllocatesNothing) {
    std::vector<std::uint8_t> data(7000);
    for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<std::uint8_t>(i * 31);
    openImage(data);
    startEngine(false, 0x2D004000, 0, true);
    ScriptedUnit unit(false, 4);
    unitSends({0xAA});
    bool done = false;
    for (int round = 0; round < 200 && !done; ++round) {
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
    EXPECT_EQ(unit.flash(0x2D004000, data.size()), data);
    EXPECT_EQ(allocations, 0);
}

}  // namespace
}  // namespace zamel::testing
