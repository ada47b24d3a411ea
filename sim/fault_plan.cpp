#include "fault_plan.h"

#include <cctype>
#include <cstdlib>

namespace zamel::sim {

namespace {

struct FaultName {
    std::string_view name;
    FaultKind kind;
    int arguments;  // numbers after the name, separated by ':'
};

constexpr FaultName kFaultNames[] = {
    {"resend", FaultKind::Resend, 2},
    {"prog-resend", FaultKind::ProgResend, 2},
    {"fail-erase", FaultKind::FailErase, 0},
    {"fail-write", FaultKind::FailWrite, 1},
    {"reset", FaultKind::Reset, 1},
    {"bad-cmd", FaultKind::BadCmd, 0},
    {"rec-number", FaultKind::RecNumber, 1},
    {"bad-type", FaultKind::BadType, 0},
    {"debug-echo", FaultKind::DebugEcho, 0},
    {"drop-ack", FaultKind::DropAck, 1},
    {"silent-loader", FaultKind::SilentLoader, 0},
    {"unplug", FaultKind::Unplug, 1},
    {"noise", FaultKind::Noise, 0},
    {"late-greeting", FaultKind::LateGreeting, 1},
    {"garble", FaultKind::Garble, 0},
    {"bad-checksum", FaultKind::BadChecksum, 0},
    {"greet77", FaultKind::Greet77, 0},
    {"rec-wait", FaultKind::RecWait, 0},
    {"early-debug", FaultKind::EarlyDebug, 0},
    {"lost-end-ack", FaultKind::LostEndAck, 0},
};

bool parseNumber(std::string_view text, int base, unsigned long max, unsigned long& value) {
    if (text.empty() || text.size() > 10 || !std::isxdigit(static_cast<unsigned char>(text[0])))
        return false;
    const std::string copy(text);
    char* end = nullptr;
    value = std::strtoul(copy.c_str(), &end, base);
    return end == copy.c_str() + copy.size() && value <= max;
}

bool isResendCode(unsigned long code) {
    return code == 0x81 || code == 0x82 || code == 0x85 || code == 0x88;
}

}  // namespace

bool FaultPlan::add(std::string_view text, std::string& error) {
    std::vector<std::string_view> parts;
    for (std::string_view rest = text;;) {
        const auto colon = rest.find(':');
        parts.push_back(rest.substr(0, colon));
        if (colon == std::string_view::npos) break;
        rest.remove_prefix(colon + 1);
    }
    const FaultName* found = nullptr;
    for (const FaultName& entry : kFaultNames)
        if (entry.name == parts.front()) found = &entry;
    if (found == nullptr) {
        error = "unknown fault '" + std::string(text) + "'";
        return false;
    }
    if (static_cast<int>(parts.size()) != found->arguments + 1) {
        error = "fault '" + std::string(text) + "' takes " + std::to_string(found->arguments) +
                " value(s) after its name";
        return false;
    }
    Fault fault{found->kind};
    unsigned long value = 0;
    if (found->kind == FaultKind::LateGreeting) {
        if (!parseNumber(parts[1], 10, 3600, value)) {
            error = "late-greeting needs whole seconds from 0 to 3600";
            return false;
        }
        fault.seconds = static_cast<int>(value);
    } else if (found->arguments >= 1) {
        if (!parseNumber(parts[1], 10, 0xFFFFFFFFul, value) || value == 0) {
            error = "fault '" + std::string(text) + "' needs a record number from 1";
            return false;
        }
        fault.record = static_cast<std::uint32_t>(value);
    }
    if (found->arguments == 2) {
        // The code is hexadecimal, with or without its 0x.
        std::string_view code = parts[2];
        if (code.size() > 2 && code[0] == '0' && (code[1] == 'x' || code[1] == 'X'))
            code.remove_prefix(2);
        if (!parseNumber(code, 16, 0xFF, value) || !isResendCode(value)) {
            error = "resend code must be 0x81, 0x82, 0x85 or 0x88";
            return false;
        }
        fault.code = static_cast<std::uint8_t>(value);
    }
    faults_.push_back(fault);
    return true;
}

bool FaultPlan::has(FaultKind kind) const {
    for (const Fault& fault : faults_)
        if (fault.kind == kind) return true;
    return false;
}

const Fault* FaultPlan::take(FaultKind kind, std::uint32_t record) {
    for (Fault& fault : faults_) {
        if (fault.kind != kind || fault.spent) continue;
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
