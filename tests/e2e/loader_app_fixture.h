#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "loader_app.h"
#include "receiver_link.h"
#include "scripted_ui.h"
#include "sim_process.h"
#include "system_clock.h"
#include "work_dir.h"

namespace zamel::testing {

// The loader's application object driven through its commands by a scripted
// user, against a simulated receiver on COM1 of a fresh working directory, in
// real time. The receiver keeps each completed transfer's flash in its own
// numbered dump; a failed test prints both sides' records.
class LoaderAppFixture : public ::testing::Test {
  protected:
    void TearDown() override;

    // Starts receiver-sim with these arguments besides the directory, port, dumps,
    // transcript and a quick erase.
    void startReceiver(std::vector<std::string> arguments);

    // The flash of the n-th completed transfer (from 1). The receiver is stopped
    // first, so every dump it had to write is written.
    std::vector<std::uint8_t> transferred(int n);
    bool transferHappened(int n);

    void setPath(char (&field)[256], const std::string& path);
    void expectStatus(const char* text);

    TempWorkDir dir;
    sim::testing::SimProcess receiver;
    SystemClock clock;
    ScriptedUi ui;
    ReceiverLink link{ui, clock};
    LoaderApp app{link, ui, clock};
};

}  // namespace zamel::testing
