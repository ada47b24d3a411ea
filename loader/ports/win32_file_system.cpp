#include <windows.h>

#include <algorithm>
#include <limits>
#include <string>
#include <utility>

#include "file_system.h"

namespace zamel {
namespace {

HANDLE handleOf(std::intptr_t value) { return reinterpret_cast<HANDLE>(value); }

// One ReadFile call takes at most a DWORD's worth.
DWORD chunkOf(std::size_t bytes) {
    return static_cast<DWORD>(std::min<std::size_t>(bytes, std::numeric_limits<DWORD>::max()));
}

}  // namespace

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
    // A directory does not open without backup semantics: it is refused here.
    const HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    handle_ = reinterpret_cast<std::intptr_t>(file);
    return true;
}

void InputFile::close() {
    if (isOpen()) CloseHandle(handleOf(handle_));
    handle_ = kClosed;
}

std::uint64_t InputFile::size() const {
    LARGE_INTEGER length{};
    if (!isOpen() || !GetFileSizeEx(handleOf(handle_), &length) || length.QuadPart < 0) return 0;
    return static_cast<std::uint64_t>(length.QuadPart);
}

std::size_t InputFile::readAt(std::uint64_t offset, std::span<std::uint8_t> out) const {
    if (!isOpen()) return 0;
    // A read at an offset moves the file pointer: it is put back afterwards.
    LARGE_INTEGER position{};
    const LARGE_INTEGER here{};
    if (!SetFilePointerEx(handleOf(handle_), here, &position, FILE_CURRENT)) return 0;
    std::size_t done = 0;
    while (done < out.size()) {
        OVERLAPPED at{};
        const std::uint64_t from = offset + done;
        at.Offset = static_cast<DWORD>(from);
        at.OffsetHigh = static_cast<DWORD>(from >> 32);
        DWORD got = 0;
        if (!ReadFile(handleOf(handle_), out.data() + done, chunkOf(out.size() - done), &got,
                      &at) ||
            got == 0)
            break;
        done += got;
    }
    SetFilePointerEx(handleOf(handle_), position, nullptr, FILE_BEGIN);
    return done;
}

std::size_t InputFile::read(std::span<std::uint8_t> out) {
    if (!isOpen()) return 0;
    std::size_t done = 0;
    while (done < out.size()) {
        DWORD got = 0;
        if (!ReadFile(handleOf(handle_), out.data() + done, chunkOf(out.size() - done), &got,
                      nullptr) ||
            got == 0)
            break;
        done += got;
    }
    return done;
}

bool InputFile::rewind() {
    const LARGE_INTEGER start{};
    return isOpen() && SetFilePointerEx(handleOf(handle_), start, nullptr, FILE_BEGIN);
}

std::optional<FileFacts> regularFileFacts(const std::string& path) {
    WIN32_FILE_ATTRIBUTE_DATA info{};
    if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &info) ||
        (info.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE)) != 0)
        return std::nullopt;
    const std::uint64_t size =
        (static_cast<std::uint64_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
    // File times count 100 ns steps.
    const std::uint64_t ticks =
        (static_cast<std::uint64_t>(info.ftLastWriteTime.dwHighDateTime) << 32) |
        info.ftLastWriteTime.dwLowDateTime;
    return FileFacts{size, static_cast<std::int64_t>(ticks) * 100};
}

namespace {

HANDLE createForWriting(const std::string& path) {
    return CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
}

// Writes the text through to the disk and closes the file.
bool writeAndClose(HANDLE file, std::string_view text) {
    DWORD done = 0;
    const bool written =
        WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &done, nullptr) &&
        done == text.size() && FlushFileBuffers(file);
    return CloseHandle(file) && written;
}

}  // namespace

bool replaceFile(const std::string& path, std::string_view text) {
    const std::string tempName = path + ".new";
    const HANDLE temp = createForWriting(tempName);
    if (temp == INVALID_HANDLE_VALUE) {
        // A directory that cannot take a temporary file beside the file.
        const HANDLE file = createForWriting(path);
        return file != INVALID_HANDLE_VALUE && writeAndClose(file, text);
    }
    // A rename does not replace an existing file here; this move does.
    if (writeAndClose(temp, text) &&
        MoveFileExA(tempName.c_str(), path.c_str(),
                    MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return true;
    DeleteFileA(tempName.c_str());
    return false;
}

std::string unreadableReason(const std::string& path) {
    const HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                    nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        char text[256] = {};
        const DWORD length =
            FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                           GetLastError(), 0, text, sizeof text, nullptr);
        std::string message(text, length);
        while (!message.empty() &&
               (message.back() == '\n' || message.back() == '\r' || message.back() == '.'))
            message.pop_back();
        return message.empty() ? std::string("cannot be opened") : message;
    }
    BY_HANDLE_FILE_INFORMATION info{};
    const bool regular =
        GetFileInformationByHandle(file, &info) &&
        (info.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE)) == 0 &&
        GetFileType(file) == FILE_TYPE_DISK;
    CloseHandle(file);
    return regular ? std::string() : "not a regular file";
}

}  // namespace zamel
