#pragma once

#include <string>

namespace tagwright {

enum class MessageIcon { Information, Warning, Question, Error };
// YesNo has Yes as its default button; a question that guards against losing
// something defaults to No.
enum class MessageButtons { Ok, YesNo, YesNoDefaultNo };
enum class MessageAnswer { Ok, Yes, No };

// What the personalizer's core asks of the window system: modal message boxes
// captioned with the program's name, and dispatching pending window messages.
// Texts are Windows-1252 bytes; the Qt side converts them for display.
class PersonalizerUi {
  public:
    virtual ~PersonalizerUi() = default;

    virtual MessageAnswer showMessage(const std::string& text, MessageIcon icon,
                                      MessageButtons buttons = MessageButtons::Ok) = 0;
    virtual void pumpMessages() = 0;
};

}  // namespace tagwright
