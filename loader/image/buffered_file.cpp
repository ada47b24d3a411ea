#include "buffered_file.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace zamel {

BufferedFile::~BufferedFile() { close(); }

BufferedFile::BufferedFile(BufferedFile&& other) noexcept
    : file_(std::move(other.file_)),
      buffer_(std::move(other.buffer_)),
      begin_(other.begin_),
      end_(other.end_),
      atEnd_(other.atEnd_) {}

BufferedFile& BufferedFile::operator=(BufferedFile&& other) noexcept {
    if (this != &other) {
        close();
        file_ = std::move(other.file_);
        buffer_ = std::move(other.buffer_);
        begin_ = other.begin_;
        end_ = other.end_;
        atEnd_ = other.atEnd_;
    }
    return *this;
}

bool BufferedFile::open(const std::string& path) {
    close();
    if (!file_.open(path)) return false;
    buffer_.resize(kBufferBytes);
    begin_ = end_ = 0;
    atEnd_ = false;
    return true;
}

void BufferedFile::close() {
    file_.close();
    begin_ = end_ = 0;
    atEnd_ = true;
}

std::uint64_t BufferedFile::size() const { return file_.size(); }

std::size_t BufferedFile::readAt(std::uint64_t offset, std::span<std::uint8_t> out) const {
    return file_.readAt(offset, out);
}

bool BufferedFile::rewind() {
    if (!file_.rewind()) return false;
    begin_ = end_ = 0;
    atEnd_ = false;
    return true;
}

bool BufferedFile::refill() {
    if (!file_.isOpen() || atEnd_) return false;
    begin_ = 0;
    end_ = file_.read(buffer_);
    if (end_ == 0) {
        atEnd_ = true;
        return false;
    }
    return true;
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
