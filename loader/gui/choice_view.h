#pragma once

#include <QList>
#include <memory>

#include "dialog_view.h"

#include <QRadioButton>

namespace Ui {
class ChoiceView;
}

namespace zamel {

class DialogController;
class DialogHost;

// A dialog of choices, such as "Select upload type": each of the controller's
// choices is a radio-style button that acts at once, the default one first and
// pressed by Enter; a choice "Cancel" is the push button below them, and a
// controller that lists none still gets that "Cancel". Any controller without a
// view of its own is shown this way too, so every dialog can at least be cancelled.
class ChoiceView final : public DialogView {
  public:
    static constexpr const char* kCancel = "Cancel";

    ChoiceView(DialogController& dialog, DialogHost& host);
    ~ChoiceView() override;

    void refresh() override {}
    QAbstractButton* enterButton() const override;

  private:
    std::unique_ptr<::Ui::ChoiceView> ui_;
    QList<QRadioButton*> choiceButtons_;
};

}  // namespace zamel
