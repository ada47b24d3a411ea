#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "transfer_plan.h"

namespace zamel {

class ImageFile;
class Ui;

// What a file is sent as, which decides where it may go.
enum class UploadFileRole { FlashCode, BaseMap, DetailMap, LegacyCode, LegacyDatabase };

// The outcome of checking one file whole before anything is sent. `reason` is a
// sentence for the user ("It holds no data."); `segment` is the file read for the
// engine, cut into records.
struct PreflightResult {
    bool ok = false;
    std::string reason;
    std::uint64_t dataBytes = 0;
    std::optional<TransferSegment> segment;
};

// Where a file of the role is written.
SegmentWindow uploadWindow(UploadFileRole role);
// The boot-block reload: the part of the program code from the boot block to the
// end of the code region.
SegmentWindow bootBlockWindow();

// Checks a file before any receiver is touched: it exists, is a regular readable
// file, is well-formed, holds data and fits where it goes.
PreflightResult preflightUploadFile(const std::string& path, UploadFileRole role);
// The same for an image the caller has open, against any window.
PreflightResult preflightImage(ImageFile& image, const SegmentWindow& window);

// The refusal: the message the user knows first, then the file and the reason, and
// that the receiver was not touched. Title "ERROR", stop icon.
void showPreflightRefusal(Ui& ui, const char* firstLine, const std::string& path,
                          const std::string& reason);

}  // namespace zamel
