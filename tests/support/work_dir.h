#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace zamel::testing {

// A fresh temporary directory, made the working directory for the object's life.
class TempWorkDir {
  public:
    TempWorkDir();
    ~TempWorkDir();
    TempWorkDir(const TempWorkDir&) = delete;
    TempWorkDir& operator=(const TempWorkDir&) = delete;

    const std::string& path() const { return path_; }
    std::string file(const std::string& name) const { return path_ + "/" + name; }

  private:
    std::string path_;
    std::string previous_;
};

std::vector<std::uint8_t> readWholeFile(const std::string& path);
bool writeWholeFile(const std::string& path, const std::vector<std::uint8_t>& bytes);
bool writeWholeFile(const std::string& path, const std::string& text);

}  // namespace zamel::testing
