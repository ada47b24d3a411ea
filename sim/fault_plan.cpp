#include "fault_plan.h"

#include <cctype>
#include <cstdlib>

namespace zamel::sim {

namespace {

// How a fault's values after its name read.
enum class Values {
    None,
    Record,               // :K
    RecordAndCode,        // :K:CODE
    Seconds,              // :S
    LostAcknowledgement,  // :K:first, :K:second or :erase
};

struct FaultName {
    std::string_view name;
    FaultKind kind;
    Values values;
    bool oneShot;  // fires once, in a transfer: "@T" may name the transfer
};

constexpr FaultName kFaultNames[] = {
    {"resend", FaultKind::Resend, Values::RecordAndCode, true},
    {"prog-resend", FaultKind::ProgResend, Values::RecordAndCode, true},
    {"fail-erase", FaultKind::FailErase, Values::None, true},
    {"fail-write", FaultKind::FailWrite, Values::Record, true},
    {"reset", FaultKind::Reset, Values::Record, true},
    {"bad-cmd", FaultKind::BadCmd, Values::None, true},
    {"rec-number", FaultKind::RecNumber, Values::Record, true},
    {"bad-type", FaultKind::BadType, Values::None, true},
    {"debug-echo", FaultKind::DebugEcho, Values::None, false},
    {"drop-ack", FaultKind::DropAck, Values::Record, true},
    {"silent-loader", FaultKind::SilentLoader, Values::None, false},
    {"unplug", FaultKind::Unplug, Values::Record, true},
    {"noise", FaultKind::Noise, Values::None, false},
    {"late-greeting", FaultKind::LateGreeting, Values::Seconds, false},
    {"garble", FaultKind::Garble, Values::None, false},
    {"bad-checksum", FaultKind::BadChecksum, Values::None, true},
    {"greet77", FaultKind::Greet77, Values::None, false},
    {"rec-wait", FaultKind::RecWait, Values::None, false},
    {"early-debug", FaultKind::EarlyDebug, Values::None, false},
    {"lost-end-ack", FaultKind::LostEndAck, Values::None, true},
    {"lose-ack", FaultKind::LoseFirstAck, Values::LostAcknowledgement, true},
};

bool parseNumber(std::string_view text, int base, unsigned long max, unsigned long& value) {
    if (text.empty() || text.size() > 10 || !std::isxdigit(static_cast<unsigned char>(text[0])))
        return false;
    const std::string copy(text);
    char* end = nullptr;
    value = std::strtoul(copy.c_str(), &end, base);
    return end == copy.c_str() + copy.size() && value <= max;
}

bool parseCount(std::string_view text, std::uint32_t& value) {
    unsigned long number = 0;
    if (parseNumber(text, 10, 0xFFFFFFFFul, number) && number != 0) {
        value = static_cast<std::uint32_t>(number);
        return true;
    }
    return false;
}

bool isResendCode(unsigned long code) {
    return code == 0x81 || code == 0x82 || code == 0x85 || code == 0x88;
}

std::vector<std::string_view> splitAtColons(std::string_view text) {
    std::vector<std::string_view> parts;
    for (std::string_view rest = text;;) {
        const auto colon = rest.find(':');
        parts.push_back(rest.substr(0, colon));
        if (colon == std::string_view::npos) break;
        rest.remove_prefix(colon + 1);
    }
    return parts;
}

std::size_t valueCount(Values values) {
    switch (values) {
        case Values::None:
            return 0;
        case Values::Record:
        case Values::Seconds:
            return 1;
        case Values::RecordAndCode:
        case Values::LostAcknowledgement:
            return 2;
    }
    return 0;
}

// Reads the values after the name into the fault; returns an error, empty when good.
std::string readValues(const FaultName& entry, const std::vector<std::string_view>& parts,
                       std::string_view text, Fault& fault) {
    const std::string quoted = "fault '" + std::string(text) + "'";
    if (entry.values == Values::LostAcknowledgement) {
        if (parts.size() == 2 && parts[1] == "erase") {
            fault.kind = FaultKind::LoseEraseAck;
            return {};
        }
        if (parts.size() != 3 || !parseCount(parts[1], fault.record) ||
            (parts[2] != "first" && parts[2] != "second"))
            return quoted + " needs :K:first, :K:second or :erase";
        fault.kind = parts[2] == "first" ? FaultKind::LoseFirstAck : FaultKind::LoseSecondAck;
        return {};
    }
    if (parts.size() != valueCount(entry.values) + 1)
        return quoted + " takes " + std::to_string(valueCount(entry.values)) +
               " value(s) after its name";
    unsigned long value = 0;
    switch (entry.values) {
        case Values::None:
        case Values::LostAcknowledgement:
            return {};
        case Values::Seconds:
            if (!parseNumber(parts[1], 10, 3600, value))
                return "late-greeting needs whole seconds from 0 to 3600";
            fault.seconds = static_cast<int>(value);
            return {};
        case Values::Record:
        case Values::RecordAndCode:
            break;
    }
    if (!parseCount(parts[1], fault.record)) return quoted + " needs a record number from 1";
    if (entry.values == Values::RecordAndCode) {
        // The code is hexadecimal, with or without its 0x.
        std::string_view code = parts[2];
        if (code.size() > 2 && code[0] == '0' && (code[1] == 'x' || code[1] == 'X'))
            code.remove_prefix(2);
        if (!parseNumber(code, 16, 0xFF, value) || !isResendCode(value))
            return "resend code must be 0x81, 0x82, 0x85 or 0x88";
        fault.code = static_cast<std::uint8_t>(value);
    }
    return {};
}

}  // namespace

bool FaultPlan::add(std::string_view text, std::string& error) {
    std::string_view body = text;
    std::optional<std::string_view> transfer;
    if (const auto at = body.find('@'); at != std::string_view::npos) {
        transfer = body.substr(at + 1);
        body = body.substr(0, at);
    }
    const auto parts = splitAtColons(body);
    const FaultName* found = nullptr;
    for (const FaultName& entry : kFaultNames)
        if (entry.name == parts.front()) found = &entry;
    if (found == nullptr) {
        error = "unknown fault '" + std::string(text) + "'";
        return false;
    }
    Fault fault{found->kind};
    if (transfer) {
        if (!found->oneShot) {
            error =
                "fault '" + std::string(parts.front()) + "' acts in every transfer and takes no @T";
            return false;
        }
        if (!parseCount(*transfer, fault.transfer)) {
            error = "fault '" + std::string(text) + "' needs a transfer number from 1 after @";
            return false;
        }
    }
    error = readValues(*found, parts, text, fault);
    if (!error.empty()) return false;
    faults_.push_back(fault);
    return true;
}

bool FaultPlan::has(FaultKind kind) const {
    for (const Fault& fault : faults_)
        if (fault.kind == kind) return true;
    return false;
}

const Fault* FaultPlan::take(FaultKind kind, std::uint32_t transfer, std::uint32_t record) {
    for (Fault& fault : faults_) {
        if (fault.kind != kind || fault.spent) continue;
        if (fault.transfer != 0 && fault.transfer != transfer) continue;
        if (fault.record != 0 && fault.record != record) continue;
        fault.spent = true;
        return &fault;
    }
    return nullptr;
}

int FaultPlan::lateGreetingSeconds() const {
    int seconds = 0;
    for (const Fault& fault : faults_)
        if (fault.kind == FaultKind::LateGreeting && fault.seconds > seconds)
            seconds = fault.seconds;
    return seconds;
}

}  // namespace zamel::sim
