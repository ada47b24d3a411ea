// The simulated receiver fed arbitrary bytes from a loader, with rate changes,
// passing time and faults chosen by the input.

#include <cstddef>
#include <cstdint>
#include <string>

#include "fault_plan.h"
#include "output_queue.h"
#include "receiver.h"

using namespace zamel::sim;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) return 0;
    FaultPlan faults;
    std::string error;
    const char* specs[] = {"debug-echo",   "noise",       "garble",     "reset:2",
                           "rec-number:2", "resend:1:81", "drop-ack:1", "unplug:3"};
    for (int bit = 0; bit < 8; ++bit)
        if (data[0] & (1 << bit)) faults.add(specs[bit], error);
    // The upper bits of the second byte pick the faults that shape acknowledgements.
    const char* moreSpecs[] = {"greet77",      "rec-wait",         "early-debug",
                               "lost-end-ack", "prog-resend:2:82", "bad-checksum"};
    for (int bit = 0; bit < 6; ++bit)
        if (data[1] & (4 << bit)) faults.add(moreSpecs[bit], error);

    ReceiverConfig config;
    config.identity = UnitIdentity::fromModel(*findModel("Talvane"), "3.08", PoiRegion::Worldwide);
    config.eraseTimePerSector = std::chrono::milliseconds(1);
    if (data[1] & 1)
        config.startInLoader = (data[1] & 2) ? UploadMode::Record : UploadMode::Address;
    OutputQueue output;
    SimTime now{0};
    Receiver unit(config, faults, output, now);
    const long rates[] = {4800, 115200, 9600, 19200};
    long rate = 4800;
    unit.setLineRate(rate);

    for (std::size_t i = 2; i < size; ++i) {
        // 0xF7 escapes a control byte: a new line rate and time passing.
        if (data[i] == 0xF7 && i + 1 < size) {
            const std::uint8_t control = data[++i];
            rate = rates[control & 3];
            unit.setLineRate(rate);
            now += std::chrono::milliseconds(control >> 2) * 40;
            unit.tick(now);
        } else {
            now += byteTime(rate);
            unit.receive(data[i], rate, now);
        }
        while (unit.takeEvent()) {
        }
        output.clear();
    }
    return 0;
}
