#pragma once

#include <cstdint>
#include <string>

namespace zamel {

class LoaderApp;
class Ui;

// The texts of the main window's status view: the code and data files chosen with
// the version or map name read from them, the receiver last identified, expert
// mode, and how each pass of the last upload command ended. Everything is read
// afresh from the application when asked; a file's contents only again when its
// path, size or modification time changed. Borrows the application and the Ui
// (whose questions the silent file checks never ask).
class MainWindowStatus {
  public:
    static constexpr const char* kNoFile = "none chosen";
    static constexpr const char* kNoReceiver = "none identified yet";
    static constexpr const char* kNoUpload = "none yet";
    static constexpr const char* kExpertOff = "off";

    MainWindowStatus(const LoaderApp& app, Ui& ui);

    std::string codeFileText();
    std::string dataFileText();
    std::string receiverText() const;
    std::string portText() const;
    std::string expertText() const;
    // One line a pass, each with the local time it ended.
    std::string lastUploadText() const;
    // The last pass of the last upload command did not complete (an upload that
    // never started is no cause for alarm).
    bool lastUploadFailed() const;

  private:
    // The last file described and what was found in it.
    struct DescribedFile {
        std::string path;
        std::int64_t size = -1;
        std::int64_t modifiedNs = -1;
        std::string description;
    };

    // The path with what was read from the file, from `last` while it is unchanged.
    std::string describe(const std::string& path, bool code, DescribedFile& last);
    std::string readCodeFile(const std::string& path);

    const LoaderApp& app_;
    Ui& ui_;
    DescribedFile code_;
    DescribedFile data_;
};

}  // namespace zamel
