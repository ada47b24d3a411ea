#include "transcript.h"

namespace zamel::sim {

namespace {

double seconds(SimTime time) { return static_cast<double>(time.count()) / 1e6; }

}  // namespace

bool Transcript::open(const std::string& path) {
    file_.reset(std::fopen(path.c_str(), "w"));
    if (file_) std::setvbuf(file_.get(), nullptr, _IOLBF, 0);
    return file_ != nullptr;
}

void Transcript::byte(SimTime time, const char* direction, std::uint8_t value, long baud,
                      const std::string& state) {
    if (!file_) return;
    std::fprintf(file_.get(), "%12.6f %-4s %02X %6ld %s\n", seconds(time), direction, value, baud,
                 state.c_str());
}

void Transcript::note(SimTime time, const std::string& text) {
    if (!file_) return;
    std::fprintf(file_.get(), "%12.6f # %s\n", seconds(time), text.c_str());
}

}  // namespace zamel::sim
