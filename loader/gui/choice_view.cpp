#include "choice_view.h"

#include "dialog_controller.h"
#include "dialog_host.h"
#include "keyboard_access.h"
#include "ui_choice_dialog.h"

namespace zamel {

ChoiceView::ChoiceView(DialogController& dialog, DialogHost& host)
    : DialogView(&host), ui_(std::make_unique<::Ui::ChoiceView>()) {
    ui_->setupUi(this);
    for (const std::string& choice : dialog.choices()) {
        if (choice == kCancel) continue;
        auto* button = new QRadioButton(buttonCaption(choice), this);
        // Each button acts on its own; none stays chosen.
        button->setAutoExclusive(false);
        ui_->choiceButtons->addWidget(button);
        connect(button, &QRadioButton::clicked, &host, [&dialog, &host, choice] {
            host.handle([&dialog, &choice] { dialog.choose(choice); });
        });
        choiceButtons_.append(button);
    }
    // The choices come first, as the user reads them.
    if (!choiceButtons_.isEmpty()) {
        setTabOrder(choiceButtons_.back(), ui_->cancelButton);
        choiceButtons_.front()->setFocus();
    }
    connect(ui_->cancelButton, &QPushButton::clicked, &host, &DialogHost::reject);
}

ChoiceView::~ChoiceView() = default;

QAbstractButton* ChoiceView::enterButton() const {
    return choiceButtons_.isEmpty() ? nullptr : choiceButtons_.front();
}

}  // namespace zamel
