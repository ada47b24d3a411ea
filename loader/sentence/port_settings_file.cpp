#include "port_settings_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace zamel {

namespace {

// The reader takes at most 2, 2 and 8 characters: wider values would come back wrong.
bool fitsItsField(long value, int width) {
    long limit = 1;
    for (int i = 0; i < width; ++i) limit *= 10;
    return value < limit && value > -(limit / 10);
}

bool writeWhole(int fd, const char* text, int length) {
    return ::write(fd, text, static_cast<std::size_t>(length)) == length;
}

}  // namespace

void readPortSettings(PortSettings& settings) {
    std::FILE* file = std::fopen(kPortSettingsFileName, "r");
    if (file == nullptr) return;
    int classValue = 0;
    int index = 0;
    long rate = 0;
    const int fields = std::fscanf(file, "%2d %2d %8ld", &classValue, &index, &rate);
    std::fclose(file);
    if (fields >= 1) settings.receiverClass = static_cast<ReceiverClass>(classValue);
    if (fields >= 2) settings.comIndex = index;
    if (fields >= 3) settings.baud = static_cast<std::int32_t>(rate);
}

namespace {

// Where the settings go: zamel.cfg, or the file a link of that name leads to, so
// that a link stays a link.
std::string settingsTarget() {
    char resolved[PATH_MAX];
    if (::realpath(kPortSettingsFileName, resolved) != nullptr) return resolved;
    return kPortSettingsFileName;
}

bool isLink(const char* path) {
    struct stat entry {};
    return ::lstat(path, &entry) == 0 && S_ISLNK(entry.st_mode);
}

// Writes the file itself: for a directory that cannot take a temporary file
// beside it, and for a link whose file is not there yet.
bool writeInPlace(const char* path, const char* line, int length) {
    const int fd = ::open(path, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0) return false;
    const bool written = writeWhole(fd, line, length) && ::fsync(fd) == 0;
    return ::close(fd) == 0 && written;
}

}  // namespace

bool writePortSettings(const PortSettings& settings) {
    const int classValue = static_cast<int>(settings.receiverClass);
    if (!fitsItsField(classValue, 2) || !fitsItsField(settings.comIndex, 2) ||
        !fitsItsField(settings.baud, 8)) {
        return false;
    }
    char line[32];
    const int length =
        std::snprintf(line, sizeof line, "%2d %2d %8ld\n", classValue,
                      static_cast<int>(settings.comIndex), static_cast<long>(settings.baud));

    const std::string target = settingsTarget();
    if (target == kPortSettingsFileName && isLink(kPortSettingsFileName))
        return writeInPlace(kPortSettingsFileName, line, length);
    std::string tempName = target + ".XXXXXX";
    const int fd = ::mkstemp(tempName.data());
    if (fd < 0) return writeInPlace(target.c_str(), line, length);
    // mkstemp makes the file private; give it the mode a plain fopen would have.
    const mode_t mask = ::umask(0);
    ::umask(mask);
    bool written =
        ::fchmod(fd, 0666 & ~mask) == 0 && writeWhole(fd, line, length) && ::fsync(fd) == 0;
    written = ::close(fd) == 0 && written;
    if (written && std::rename(tempName.c_str(), target.c_str()) == 0) return true;
    ::unlink(tempName.c_str());
    return false;
}

}  // namespace zamel
