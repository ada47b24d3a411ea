#include "expert_setup_view.h"

#include "dialog_host.h"
#include "expert_setup_dialog.h"
#include "keyboard_access.h"
#include "ui_expert_setup_dialog.h"
#include "windows1252.h"

namespace zamel {

namespace {

int chosenIndex(const QList<QRadioButton*>& buttons) {
    for (int i = 0; i < buttons.size(); ++i)
        if (buttons[i]->isChecked()) return i;
    return -1;
}

// Checks the button of the index, or none for -1: exclusive buttons can be all
// cleared only while they are not exclusive.
void choose(const QList<QRadioButton*>& buttons, int index) {
    for (int i = 0; i < buttons.size(); ++i) {
        buttons[i]->setAutoExclusive(false);
        buttons[i]->setChecked(i == index);
        buttons[i]->setAutoExclusive(true);
    }
}

}  // namespace

ExpertSetupView::ExpertSetupView(ExpertSetupDialog& dialog, DialogHost& host)
    : DialogView(&host), dialog_(dialog), ui_(std::make_unique<::Ui::ExpertSetupView>()) {
    ui_->setupUi(this);
    ui_->unitGroup->setTitle(fromWindows1252(ExpertSetupDialog::kUnitGroupCaption));
    ui_->portGroup->setTitle(fromWindows1252(ExpertSetupDialog::kPortGroupCaption));
    ui_->expertGroup->setTitle(fromWindows1252(ExpertSetupDialog::kExpertGroupCaption));
    unitButtons_ = {ui_->unitButton0, ui_->unitButton1, ui_->unitButton2,
                    ui_->unitButton3, ui_->unitButton4, ui_->unitButton5};
    portButtons_ = {ui_->portButton0, ui_->portButton1, ui_->portButton2, ui_->portButton3,
                    ui_->portButton4};
    expertButtons_ = {ui_->expertButton0, ui_->expertButton1};
    for (int i = 0; i < unitButtons_.size(); ++i)
        unitButtons_[i]->setText(buttonCaption(ExpertSetupDialog::kUnitChoices[i].caption));
    for (int i = 0; i < portButtons_.size(); ++i)
        portButtons_[i]->setText(buttonCaption(ExpertSetupDialog::kPortCaptions[i]));
    for (int i = 0; i < expertButtons_.size(); ++i)
        expertButtons_[i]->setText(buttonCaption(ExpertSetupDialog::kExpertCaptions[i]));
    ui_->saveButton->setText(buttonCaption(ExpertSetupDialog::kSaveCaption));
    ui_->cancelButton->setText(buttonCaption(ExpertSetupDialog::kCancelCaption));
    ui_->okButton->setText(buttonCaption(ExpertSetupDialog::kOkCaption));
    ui_->baudRatesButton->setText(buttonCaption(ExpertSetupDialog::kBaudRatesCaption));
    ui_->baudRatesButton->setEnabled(dialog_.baudRatesEnabled());
    const QList<QLabel*> deviceLabels = {ui_->portDevice0, ui_->portDevice1, ui_->portDevice2,
                                         ui_->portDevice3};
    for (int i = 0; i < deviceLabels.size(); ++i)
        deviceLabels[i]->setText(QString::fromLocal8Bit(dialog_.portDeviceText(i)));
    ui_->portsPresentList->setText(QString::fromLocal8Bit(dialog_.portsPresentText()));

    connect(ui_->okButton, &QPushButton::clicked, &host, [this, &host] {
        host.handle([this] {
            handChoicesOver();
            dialog_.onOk();
        });
    });
    connect(ui_->saveButton, &QPushButton::clicked, &host, [this, &host] {
        host.handle([this] {
            handChoicesOver();
            dialog_.onSave();
        });
    });
    connect(ui_->cancelButton, &QPushButton::clicked, &host, &DialogHost::reject);
}

ExpertSetupView::~ExpertSetupView() = default;

// Only the controller's choices are shown: after a refused port number the user's
// other choices have been handed over already, so nothing typed is lost.
void ExpertSetupView::refresh() {
    choose(unitButtons_, dialog_.unitChoice());
    choose(portButtons_, dialog_.portChoice());
    choose(expertButtons_, dialog_.expertChoice());
    ui_->portNumberEdit->setText(fromWindows1252(dialog_.portNumberText()));
}

void ExpertSetupView::handChoicesOver() {
    dialog_.setUnitChoice(chosenIndex(unitButtons_));
    dialog_.setPortChoice(chosenIndex(portButtons_));
    dialog_.setExpertChoice(chosenIndex(expertButtons_));
    // A character without a Windows-1252 byte cannot be a digit: it is passed as a
    // character the controller refuses, so the user hears "Please enter an integer.".
    dialog_.setPortNumberText(toWindows1252(ui_->portNumberEdit->text()).value_or("?"));
}

}  // namespace zamel
