#pragma once

#include <string>

#include "personalizer_ui.h"
#include "process_starter.h"

namespace tagwright {

// Hands the user on to programs outside the personalizer: the read-me in the
// desktop's text viewer and the loader, both started without waiting. Every
// failure is reported through the message boxes; the hand-off never throws
// and never blocks. Borrows the ui and the starter, which must outlive it.
class HandOff {
  public:
    static constexpr const char* kReadMeName = "ReadMeTagwright.txt";
    static constexpr const char* kViewer = "xdg-open";
    static constexpr const char* kLoaderName = "zamel";

    // programDir is the directory of the running program, beside which the
    // build puts the read-me and an install puts the loader; empty when unknown.
    HandOff(std::string workDir, std::string programDir, PersonalizerUi& ui,
            ProcessStarter& starter);

    // Shows the read-me in the viewer found on the search path.
    bool openReadMe();
    // Starts the loader with no arguments, in the working directory.
    bool startLoader();

    // ReadMeTagwright.txt in workDir, else the one beside the program, else
    // the installed one; the path in workDir when none exists.
    std::string readMePath() const;
    // zamel in workDir, else the one beside the program; the path in workDir
    // when neither exists.
    std::string loaderPath() const;

  private:
    void reportStartFailure(const StartResult& result, const std::string& program);

    std::string workDir_;
    std::string programDir_;
    PersonalizerUi& ui_;
    ProcessStarter& starter_;
};

}  // namespace tagwright
