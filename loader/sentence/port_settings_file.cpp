#include "port_settings_file.h"

#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "file_system.h"

namespace zamel {

namespace {

// The reader takes at most 2, 2 and 8 characters: wider values would come back wrong.
bool fitsItsField(long value, int width) {
    long limit = 1;
    for (int i = 0; i < width; ++i) limit *= 10;
    return value < limit && value > -(limit / 10);
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

    return replaceFile(kPortSettingsFileName,
                       std::string_view(line, static_cast<std::size_t>(length)));
}

}  // namespace zamel
