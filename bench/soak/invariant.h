#pragma once

#include <string>

#include "soak_plan.h"
#include "soak_run.h"

namespace zamel::soak {

enum class Outcome {
    CompleteAndExact,   // reported complete, and the flash holds exactly the images
    FailedWithMessage,  // refused or failed, and the user was told (or gave up waiting)
    FalseSuccess,       // reported complete over a wrong flash or a unit that cannot start
    Silent,             // neither complete nor a word to the user
    Hang,               // the run did not end within its bound
    Broken,             // the run itself failed: crashed, or the receiver did not start
};

struct Verdict {
    Outcome outcome;
    std::string detail;  // for anything but a clean outcome: what was wrong, and where
};

// The one invariant: every upload reported complete left exactly its image(s) in
// the unit's flash (for an old NAV 415/420 after both passes, boot block
// included, and a unit that can start), nothing programmed outside them but the
// pad byte after an odd-length record; every other outcome reached the user as a
// message.
Verdict judgeRun(const SoakPlan& plan, const RunRecord& record);

const char* outcomeName(Outcome outcome);

}  // namespace zamel::soak
