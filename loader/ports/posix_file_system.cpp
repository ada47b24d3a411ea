#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <utility>

#include "file_system.h"

namespace zamel {

InputFile::~InputFile() { close(); }

InputFile::InputFile(InputFile&& other) noexcept : handle_(std::exchange(other.handle_, kClosed)) {}

InputFile& InputFile::operator=(InputFile&& other) noexcept {
    if (this != &other) {
        close();
        handle_ = std::exchange(other.handle_, kClosed);
    }
    return *this;
}

bool InputFile::open(const std::string& path) {
    close();
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    struct stat info {};
    // A directory opens but cannot be read; treat it like a missing file.
    if (::fstat(fd, &info) != 0 || S_ISDIR(info.st_mode)) {
        ::close(fd);
        return false;
    }
    handle_ = fd;
    return true;
}

void InputFile::close() {
    if (isOpen()) ::close(static_cast<int>(handle_));
    handle_ = kClosed;
}

std::uint64_t InputFile::size() const {
    struct stat info {};
    if (!isOpen() || ::fstat(static_cast<int>(handle_), &info) != 0 || info.st_size < 0) return 0;
    return static_cast<std::uint64_t>(info.st_size);
}

std::size_t InputFile::readAt(std::uint64_t offset, std::span<std::uint8_t> out) const {
    if (!isOpen()) return 0;
    std::size_t done = 0;
    while (done < out.size()) {
        const ssize_t got = ::pread(static_cast<int>(handle_), out.data() + done, out.size() - done,
                                    static_cast<off_t>(offset + done));
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) break;
        done += static_cast<std::size_t>(got);
    }
    return done;
}

std::size_t InputFile::read(std::span<std::uint8_t> out) {
    if (!isOpen()) return 0;
    std::size_t done = 0;
    while (done < out.size()) {
        const ssize_t got = ::read(static_cast<int>(handle_), out.data() + done, out.size() - done);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) break;
        done += static_cast<std::size_t>(got);
    }
    return done;
}

bool InputFile::rewind() {
    return isOpen() && ::lseek(static_cast<int>(handle_), 0, SEEK_SET) == 0;
}

std::optional<FileFacts> regularFileFacts(const std::string& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) return std::nullopt;
    return FileFacts{
        static_cast<std::uint64_t>(info.st_size),
        static_cast<std::int64_t>(info.st_mtim.tv_sec) * 1'000'000'000 + info.st_mtim.tv_nsec};
}

namespace {

bool writeWhole(int fd, std::string_view text) {
    return ::write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
}

// Where a file's new content goes: the file itself, or the file a link of that
// name leads to, so that a link stays a link.
std::string replacementTarget(const std::string& path) {
    char resolved[PATH_MAX];
    if (::realpath(path.c_str(), resolved) != nullptr) return resolved;
    return path;
}

bool isLink(const std::string& path) {
    struct stat entry {};
    return ::lstat(path.c_str(), &entry) == 0 && S_ISLNK(entry.st_mode);
}

// Writes the file itself: for a directory that cannot take a temporary file
// beside it, and for a link whose file is not there yet.
bool writeInPlace(const std::string& path, std::string_view text) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0) return false;
    const bool written = writeWhole(fd, text) && ::fsync(fd) == 0;
    return ::close(fd) == 0 && written;
}

}  // namespace

bool replaceFile(const std::string& path, std::string_view text) {
    const std::string target = replacementTarget(path);
    if (target == path && isLink(path)) return writeInPlace(path, text);
    std::string tempName = target + ".XXXXXX";
    const int fd = ::mkstemp(tempName.data());
    if (fd < 0) return writeInPlace(target, text);
    // mkstemp makes the file private; give it the mode a plain fopen would have.
    const mode_t mask = ::umask(0);
    ::umask(mask);
    bool written = ::fchmod(fd, 0666 & ~mask) == 0 && writeWhole(fd, text) && ::fsync(fd) == 0;
    written = ::close(fd) == 0 && written;
    if (written && std::rename(tempName.c_str(), target.c_str()) == 0) return true;
    ::unlink(tempName.c_str());
    return false;
}

std::string unreadableReason(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return std::strerror(errno);
    struct stat node {};
    const bool regular = ::fstat(fd, &node) == 0 && S_ISREG(node.st_mode);
    ::close(fd);
    return regular ? std::string() : "not a regular file";
}

}  // namespace zamel
