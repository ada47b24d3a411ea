#pragma once

#include <cstdint>
#include <optional>

namespace zamel {

class ImageFile;
class Ui;

// Reads an open S-record image whole before anything is sent: a damaged record is
// refused with a message naming the file and the line (title "ERROR"). Returns the
// data bytes an upload of the image sends, or nothing when it was refused. A
// binary image has nothing to check and sends its size.
std::optional<std::uint64_t> checkImageIntegrity(const ImageFile& image, Ui& ui);

}  // namespace zamel
