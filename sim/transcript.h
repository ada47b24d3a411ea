#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

#include "line_timing.h"

namespace zamel::sim {

// A text log of every byte that crossed the line: one line per byte with the time
// in seconds, the direction ("in", "drop" for bytes the unit could not take,
// "out"), the byte in hexadecimal, the line rate and the unit's state after it.
// Events are lines starting with "#". Does nothing when not open.
class Transcript {
  public:
    bool open(const std::string& path);

    void byte(SimTime time, const char* direction, std::uint8_t value, long baud,
              const std::string& state);
    void note(SimTime time, const std::string& text);

  private:
    struct Closer {
        void operator()(std::FILE* f) const { std::fclose(f); }
    };
    std::unique_ptr<std::FILE, Closer> file_;
};

}  // namespace zamel::sim
