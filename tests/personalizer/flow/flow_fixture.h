#pragma once

#include <chrono>
#include <cstddef>
#include <string>
#include <vector>

#include "firmware_image_builder.h"
#include "process_starter.h"

namespace tagwright::testing {

// Where the factory images of these tests hold their start-up texts, as data
// offsets, and how much room the patcher finds for each.
struct AmberLayout {
    static constexpr std::size_t kTitle = 20;  // "WARNING!", four zero bytes behind
    static constexpr int kTitleLimit = 11;
    static constexpr std::size_t kMessage = 61;  // after a zero, two spare zeros behind
    static constexpr int kMessageLimit = 42;
    static constexpr std::size_t kAgree = 160;
    static constexpr int kAgreeLimit = 20;
    static constexpr std::size_t kFrenchTitle = 200;
    static constexpr int kFrenchTitleLimit = 13;
    static constexpr std::size_t kFrenchMessage = 240;
    static constexpr int kFrenchMessageLimit = 37;
    static constexpr std::size_t kFrenchAgree = 296;  // cut by a record boundary
    static constexpr int kFrenchAgreeLimit = 24;
};

inline constexpr const char* kAmberMessage = "All data is provided for reference only.";
inline constexpr const char* kFrenchMessage =
    "Donn\xE9"
    "es fournies \xE0 titre indicatif.";
inline constexpr const char* kOliveMessage = "All data is provided for your info.";

// The factory image of the first family, with English and French texts; by
// default 20 records from 0x1000.
FirmwareImageBuilder amberImage(std::size_t recordCount = 20, std::uint32_t baseAddress = 0x1000);
// The factory image of the Talvane Olive family, English texts only; its
// disclaimer is cut by a record boundary after "All data ".
FirmwareImageBuilder oliveImage();

// A settings file for workDir: the first family with English, French and
// German search texts, the Olive family with English, and a Plt430 section
// whose factory file the tests never create. CR LF line ends.
std::string settingsText(const std::string& workDir, int family = 0, int language = 0);

// Writes the settings, both factory images and the read-me into workDir.
void prepareWorkDir(const std::string& workDir);

// Makes dir the working directory for the object's life.
class CurrentDirectory {
  public:
    explicit CurrentDirectory(const std::string& dir);
    ~CurrentDirectory();
    CurrentDirectory(const CurrentDirectory&) = delete;
    CurrentDirectory& operator=(const CurrentDirectory&) = delete;

  private:
    std::string previous_;
};

// Sets PATH for the object's life.
class SearchPath {
  public:
    explicit SearchPath(const std::string& path);
    ~SearchPath();
    SearchPath(const SearchPath&) = delete;
    SearchPath& operator=(const SearchPath&) = delete;

  private:
    std::string previous_;
    bool hadPath_;
};

// Writes a shell script at path that records its parent's process id, its
// argument count and its arguments in markerPath, one a line, then "done".
void writeRecordingProgram(const std::string& path, const std::string& markerPath);
void setMode(const std::string& path, unsigned mode);

// The lines a recording program wrote, once it has finished writing them;
// empty when it has not within the timeout.
std::vector<std::string> waitForRecord(const std::string& markerPath,
                                       std::chrono::milliseconds timeout);

// A ProcessStarter that records each start and answers with a set result.
class RecordingStarter final : public ProcessStarter {
  public:
    struct Start {
        std::string program;
        std::vector<std::string> arguments;
        std::chrono::milliseconds watch;
    };

    using ProcessStarter::start;
    StartResult start(const std::string& program, const std::vector<std::string>& arguments,
                      std::chrono::milliseconds watch) override {
        starts.push_back({program, arguments, watch});
        return result;
    }

    std::vector<Start> starts;
    StartResult result;
};

}  // namespace tagwright::testing
