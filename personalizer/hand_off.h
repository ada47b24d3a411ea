#pragma once

#include <chrono>
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
    // The platform's text viewer, looked up on the search path ("xdg-open";
    // Notepad on Windows), and the loader's program file ("zamel", "zamel.exe").
    static const char* const kViewer;
    static const char* const kLoaderName;
    // How long the viewer is watched for a quick failure: xdg-open ends at once
    // when no program stands behind it for text files.
    static constexpr auto kViewerWatch = std::chrono::milliseconds(2000);

    // programDir is the directory of the running program, beside which the
    // build puts the read-me and an install puts the loader; empty when unknown.
    HandOff(std::string workDir, std::string programDir, PersonalizerUi& ui,
            ProcessStarter& starter);

    // Shows the read-me in the viewer found on the search path. When it cannot
    // be shown, the message says where the read-me is.
    bool openReadMe();
    // Starts the loader in the working directory with the code file as its
    // argument (after "--"), so that the loader has it chosen.
    bool startLoader(const std::string& codeFile);

    // ReadMeTagwright.txt in workDir, else the one beside the program, else
    // the installed one; the path in workDir when none exists.
    std::string readMePath() const;
    // The zamel installed beside the program, else the one in workDir: a
    // program of that name in a downloaded firmware folder never comes first.
    // The first of them when neither exists.
    std::string loaderPath() const;

  private:
    std::string startFailureText(const StartResult& result, const std::string& program) const;

    std::string workDir_;
    std::string programDir_;
    PersonalizerUi& ui_;
    ProcessStarter& starter_;
};

}  // namespace tagwright
