#pragma once

#include <QString>
#include <string_view>

class QWidget;

namespace zamel {

// A caption from the core as a button shows it: decoded, with an ampersand of its
// own doubled so it is not taken for a mnemonic.
QString buttonCaption(std::string_view windowsBytes);

// Gives every button of the window that has no mnemonic one, so that each can be
// pressed with Alt and a letter: the first letter or digit of its caption not
// yet taken, word starts first. Mnemonics already set keep their letters.
void addMnemonics(QWidget* window);

// A button's caption without its mnemonic marks, as the user reads it.
QString captionWithoutMnemonic(const QString& text);

}  // namespace zamel
