#include "flash_upload_driver.h"

#include "clock.h"
#include "flash_loader.h"
#include "identification_sequence.h"
#include "image_file.h"
#include "protocol_probe_dialog.h"
#include "receiver_link.h"
#include "ui.h"

namespace zamel::testing {

namespace {
constexpr std::int64_t kTickMs = 100;
constexpr std::uint32_t kCodeBase = 0x2D004000;
constexpr std::uint32_t kCodeEraseBase = 0x2D000000;
}  // namespace

FlashUploadPlan codeUploadPlan(const std::string& srecordPath) {
    ImageFile probe(srecordPath);
    const std::uint32_t eraseEnd = probe.isOpen ? kCodeEraseBase + probe.imageSize : 0;
    probe.close();
    return {srecordPath, "CMD,DBUPLOAD", false, kCodeBase, eraseEnd, true};
}

FlashUploadPlan mapUploadPlan(const std::string& binaryPath, int mapKind) {
    return {binaryPath, mapKind == 1 ? "CMD,MPUPLOAD,1" : "CMD,MPUPLOAD,2", true, 0, 0xFFFFFFFF,
            true};
}

FlashUploadOutcome runFlashUpload(ReceiverLink& link, Ui& ui, Clock& clock,
                                  const FlashUploadPlan& plan) {
    FlashUploadOutcome outcome;
    if (plan.identifyFirst) {
        outcome.identified = identifyReceiver(link, ui, clock);
        if (!outcome.identified) return outcome;
        link.sendCommand(plan.uploadCommand);
        link.sendCommand(plan.uploadCommand);
        link.settle();
    }

    ProtocolProbeDialog probe(link, clock);
    outcome.greeted = ui.runModal(probe) == DialogResult::Ok;
    if (!outcome.greeted || !link.portOpen) return outcome;

    ImageFile image(plan.imagePath);
    if (!image.isOpen) return outcome;
    std::string reason;
    auto segment = loadTransferSegment(image, {plan.baseAddress, plan.baseAddress},
                                       FlashLoader::kRecordDataLength, reason);
    if (!segment) return outcome;
    TransferPlan segments;
    segments.push_back(std::move(*segment));
    FlashLoader engine(std::move(segments), *link.port, plan.recordMode, plan.eraseEnd,
                       plan.verifyEcho, link, clock);
    const std::int64_t start = clock.tickMs();
    while (clock.tickMs() - start < plan.limitMs) {
        clock.sleepMs(kTickMs);
        ++outcome.ticks;
        // AllDone restarts the protocol on the next step, so the owner stops there.
        while (engine.step() && engine.state != FlashLoaderState::AllDone) {
        }
        if (engine.state == FlashLoaderState::FileDone) {
            outcome.bytesSent += engine.bytesSent;
            engine.sendEnd();
            // The upload dialogs close right after the end frame has left the port.
            if (!plan.awaitEndReport) break;
        }
        if (engine.state == FlashLoaderState::AllDone || engine.state == FlashLoaderState::NoPort ||
            engine.state == FlashLoaderState::InvalidFlash)
            break;
    }
    outcome.transferMs = clock.tickMs() - start;
    outcome.finalState = engine.state;
    outcome.unitChecksum = engine.unitChecksum;
    outcome.unitSize = engine.unitSize;
    engine.closeLog();
    image.close();
    return outcome;
}

}  // namespace zamel::testing
