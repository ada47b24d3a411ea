#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace zamel {

// A file opened for reading its bytes exactly as they are (never a text
// translation), in order or at an offset. Owns the platform's handle; moves but
// never copies.
class InputFile {
  public:
    InputFile() = default;
    ~InputFile();
    InputFile(InputFile&& other) noexcept;
    InputFile& operator=(InputFile&& other) noexcept;
    InputFile(const InputFile&) = delete;
    InputFile& operator=(const InputFile&) = delete;

    // False for a file that is missing or cannot be read, and for a directory;
    // any file open before is closed.
    bool open(const std::string& path);
    void close();
    bool isOpen() const { return handle_ != kClosed; }

    // Length in bytes, 0 when unknown or closed.
    std::uint64_t size() const;
    // Reads at an offset without moving the position; returns the bytes placed.
    std::size_t readAt(std::uint64_t offset, std::span<std::uint8_t> out) const;
    // Reads on from the position; fewer bytes than asked only at the end (0 there).
    std::size_t read(std::span<std::uint8_t> out);
    // Back to the first byte.
    bool rewind();

  private:
    static constexpr std::intptr_t kClosed = -1;
    std::intptr_t handle_ = kClosed;  // a descriptor on POSIX, a HANDLE on Windows
};

// A regular file's size and the time of its last change.
struct FileFacts {
    std::uint64_t size = 0;
    std::int64_t modifiedNs = 0;
};
// Nothing for a path that is missing or is not a regular file.
std::optional<FileFacts> regularFileFacts(const std::string& path);

// Replaces a file in one step: the text goes to a temporary file beside it,
// which is then renamed over it, so a failure leaves the old file as it was.
// The new file gets the mode a plain create would give it. A path that is a
// symbolic link is followed: its file is replaced and the link stays. Where no
// temporary file can be made beside the file (a directory the user may not
// write to), the file is written in place. False when it could not be written.
bool replaceFile(const std::string& path, std::string_view text);

// Empty when the path is a regular file that can be read, else why not, in the
// platform's own words ("No such file or directory", "not a regular file").
std::string unreadableReason(const std::string& path);

}  // namespace zamel
