#include "flow_fixture.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <thread>

#include "scratch_dir.h"

namespace tagwright::testing {

FirmwareImageBuilder amberImage(std::size_t recordCount, std::uint32_t baseAddress) {
    FirmwareImageBuilder image(recordCount, baseAddress);
    image.placeString(AmberLayout::kTitle, "WARNING!")
        .place(AmberLayout::kTitle + 9, std::string(3, '\0'));
    image.setByte(AmberLayout::kMessage - 1, 0)
        .placeString(AmberLayout::kMessage, kAmberMessage)
        .place(AmberLayout::kMessage + 41, std::string(2, '\0'));
    image.setByte(AmberLayout::kAgree - 1, 0)
        .placeString(AmberLayout::kAgree, "PRESS ENTER TO AGREE");
    image.placeString(AmberLayout::kFrenchTitle, "ATTENTION!")
        .place(AmberLayout::kFrenchTitle + 11, std::string(3, '\0'));
    image.setByte(AmberLayout::kFrenchMessage - 1, 0)
        .placeString(AmberLayout::kFrenchMessage, kFrenchMessage)
        .place(AmberLayout::kFrenchMessage + 36, std::string(2, '\0'));
    image.setByte(AmberLayout::kFrenchAgree - 1, 0)
        .placeString(AmberLayout::kFrenchAgree, "TAPER ENTER POUR VALIDER");
    return image;
}

FirmwareImageBuilder oliveImage() {
    FirmwareImageBuilder image(12);
    image.placeString(40, "WARNING!");
    image.setByte(90, 0).placeString(91, kOliveMessage);
    image.setByte(159, 0).placeString(160, "PRESS ENTER TO AGREE");
    return image;
}

std::string settingsText(const std::string& workDir, int family, int language) {
    const std::string lines[] = {
        "; Tagwright test settings",
        "[Personalized]",
        "CorvathGPS=" + std::to_string(family),
        "Language=" + std::to_string(language),
        "Title=",
        "Message=",
        "Agree=",
        "",
        "[Talvane_Amber_or_Cobalt_or_Harbor]",
        "FactoryFilename=" + workDir + "/tambr312.hex",
        "PersonalizedFilename=" + workDir + "/personal.hex",
        "EnglishTitle=WARNING!",
        "English=All data",
        "EnglishAgree=PRESS ENTER TO AGREE",
        "FrancaisTitle=ATTENTION!",
        "Francais=Donn\xE9"
        "es four",
        "FrancaisAgree=TAPER ENTER POUR VALID",
        "DeutschTitle=WARNUNG!",
        "Deutsch=Alle Daten diene",
        "DeutschAgree=ENTER F\xDC",
        "",
        "[Talvane_Olive]",
        "FactoryFilename=" + workDir + "/tnav312.hex",
        "PersonalizedFilename=" + workDir + "/personal.hex",
        "EnglishTitle=WARNING!",
        "English=All data is provided for",
        "EnglishAgree=PRESS ENTER TO AGREE",
        "",
        "[Plt430]",
        "FactoryFilename=" + workDir + "/vesta209.sre",
        "PersonalizedFilename=" + workDir + "/personal.hex",
        "EnglishTitle=WARNING!",
        "English=All data",
        "EnglishAgree=PRESS ENTER TO AGREE",
    };
    std::string text;
    for (const std::string& line : lines) {
        text += line + "\r\n";
    }
    return text;
}

void prepareWorkDir(const std::string& workDir) {
    writeFile(workDir + "/Tagwright.ini", settingsText(workDir));
    writeFile(workDir + "/tambr312.hex", amberImage().build());
    writeFile(workDir + "/tnav312.hex", oliveImage().build());
    writeFile(workDir + "/ReadMeTagwright.txt", "How to use Tagwright.\r\n");
}

CurrentDirectory::CurrentDirectory(const std::string& dir) {
    char buffer[4096];
    if (::getcwd(buffer, sizeof buffer) != nullptr) {
        previous_ = buffer;
    }
    if (::chdir(dir.c_str()) != 0) {
        std::abort();
    }
}

CurrentDirectory::~CurrentDirectory() {
    if (!previous_.empty() && ::chdir(previous_.c_str()) != 0) {
        std::abort();
    }
}

SearchPath::SearchPath(const std::string& path) {
    const char* previous = std::getenv("PATH");
    hadPath_ = previous != nullptr;
    if (hadPath_) {
        previous_ = previous;
    }
    ::setenv("PATH", path.c_str(), 1);
}

SearchPath::~SearchPath() {
    if (hadPath_) {
        ::setenv("PATH", previous_.c_str(), 1);
    } else {
        ::unsetenv("PATH");
    }
}

void writeRecordingProgram(const std::string& path, const std::string& markerPath) {
    // Shell built-ins only: the tests run it with a PATH of their own.
    writeFile(path,
              "#!/bin/sh\n{ echo \"$PPID\"; echo \"$#\"; for a in \"$@\"; do echo \"$a\"; "
              "done; echo done; } > '" +
                  markerPath + "'\n");
    setMode(path, 0755);
}

void setMode(const std::string& path, unsigned mode) {
    if (::chmod(path.c_str(), mode) != 0) {
        std::abort();
    }
}

std::vector<std::string> waitForRecord(const std::string& markerPath,
                                       std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (std::chrono::steady_clock::now() < deadline) {
        std::ifstream in(markerPath);
        std::vector<std::string> lines;
        for (std::string line; std::getline(in, line);) {
            lines.push_back(line);
        }
        if (!lines.empty() && lines.back() == "done") {
            lines.pop_back();
            return lines;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return {};
}

}  // namespace tagwright::testing
