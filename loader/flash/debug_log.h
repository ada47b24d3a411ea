#pragma once

#include <array>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <span>

namespace zamel {

// DEBUG.OUT in the working directory: one text line per engine event. Opening
// truncates the file, so each engine starts a new log. A log that cannot be
// created stays closed and every write is skipped.
class DebugLog {
  public:
    static constexpr const char* kFileName = "DEBUG.OUT";

    // Opens (and truncates) DEBUG.OUT.
    DebugLog();
    DebugLog(const DebugLog&) = delete;
    DebugLog& operator=(const DebugLog&) = delete;

    bool isOpen() const { return file_ != nullptr; }
    void close() { file_.reset(); }
    // Hands buffered lines to the file, for readers while the engine runs.
    void flush() {
        if (file_) std::fflush(file_.get());
    }

    // One line, printf-style, ended by a line feed.
    void line(const char* format, ...) __attribute__((format(printf, 2, 3)));
    // One line followed, on the same line, by every byte of `frame` as " %02x".
    void lineWithDump(std::span<const std::uint8_t> frame, const char* format, ...)
        __attribute__((format(printf, 3, 4)));

  private:
    // The stream's buffer is ours, so writing a line never allocates.
    std::array<char, BUFSIZ> buffer_{};
    struct FileCloser {
        void operator()(std::FILE* file) const { std::fclose(file); }
    };
    std::unique_ptr<std::FILE, FileCloser> file_;
};

}  // namespace zamel
