#pragma once

#include <QString>
#include <QWidget>

#include "personalizer_ui.h"

namespace tagwright {

inline constexpr const char* kProgramName = "Tagwright";

// A modal message box captioned with the program's name and showing its icon.
MessageAnswer showTagwrightMessage(QWidget* parent, const QString& text, MessageIcon icon,
                                   MessageButtons buttons = MessageButtons::Ok);

// The personalizer's message boxes in Qt: the core's Windows-1252 texts are
// decoded and their carriage returns become line breaks. Boxes sit over the
// window that is active when they are shown.
class QtPersonalizerUi final : public PersonalizerUi {
  public:
    MessageAnswer showMessage(const std::string& text, MessageIcon icon,
                              MessageButtons buttons = MessageButtons::Ok) override;
    void pumpMessages() override;
};

}  // namespace tagwright
