#include "buffered_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <utility>

namespace zamel {

BufferedFile::~BufferedFile() { close(); }

BufferedFile::BufferedFile(BufferedFile&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)),
      buffer_(std::move(other.buffer_)),
      begin_(other.begin_),
      end_(other.end_),
      atEnd_(other.atEnd_) {}

BufferedFile& BufferedFile::operator=(BufferedFile&& other) noexcept {
    if (this != &other) {
        close();
        fd_ = std::exchange(other.fd_, -1);
        buffer_ = std::move(other.buffer_);
        begin_ = other.begin_;
        end_ = other.end_;
        atEnd_ = other.atEnd_;
    }
    return *this;
}

bool BufferedFile::open(const std::string& path) {
    close();
    fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd_ < 0) return false;
    struct stat info {};
    // A directory opens but cannot be read; treat it like a missing file.
    if (::fstat(fd_, &info) != 0 || S_ISDIR(info.st_mode)) {
        close();
        return false;
    }
    buffer_.resize(kBufferBytes);
    begin_ = end_ = 0;
    atEnd_ = false;
    return true;
}

void BufferedFile::close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    begin_ = end_ = 0;
    atEnd_ = true;
}

std::uint64_t BufferedFile::size() const {
    struct stat info {};
    if (fd_ < 0 || ::fstat(fd_, &info) != 0 || info.st_size < 0) return 0;
    return static_cast<std::uint64_t>(info.st_size);
}

std::size_t BufferedFile::readAt(std::uint64_t offset, std::span<std::uint8_t> out) const {
    if (fd_ < 0) return 0;
    std::size_t done = 0;
    while (done < out.size()) {
        const ssize_t got =
            ::pread(fd_, out.data() + done, out.size() - done, static_cast<off_t>(offset + done));
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) break;
        done += static_cast<std::size_t>(got);
    }
    return done;
}

bool BufferedFile::rewind() {
    if (fd_ < 0 || ::lseek(fd_, 0, SEEK_SET) != 0) return false;
    begin_ = end_ = 0;
    atEnd_ = false;
    return true;
}

bool BufferedFile::refill() {
    if (fd_ < 0 || atEnd_) return false;
    begin_ = end_ = 0;
    for (;;) {
        const ssize_t got = ::read(fd_, buffer_.data(), buffer_.size());
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) {
            atEnd_ = true;
            return false;
        }
        end_ = static_cast<std::size_t>(got);
        return true;
    }
}

std::optional<std::size_t> BufferedFile::readLine(std::span<char> out) {
    if (begin_ == end_ && !refill()) return std::nullopt;
    std::size_t kept = 0;
    std::size_t lineLength = 0;
    bool endsInCr = false;
    for (;;) {
        const std::uint8_t* start = buffer_.data() + begin_;
        const std::size_t available = end_ - begin_;
        const auto* newline = static_cast<const std::uint8_t*>(std::memchr(start, '\n', available));
        const std::size_t piece = newline ? static_cast<std::size_t>(newline - start) : available;
        if (piece > 0) {
            const std::size_t copied = std::min(piece, out.size() - kept);
            std::memcpy(out.data() + kept, start, copied);
            kept += copied;
            lineLength += piece;
            endsInCr = start[piece - 1] == '\r';
        }
        if (newline) {
            begin_ += piece + 1;
            break;
        }
        begin_ = end_;
        if (!refill()) break;
    }
    // A final CR belongs to the line end, whether or not the line was cut before it.
    if (endsInCr) kept = std::min(kept, lineLength - 1);
    return kept;
}

std::size_t BufferedFile::read(std::span<std::uint8_t> out) {
    std::size_t done = 0;
    while (done < out.size()) {
        if (begin_ == end_ && !refill()) break;
        const std::size_t copied = std::min(out.size() - done, end_ - begin_);
        std::memcpy(out.data() + done, buffer_.data() + begin_, copied);
        begin_ += copied;
        done += copied;
    }
    return done;
}

}  // namespace zamel
