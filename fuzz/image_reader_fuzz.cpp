// A file's bytes in, blocks out: the reader must neither crash, overrun its
// buffer, nor fail to end on any file.
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "image_file.h"

namespace {

// The bytes as a file reachable by path, without touching the disk.
std::string memoryFile(const std::uint8_t* data, std::size_t size, int& fd) {
    fd = memfd_create("image", 0);
    if (fd < 0) return {};
    std::size_t done = 0;
    while (done < size) {
        const ssize_t put = write(fd, data + done, size - done);
        if (put <= 0) break;
        done += static_cast<std::size_t>(put);
    }
    return "/proc/self/fd/" + std::to_string(fd);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    int fd = -1;
    const std::string path = memoryFile(data, size, fd);
    if (path.empty()) return 0;
    {
        zamel::ImageFile image(path);
        // The request size comes from the input too, so small and odd sizes are met.
        const std::int32_t maxLength = size > 0 ? 1 + data[size - 1] * 8 : 1980;
        std::vector<std::uint8_t> buffer(zamel::ImageFile::blockCapacity(maxLength));
        std::uint32_t address = 0;
        // Every call consumes a line or ends, so this bound is never reached by a sound reader.
        for (std::size_t calls = 0; calls <= size + 1; ++calls) {
            const std::int16_t got = image.readBlock(buffer, maxLength, address);
            if (got < 1) break;
            if (static_cast<std::size_t>(got) > buffer.size()) __builtin_trap();
            if (!image.isSRecord) address += static_cast<std::uint32_t>(got);
        }
    }
    close(fd);
    return 0;
}
