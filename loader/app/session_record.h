#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace zamel {

// The receiver the loader last found, as it answered.
struct IdentifiedReceiver {
    bool supported = false;
    std::string modelName;
    std::int32_t firmwareMajor = 0;
    std::int32_t firmwareMinor = 0;
    std::int32_t comIndex = 0;  // 0 for COM1
    std::string device;         // the device COM n led to when it answered, for people
    std::int32_t baud = 0;
};

// How the last upload command ended.
struct UploadOutcome {
    enum class Kind { Completed, NotStarted, NotCompleted };
    Kind kind = Kind::NotStarted;
    std::string text;
    std::int64_t wallMs = 0;  // when it ended
};

// What this run of the loader has learned, for the main window to show.
struct SessionRecord {
    std::optional<IdentifiedReceiver> receiver;
    // Every pass of the last upload command, in order (an automatic upload and a
    // map after code take two).
    std::vector<UploadOutcome> lastUploads;
};

}  // namespace zamel
