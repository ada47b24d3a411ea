#include "debug_log.h"

#include <cstdarg>

namespace zamel {

DebugLog::DebugLog() : file_(std::fopen(kFileName, "w")) {
    if (file_) std::setvbuf(file_.get(), buffer_.data(), _IOFBF, buffer_.size());
}

void DebugLog::line(const char* format, ...) {
    if (!file_) return;
    va_list args;
    va_start(args, format);
    std::vfprintf(file_.get(), format, args);
    va_end(args);
    std::fputc('\n', file_.get());
}

void DebugLog::lineWithDump(std::span<const std::uint8_t> frame, const char* format, ...) {
    if (!file_) return;
    va_list args;
    va_start(args, format);
    std::vfprintf(file_.get(), format, args);
    va_end(args);
    for (const std::uint8_t byte : frame) std::fprintf(file_.get(), " %02x", byte);
    std::fputc('\n', file_.get());
}

}  // namespace zamel
