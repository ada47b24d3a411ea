#pragma once

#include <string_view>

namespace zamel {

class Ui;

// The kind of file a content check expects.
enum class ContentCheck : int {
    LegacyCode = 0,      // program code for a NAV 415/420
    LegacyDatabase = 1,  // point-of-interest database
    FlashCode = 2,       // S-record program code for a flash-loader receiver
    FlashMap = 3,        // binary base or detail map image
};

inline constexpr char kContentQuestionTitle[] = "WARNING - FIRMWARE PROBLEM";

// Asks whether to go on with a file that does not look like the expected kind;
// true only for OK.
bool askContentQuestion(Ui& ui, ContentCheck kind, std::string_view filePath,
                        std::string_view modelName);

}  // namespace zamel
