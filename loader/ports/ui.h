#pragma once

#include <optional>
#include <string>

namespace zamel {

class DialogController;

// Buttons, icons and answers of the loader's message boxes. The first button is
// the default one (Enter), except in OkCancelDefaultCancel: a question that guards
// against a wrong file or lost data has Cancel as its default, and a Ui with no
// one to ask answers it with Cancel.
enum class MessageButtons { Ok, OkCancel, YesNo, OkCancelDefaultCancel };
enum class MessageIcon { None, Information, Warning, Question, Stop };
enum class MessageAnswer { Ok, Cancel, Yes, No };
enum class DialogResult { Ok, Cancel };

// Everything the loader's core asks of the windowing system. The core holds a
// reference to one Ui; the Qt program passes its window-backed implementation,
// tests pass a ScriptedUi. Texts are Windows-1252 bytes, as the core keeps them.
class Ui {
  public:
    virtual ~Ui() = default;

    virtual MessageAnswer messageBox(const std::string& text, const std::string& title,
                                     MessageButtons buttons, MessageIcon icon) = 0;

    // filter is a list of "description|pattern" pairs separated by '|'.
    virtual std::optional<std::string> openFile(const std::string& title,
                                                const std::string& defaultExt,
                                                const std::string& filter,
                                                const std::string& defaultName) = 0;

    // Runs a dialog controller modally: calls onInit, then delivers its timer
    // ticks and the user's Cancel until the controller ends itself.
    virtual DialogResult runModal(DialogController& controller) = 0;

    virtual void setStatusPane(const std::string& text) = 0;
    virtual void quit() = 0;
    virtual void pumpMessages() = 0;
};

}  // namespace zamel
