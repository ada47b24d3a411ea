#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "flash_dump.h"
#include "soak_plan.h"
#include "soak_ui.h"

namespace zamel::soak {

// What one run left behind: what the user was told, what the unit's flash holds
// and what the unit said about itself.
struct RunRecord {
    bool receiverStarted = false;
    std::vector<ShownMessage> messages;
    FlashDump flash;
    // receiver-sim's standard error: protocol errors, and the unit that cannot start.
    std::string receiverErrors;
};

// Runs one plan in the current working directory (a fresh one per run): writes
// the files, starts receiver-sim on COM1, runs the loader's commands as the plan's
// user, stops the receiver and reads its flash. log (may be null) gets the dialog.
RunRecord runPlan(const SoakPlan& plan, std::FILE* log);

}  // namespace zamel::soak
