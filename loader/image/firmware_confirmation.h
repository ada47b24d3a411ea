#pragma once

namespace zamel {

class ImageFile;
class ReceiverLink;
class Ui;

inline constexpr char kConfirmTitle[] = "Confirm";
// Added to the question when the file's version is older than the unit's.
inline constexpr char kOlderVersionNote[] = "\n\nTHIS IS AN OLDER VERSION THAN THE UNIT'S!";

// Asks before a code upload overwrites the receiver's firmware, showing the unit's
// version beside the file's. codeImage is an open code image whose version has been
// read, or null to open and check the link's codePath here. Expert uploads skip the
// question. A file without a readable version record is never shown with invented
// numbers: the question then says the new version is unknown. A file older than
// the unit's firmware is said to be so, and Cancel is then the default answer.
bool confirmFirmwareVersion(const ReceiverLink& link, Ui& ui, ImageFile* codeImage = nullptr);

}  // namespace zamel
