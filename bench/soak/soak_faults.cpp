#include "soak_faults.h"

namespace zamel::soak {

namespace {

// How long one full record takes on a 115200 baud line, in loader milliseconds
// (the soak's clock runs ten times faster than the wall).
constexpr std::int64_t kRecordLoaderMs = 1750;

enum class Aim { Record, Transfer, Run };

struct FaultKind {
    const char* text;  // with %K for the record number and %C for a resend code
    Aim aim;
};

const std::vector<std::pair<std::uint32_t, FaultKind>>& faultKinds() {
    static const std::vector<std::pair<std::uint32_t, FaultKind>> kinds = {
        {3, {"resend:%K:%C", Aim::Record}},
        {2, {"prog-resend:%K:%C", Aim::Record}},
        {2, {"fail-write:%K", Aim::Record}},
        {2, {"reset:%K", Aim::Record}},
        {3, {"rec-number:%K", Aim::Record}},
        {2, {"drop-ack:%K", Aim::Record}},
        {2, {"unplug:%K", Aim::Record}},
        {3, {"lose-ack:%K:first", Aim::Record}},
        {3, {"lose-ack:%K:second", Aim::Record}},
        {1, {"fail-erase", Aim::Transfer}},
        {1, {"bad-cmd", Aim::Transfer}},
        {1, {"bad-type", Aim::Transfer}},
        {1, {"bad-checksum", Aim::Transfer}},
        {2, {"lost-end-ack", Aim::Transfer}},
        {2, {"lose-ack:erase", Aim::Transfer}},
        {2, {"debug-echo", Aim::Run}},
        {1, {"noise", Aim::Run}},
        {1, {"garble", Aim::Run}},
        {1, {"greet77", Aim::Run}},
        {1, {"rec-wait", Aim::Run}},
        {1, {"early-debug", Aim::Run}},
        {1, {"silent-loader", Aim::Run}},
        {1, {"late-greeting:%S", Aim::Run}},
    };
    return kinds;
}

void replace(std::string& text, const std::string& mark, const std::string& value) {
    if (const auto at = text.find(mark); at != std::string::npos)
        text.replace(at, mark.size(), value);
}

std::string drawFault(Rng& rng, const std::vector<std::uint32_t>& recordsPerTransfer) {
    const FaultKind& kind = rng.weighted(faultKinds());
    const auto transfers = static_cast<std::uint32_t>(recordsPerTransfer.size());
    const std::uint32_t transfer = rng.between(1, transfers);
    std::string text = kind.text;
    // One past the last record too: a fault that never comes must change nothing.
    replace(text, "%K", std::to_string(rng.between(1, recordsPerTransfer[transfer - 1] + 1)));
    replace(text, "%C", rng.pick(std::vector<std::string>{"81", "82", "85", "88"}));
    replace(text, "%S", std::to_string(rng.between(1, 2)));
    if (kind.aim != Aim::Run && transfers > 1) text += "@" + std::to_string(transfer);
    return text;
}

}  // namespace

FaultPlan drawFaults(Rng& rng, const std::vector<std::uint32_t>& recordsPerTransfer) {
    FaultPlan plan;
    const std::uint32_t faults = rng.weighted<std::uint32_t>({{3, 0}, {5, 1}, {2, 2}});
    for (std::uint32_t i = 0; i < faults; ++i) {
        const std::string fault = drawFault(rng, recordsPerTransfer);
        plan.receiverArguments.insert(plan.receiverArguments.end(), {"--fault", fault});
        plan.summary += (plan.summary.empty() ? "" : ", ") + fault;
    }
    if (rng.chance(1, 4)) {
        plan.receiverArguments.push_back("--early-answers");
        plan.summary += plan.summary.empty() ? "early answers" : ", early answers";
    }
    if (rng.chance(1, 10)) {
        const auto transfers = static_cast<std::uint32_t>(recordsPerTransfer.size());
        plan.stopTransfer = static_cast<int>(rng.between(1, transfers));
        const std::int64_t transferMs =
            kRecordLoaderMs *
            (recordsPerTransfer[static_cast<std::size_t>(plan.stopTransfer - 1)] + 2);
        plan.stopAfterMs = rng.below(static_cast<std::uint32_t>(transferMs));
        plan.summary += (plan.summary.empty() ? "" : ", ") + std::string("receiver stopped ") +
                        std::to_string(*plan.stopAfterMs) + " ms into transfer " +
                        std::to_string(plan.stopTransfer);
    }
    if (plan.summary.empty()) plan.summary = "none";
    return plan;
}

}  // namespace zamel::soak
