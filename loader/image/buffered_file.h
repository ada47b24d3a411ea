#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "file_system.h"

namespace zamel {

// A read-only file with its own large buffer: image files are read line by line
// and in big sequential chunks, and per-character stdio calls would make the
// reader the slow part of an upload. Owns its file; moves but never copies.
class BufferedFile {
  public:
    static constexpr std::size_t kBufferBytes = 1 << 16;

    BufferedFile() = default;
    ~BufferedFile();
    BufferedFile(BufferedFile&& other) noexcept;
    BufferedFile& operator=(BufferedFile&& other) noexcept;
    BufferedFile(const BufferedFile&) = delete;
    BufferedFile& operator=(const BufferedFile&) = delete;

    // Opens for reading; false when the file cannot be opened (any previous file is closed).
    bool open(const std::string& path);
    void close();
    bool isOpen() const { return file_.isOpen(); }

    // Length in bytes, 0 when unknown or closed.
    std::uint64_t size() const;

    // Reads at an absolute offset without moving the sequential position; returns the
    // number of bytes placed (short at the end of the file, 0 on failure).
    std::size_t readAt(std::uint64_t offset, std::span<std::uint8_t> out) const;

    // Sequential reading starts again at the first byte.
    bool rewind();

    // Next line without its line end (LF or CR LF). At most out.size() characters are
    // kept; the rest of a longer line is dropped, so it never turns into a line of its
    // own. Returns the characters kept, nothing at the end of the file.
    std::optional<std::size_t> readLine(std::span<char> out);

    // Up to out.size() bytes from the sequential position; fewer only at the end.
    std::size_t read(std::span<std::uint8_t> out);

  private:
    bool refill();

    InputFile file_;
    std::vector<std::uint8_t> buffer_;
    std::size_t begin_ = 0;
    std::size_t end_ = 0;
    bool atEnd_ = false;
};

}  // namespace zamel
