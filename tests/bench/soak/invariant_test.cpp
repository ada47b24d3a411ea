#include "invariant.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace zamel::soak {
namespace {

constexpr auto kInfo = MessageIcon::Information;

ShownMessage status(const char* text) { return {text, "STATUS", kInfo, MessageAnswer::Ok}; }
ShownMessage error(const char* text) {
    return {text, "ERROR", MessageIcon::Stop, MessageAnswer::Ok};
}
const ShownMessage kBootPrompt{"Power on unit to continue loading\nand click OK",
                               "Reload Boot Loader", kInfo, MessageAnswer::Ok};

PlannedFile binary(ImageRole role, std::uint32_t address, std::size_t size, std::string name) {
    PlannedFile file{{role, false, {{address, std::vector<std::uint8_t>(size)}}, ""},
                     std::move(name)};
    for (std::size_t i = 0; i < size; ++i)
        file.image.records[0].bytes[i] = static_cast<std::uint8_t>(i * 7 + 1);
    return file;
}

void write(RunRecord& record, const PlannedFile& file) {
    for (const auto& r : file.image.records)
        for (std::size_t i = 0; i < r.bytes.size(); ++i)
            record.flash.bytes.set(r.address + static_cast<std::uint32_t>(i), r.bytes[i]);
}

SoakPlan talvaneCodeAndMap() {
    SoakPlan plan;
    plan.receiver = Receiver::Talvane;
    plan.code = binary(ImageRole::FlashCode, kFlashCodeLoad, 301, "code.bin");
    plan.data = binary(ImageRole::Map, 0, 99, "map.img");
    return plan;
}

SoakPlan oldNav() {
    SoakPlan plan;
    plan.receiver = Receiver::NavOldFirmware;
    plan.code = binary(ImageRole::LegacyCode, 0, kBootBlockFirst + 40, "code.bin");
    plan.data = binary(ImageRole::LegacyDatabase, kLegacyDatabaseLoad, 64, "nav415wo.bin");
    return plan;
}

struct Case {
    const char* name;
    std::function<SoakPlan()> plan;
    std::vector<ShownMessage> messages;
    std::function<void(const SoakPlan&, RunRecord&)> flash;  // what the unit holds
    Outcome expected;
};

void both(const SoakPlan& plan, RunRecord& record) {
    write(record, *plan.code);
    write(record, *plan.data);
}

TEST(Invariant, JudgesEachOutcomeByWhatTheUserWasToldAndWhatTheFlashHolds) {
    const std::vector<Case> cases = {
        {"both images exact",
         talvaneCodeAndMap,
         {status("Upload of CODE complete"), status("Upload complete")},
         both,
         Outcome::CompleteAndExact},
        {"the pad byte after an odd image",
         talvaneCodeAndMap,
         {status("Upload of CODE complete"), status("Upload complete")},
         [](const SoakPlan& p, RunRecord& r) {
             both(p, r);
             r.flash.bytes.set(kFlashCodeLoad + 301, 0x00);
         },
         Outcome::CompleteAndExact},
        {"a pad byte that is not zero",
         talvaneCodeAndMap,
         {status("Upload of CODE complete"), status("Upload complete")},
         [](const SoakPlan& p, RunRecord& r) {
             both(p, r);
             r.flash.bytes.set(kFlashCodeLoad + 301, 0x5A);
         },
         Outcome::FalseSuccess},
        {"a byte programmed far from the images",
         talvaneCodeAndMap,
         {status("Upload of CODE complete"), status("Upload complete")},
         [](const SoakPlan& p, RunRecord& r) {
             both(p, r);
             r.flash.bytes.set(0x2D000000, 0x00);
         },
         Outcome::FalseSuccess},
        {"one byte of the map wrong",
         talvaneCodeAndMap,
         {status("Upload of CODE complete"), status("Upload complete")},
         [](const SoakPlan& p, RunRecord& r) {
             both(p, r);
             r.flash.bytes.set(98, 0xEE);
         },
         Outcome::FalseSuccess},
        {"the map missing after its failure was told",
         talvaneCodeAndMap,
         {status("Upload of CODE complete"), error("The connection to the receiver was lost.")},
         [](const SoakPlan& p, RunRecord& r) { write(r, *p.code); },
         Outcome::FailedWithMessage},
        {"the code reported complete, missing, then a failure",
         talvaneCodeAndMap,
         {status("Upload of CODE complete"), error("The connection to the receiver was lost.")},
         [](const SoakPlan& p, RunRecord& r) { write(r, *p.data); },
         Outcome::FalseSuccess},
        {"complete as the last word, the map missing",
         talvaneCodeAndMap,
         {error("Error reading map file"), status("Upload of CODE complete")},
         [](const SoakPlan& p, RunRecord& r) { write(r, *p.code); },
         Outcome::FalseSuccess},
        {"a content warning the user cancelled",
         talvaneCodeAndMap,
         {{"code.bin does not appear to contain code for Talvane.  Continue?",
           "WARNING - FIRMWARE PROBLEM", MessageIcon::None, MessageAnswer::Cancel}},
         [](const SoakPlan&, RunRecord&) {},
         Outcome::FailedWithMessage},
        {"a wait the user gave up on",
         talvaneCodeAndMap,
         {{"waiting in \"Determing Upload Protocol\"", SoakUi::kGaveUpTitle, MessageIcon::None,
           MessageAnswer::Cancel}},
         [](const SoakPlan&, RunRecord&) {},
         Outcome::FailedWithMessage},
        {"nothing said, nothing done",
         talvaneCodeAndMap,
         {},
         [](const SoakPlan&, RunRecord&) {},
         Outcome::Silent},
        {"old firmware: first pass without the boot block, then a failure",
         oldNav,
         {status("Upload of CODE complete"), kBootPrompt,
          error("The connection to the receiver was lost.")},
         [](const SoakPlan& p, RunRecord& r) {
             both(p, r);
             for (std::uint32_t a = kBootBlockFirst; a < kBootBlockFirst + 40; ++a)
                 r.flash.bytes.set(a, 0xFF);
         },
         Outcome::FailedWithMessage},
        {"old firmware: both passes reported, the boot block wrong",
         oldNav,
         {status("Upload of CODE complete"), kBootPrompt, status("Upload complete")},
         [](const SoakPlan& p, RunRecord& r) {
             both(p, r);
             r.flash.bytes.set(kBootBlockFirst, 0xFF);
         },
         Outcome::FalseSuccess},
        {"old firmware: the first pass reported, the database short",
         oldNav,
         {status("Upload of CODE complete"), kBootPrompt,
          error("The connection to the receiver was lost.")},
         [](const SoakPlan& p, RunRecord& r) { write(r, *p.code); },
         Outcome::FalseSuccess},
    };
    for (const Case& c : cases) {
        const SoakPlan plan = c.plan();
        RunRecord record;
        record.receiverStarted = true;
        record.messages = c.messages;
        c.flash(plan, record);
        const Verdict verdict = judgeRun(plan, record);
        EXPECT_EQ(outcomeName(verdict.outcome), std::string(outcomeName(c.expected)))
            << c.name << ": " << verdict.detail;
    }
}

TEST(Invariant, AUnitThatCannotStartMakesTheLastReportFalse) {
    const SoakPlan plan = oldNav();
    RunRecord record;
    record.receiverStarted = true;
    record.messages = {status("Upload of CODE complete"), kBootPrompt, status("Upload complete")};
    both(plan, record);
    EXPECT_EQ(judgeRun(plan, record).outcome, Outcome::CompleteAndExact);
    record.receiverErrors =
        "receiver-sim: protocol error: the unit cannot start its firmware: its boot block at "
        "0x70000 was erased and not written again\n";
    const Verdict verdict = judgeRun(plan, record);
    EXPECT_EQ(verdict.outcome, Outcome::FalseSuccess);
    EXPECT_NE(verdict.detail.find("cannot start its firmware"), std::string::npos)
        << verdict.detail;
}

TEST(Invariant, RecordsThatGiveOneAddressTwoValuesCannotBeComplete) {
    SoakPlan plan;
    plan.receiver = Receiver::TalvaneGps;
    plan.code = PlannedFile{{ImageRole::FlashCode,
                             true,
                             {{kFlashCodeLoad, {1, 2, 3, 4}}, {kFlashCodeLoad + 2, {9}}},
                             ""},
                            "code.srec"};
    RunRecord record;
    record.receiverStarted = true;
    record.messages = {status("Upload complete")};
    write(record, *plan.code);
    EXPECT_EQ(judgeRun(plan, record).outcome, Outcome::FalseSuccess);
}

}  // namespace
}  // namespace zamel::soak
