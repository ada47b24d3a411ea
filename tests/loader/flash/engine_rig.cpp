#include "engine_rig.h"

#include <chrono>
#include <fstream>

#include "port_device.h"
#include "scripted_unit.h"

namespace zamel::testing {

namespace {

constexpr int kTransmitQueueBytes = 6144;
constexpr int kWaitBoundMs = 2000;
constexpr int kStepBound = 100000;

}  // namespace

EngineRig::EngineRig() {
    EXPECT_TRUE(farEnd.attach(dir.path(), 1));
    PortOpenOutcome outcome;
    device = openPortDevice(0, 4096, 2048, {}, outcome);
    stream = std::make_unique<SerialStream>(*device);
    stream->setTransmitQueue(kTransmitQueueBytes);
    std::uint16_t bits = 0;
    EXPECT_EQ(stream->status(bits), 0) << "the test port did not open";
    link.receiverClass = ReceiverClass::FlashMapping;
}

EngineRig::~EngineRig() {
    if (engine) engine->closeLog();
}

void EngineRig::openImage(const std::vector<std::uint8_t>& bytes, const std::string& name) {
    ASSERT_TRUE(writeWholeFile(dir.file(name), bytes));
    image = std::make_unique<ImageFile>(dir.file(name));
    ASSERT_TRUE(image->isOpen);
}

void EngineRig::openImage(const std::string& text, const std::string& name) {
    openImage(std::vector<std::uint8_t>(text.begin(), text.end()), name);
}

// The image goes from the base up.
// The boot-block reload sends the code image's part from the base up.
TransferSegment EngineRig::segmentOf(ImageFile& file, std::uint32_t baseAddress,
                                     std::uint32_t last) {
    SegmentWindow window{baseAddress, baseAddress, 0xFFFFFFFF, false, false};
    if (link.reloadBootBlock) window = {0, baseAddress, last, true, false};
    std::string reason;
    auto segment = loadTransferSegment(file, window, FlashLoader::kRecordDataLength, reason);
    EXPECT_TRUE(segment.has_value()) << reason;
    return segment ? std::move(*segment) : TransferSegment{};
}

FlashLoader& EngineRig::startEngine(bool recordMode, std::uint32_t baseAddress,
                                    std::uint32_t eraseEnd, bool verifyEcho,
                                    const LegacyPhaseSource* phaseSource, ImageFile* second,
                                    std::uint32_t secondBase) {
    TransferPlan plan;
    plan.push_back(segmentOf(*image, baseAddress, eraseEnd));
    if (second != nullptr) plan.push_back(segmentOf(*second, secondBase, eraseEnd));
    engine = std::make_unique<FlashLoader>(std::move(plan), *stream, recordMode, eraseEnd,
                                           verifyEcho, link, clock, phaseSource);
    return *engine;
}

void EngineRig::unitSends(const std::vector<std::uint8_t>& bytes) {
    const int before = stream->receiveCount();
    ASSERT_TRUE(farEnd.write(bytes));
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(kWaitBoundMs);
    while (stream->receiveCount() < before + static_cast<int>(bytes.size())) {
        ASSERT_LT(std::chrono::steady_clock::now(), deadline) << "the port never got the bytes";
        device->waitReadable(10);
    }
}

std::vector<std::uint8_t> EngineRig::unitReads(std::size_t n) {
    return farEnd.readExactly(n, kWaitBoundMs);
}

std::vector<std::uint8_t> EngineRig::unitReadsAll() { return farEnd.readFor(30); }

int EngineRig::runEngine() {
    int steps = 1;
    while (engine->step() && engine->state != FlashLoaderState::AllDone) {
        if (++steps > kStepBound) {
            ADD_FAILURE() << "step() kept returning true";
            break;
        }
    }
    return steps;
}

std::vector<std::uint8_t> EngineRig::lastFrame() const {
    const auto frame = engine->currentRecordFrame();
    return {frame.begin(), frame.end()};
}

std::vector<std::uint8_t> EngineRig::reach(FlashLoaderState target) {
    using Bytes = std::vector<std::uint8_t>;
    const auto answer = [&](const Bytes& reply, std::size_t expected) {
        unitSends(reply);
        runEngine();
        return unitReads(expected);
    };
    runEngine();  // Reset, then NoConnect finds nothing
    Bytes sent = answer({0xAA}, 1);
    EXPECT_EQ(sent, Bytes{0x55});
    if (target == FlashLoaderState::Hand) return sent;
    sent = answer({0x55}, 1);
    EXPECT_EQ(sent, Bytes{0x6A});
    if (target == FlashLoaderState::EraseCmd) return sent;
    sent = answer({0x55}, kEraseFrameLength);
    if (target == FlashLoaderState::EraseAdr) return sent;
    EXPECT_EQ(answer({0x55, 0x8F, 0x55}, 1), Bytes{0x69});
    unitSends({0x55});
    runEngine();
    sent = unitReads(lastFrame().size());
    if (target == FlashLoaderState::WaitRec) return sent;
    unitSends({0x55});
    runEngine();
    if (target == FlashLoaderState::Prog) return sent;
    unitSends({0x55});
    runEngine();
    EXPECT_EQ(engine->state, FlashLoaderState::FileDone);
    if (target == FlashLoaderState::FileDone) return sent;
    engine->sendEnd();
    return unitReads(kEndFrameLength);
}

std::vector<std::string> EngineRig::logLines() const {
    std::ifstream in(dir.file("DEBUG.OUT"));
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

bool EngineRig::logHas(const std::string& line) const {
    engine->debugLog.flush();
    for (const auto& l : logLines())
        if (l == line) return true;
    return false;
}

bool EngineRig::transferTo(ScriptedUnit& unit) {
    unitSends({0xAA});
    for (int round = 0; round < 1000; ++round) {
        runEngine();
        if (engine->state == FlashLoaderState::AllDone) return true;
        if (engine->state == FlashLoaderState::FileDone) {
            if (engine->startNextSegment()) continue;
            engine->sendEnd();
        }
        const auto replies = unit.take(unitReadsAll());
        if (!unit.fault().empty()) return false;
        if (!replies.empty()) unitSends(replies);
    }
    return false;
}

}  // namespace zamel::testing
