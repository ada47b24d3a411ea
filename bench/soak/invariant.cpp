#include "invariant.h"

#include <cstdio>
#include <set>
#include <vector>

namespace zamel::soak {

namespace {

enum class Event { Completion, Failure, BootBlockPrompt, Other };

bool endsWith(const std::string& text, const std::string& end) {
    return text.size() >= end.size() &&
           text.compare(text.size() - end.size(), end.size(), end) == 0;
}

// Messages that belong to an upload going its ordinary way: questions answered
// yes and prompts to go on. Any other message tells the user of a refusal or a
// failure, whatever its title.
bool ordinary(const ShownMessage& m) {
    static const std::set<std::string> titles = {"Confirm",           "REMINDER",
                                                 "CONTINUE UPLOAD",   "CONTINUE AUTO UPLOAD",
                                                 "MAP415/420 UPLOAD", "Database"};
    return titles.count(m.title) > 0 ||
           (m.title == "WARNING - FIRMWARE PROBLEM" && m.answer == MessageAnswer::Ok);
}

Event eventOf(const ShownMessage& m) {
    if (m.title == "STATUS" && m.text.rfind("Upload", 0) == 0 && endsWith(m.text, "complete"))
        return Event::Completion;
    if (m.title == "Reload Boot Loader") return Event::BootBlockPrompt;
    return ordinary(m) ? Event::Other : Event::Failure;
}

std::string hex(const char* format, std::uint32_t a, unsigned b = 0, unsigned c = 0) {
    char text[96];
    std::snprintf(text, sizeof text, format, a, b, c);
    return text;
}

// The part of an image a report vouches for: all of it, or all but the boot
// block, which an old NAV 415/420 gets in its second pass.
struct Claim {
    const PlannedFile* file;
    bool withoutBootBlock;
};

// Empty when the flash holds the claimed bytes, else what is wrong.
std::string checkClaim(const Claim& claim, const SparseBytes& flash) {
    bool conflicting = false;
    const SparseBytes image = claim.file->image.flashImage(conflicting);
    const std::string name = claim.file->fileName;
    if (conflicting) return name + " gives one address two values: no flash can hold it";
    std::string problem;
    image.forEach([&](std::uint32_t address, std::uint8_t expected) {
        if (!problem.empty()) return;
        if (claim.withoutBootBlock && address >= kBootBlockFirst && address <= kBootBlockLast)
            return;
        const auto held = flash.at(address);
        if (!held) {
            problem = name + hex(": 0x%08X was never written", address);
        } else if (*held != expected) {
            problem =
                name + hex(": 0x%08X holds 0x%02X, the image 0x%02X", address, *held, expected);
        }
    });
    return problem;
}

// Empty when nothing but the images and their pad bytes was programmed.
std::string checkNothingElse(const SoakPlan& plan, const SparseBytes& flash) {
    std::vector<SparseBytes> images;
    for (const auto* file : {&plan.code, &plan.data}) {
        bool conflicting = false;
        if (*file) images.push_back((*file)->image.flashImage(conflicting));
    }
    auto inImages = [&](std::uint32_t address) {
        for (const auto& image : images)
            if (image.has(address)) return true;
        return false;
    };
    std::string problem;
    flash.forEach([&](std::uint32_t address, std::uint8_t value) {
        if (!problem.empty() || inImages(address)) return;
        if (value == 0x00 && address > 0 && inImages(address - 1)) return;  // an odd record's pad
        problem = hex("0x%08X was programmed (0x%02X) outside the images", address, value);
    });
    return problem;
}

// What the n-th report vouches for, by its words and what came before it.
std::vector<Claim> claimsOf(const SoakPlan& plan, const std::string& text, bool afterBootPrompt) {
    std::vector<Claim> claims;
    auto add = [&](const std::optional<PlannedFile>& file, bool withoutBootBlock) {
        if (file) claims.push_back({&*file, withoutBootBlock});
    };
    if (plan.legacy()) {
        if (text == "Upload of DATABASE complete") {
            add(plan.data, false);
        } else {
            const bool firstPass = plan.bootBlockPass() && !afterBootPrompt;
            add(plan.code, firstPass);
            add(plan.data, false);
        }
    } else if (text == "Upload of CODE complete") {
        add(plan.code, false);
    } else if (text != "Upload complete" || plan.data) {
        add(plan.data, false);  // a map; "Upload complete" after code is the map that follows it
    } else {
        add(plan.code, false);
    }
    return claims;
}

}  // namespace

Verdict judgeRun(const SoakPlan& plan, const RunRecord& record) {
    if (!record.receiverStarted) return {Outcome::Broken, "receiver-sim did not start"};
    if (record.flash.damagedLines > 0) return {Outcome::Broken, "the flash dump is damaged"};
    std::vector<std::pair<std::size_t, bool>> completions;  // message index, after the boot prompt
    bool bootPrompt = false;
    bool failedLast = false;
    bool failed = false;
    for (std::size_t i = 0; i < record.messages.size(); ++i) {
        switch (eventOf(record.messages[i])) {
            case Event::Completion:
                completions.push_back({i, bootPrompt});
                failedLast = false;
                break;
            case Event::Failure:
                failed = failedLast = true;
                break;
            case Event::BootBlockPrompt:
                bootPrompt = true;
                break;
            case Event::Other:
                break;
        }
    }
    if (completions.empty())
        return failed ? Verdict{Outcome::FailedWithMessage, {}}
                      : Verdict{Outcome::Silent, "the loader ended without a word to the user"};

    // Ended on a report of completion: the user takes it that everything is in.
    const bool endedComplete = !failedLast;
    std::vector<std::pair<std::string, std::vector<Claim>>> reports;
    if (endedComplete) {
        std::vector<Claim> all;
        if (plan.code) all.push_back({&*plan.code, false});
        if (plan.data) all.push_back({&*plan.data, false});
        reports.push_back(
            {record.messages[completions.back().first].text + " (the last word)", all});
    } else {
        for (const auto& [index, afterPrompt] : completions)
            reports.push_back({record.messages[index].text,
                               claimsOf(plan, record.messages[index].text, afterPrompt)});
    }
    for (const auto& [text, claims] : reports)
        for (const Claim& claim : claims)
            if (const std::string problem = checkClaim(claim, record.flash.bytes); !problem.empty())
                return {Outcome::FalseSuccess, "\"" + text + "\" but " + problem};
    if (const std::string problem = checkNothingElse(plan, record.flash.bytes); !problem.empty())
        return {Outcome::FalseSuccess, "\"" + reports.back().first + "\" but " + problem};
    if (endedComplete) {
        const std::string cannotStart = "cannot start its firmware";
        if (const auto at = record.receiverErrors.find(cannotStart); at != std::string::npos) {
            const auto lineEnd = record.receiverErrors.find('\n', at);
            return {Outcome::FalseSuccess, "\"" + reports.back().first + "\" but the unit " +
                                               record.receiverErrors.substr(at, lineEnd - at)};
        }
        return {Outcome::CompleteAndExact, {}};
    }
    return {Outcome::FailedWithMessage, {}};
}

const char* outcomeName(Outcome outcome) {
    switch (outcome) {
        case Outcome::CompleteAndExact:
            return "complete and exact";
        case Outcome::FailedWithMessage:
            return "refused or failed with a message";
        case Outcome::FalseSuccess:
            return "false success";
        case Outcome::Silent:
            return "silent";
        case Outcome::Hang:
            return "hang";
        case Outcome::Broken:
            return "broken run";
    }
    return "?";
}

}  // namespace zamel::soak
