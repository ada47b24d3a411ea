#include "expert_setup_dialog.h"

#include <climits>
#include <cstdio>

#include "port_settings_file.h"
#include "receiver_link.h"
#include "ui.h"

namespace zamel {

namespace {

constexpr int kNamedPorts = 4;

bool isBlank(char c) { return c == ' ' || c == '\t'; }

// An integer as the user types it: blanks around it and a sign are allowed, nothing
// else. Its size is bounded so that the port index (number - 1) cannot overflow.
bool readInteger(const std::string& text, std::int32_t& number) {
    std::size_t pos = 0;
    while (pos < text.size() && isBlank(text[pos])) ++pos;
    bool negative = false;
    if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) negative = text[pos++] == '-';
    const std::size_t digitsStart = pos;
    std::int64_t value = 0;
    while (pos < text.size() && text[pos] >= '0' && text[pos] <= '9') {
        value = value * 10 + (text[pos] - '0');
        if (value > INT32_MAX) return false;
        ++pos;
    }
    if (pos == digitsStart) return false;
    while (pos < text.size() && isBlank(text[pos])) ++pos;
    if (pos != text.size()) return false;
    number = static_cast<std::int32_t>(negative ? -value : value);
    return true;
}

}  // namespace

ExpertSetupDialog::ExpertSetupDialog(ReceiverLink& link, Ui& ui)
    : link_(link), ui_(ui), ports_(comPortTable(link.deviceRoot)) {
    for (std::size_t i = 0; i < kUnitChoices.size(); ++i)
        if (kUnitChoices[i].unitType == link_.unitType) unitChoice_ = static_cast<int>(i);
    expertChoice_ = link_.expertUpload ? 1 : 0;
    if (link_.comIndex >= kNamedPorts) {
        portChoice_ = kOtherPortChoice;
        portNumber_ = link_.comIndex + 1;
    } else {
        setPortChoice(link_.comIndex);
    }
    portNumberText_ = std::to_string(portNumber_);
}

std::string ExpertSetupDialog::portDeviceText(int index) const {
    if (index < 0 || static_cast<std::size_t>(index) >= ports_.size()) return "no device";
    return describePort(ports_[static_cast<std::size_t>(index)]);
}

std::string ExpertSetupDialog::portsPresentText() const {
    std::string text;
    for (std::size_t i = 0; i < ports_.size(); ++i) {
        if (ports_[i].origin == PortOrigin::None) continue;
        if (!text.empty()) text += '\n';
        text += "COM" + std::to_string(i + 1) + " " + describePort(ports_[i]);
    }
    return text.empty() ? "No serial port found." : text;
}

void ExpertSetupDialog::setUnitChoice(int choice) {
    unitChoice_ = choice >= 0 && choice < static_cast<int>(kUnitChoices.size()) ? choice : -1;
}

void ExpertSetupDialog::setPortChoice(int choice) {
    portChoice_ = choice >= 0 && choice < static_cast<int>(kPortCaptions.size()) ? choice : -1;
}

void ExpertSetupDialog::setExpertChoice(int choice) {
    expertChoice_ = choice >= 0 && choice < static_cast<int>(kExpertCaptions.size()) ? choice : -1;
}

void ExpertSetupDialog::onOk() {
    if (ended()) return;
    apply();
    close();
}

void ExpertSetupDialog::onSave() {
    if (ended()) return;
    apply();
    if (portChoice_ == kOtherPortChoice && (portNumber_ < 1 || portNumber_ > kHighestSavedPort)) {
        char text[160];
        std::snprintf(text, sizeof text, kPortNotSavedFormat, static_cast<int>(portNumber_));
        ui_.messageBox(text, kNotAnIntegerTitle, MessageButtons::Ok, MessageIcon::Warning);
        return;
    }
    if (!writePortSettings({link_.receiverClass, link_.comIndex, link_.baud})) {
        ui_.messageBox("COULD NOT WRITE\nCONFIGURATION INFO", "ERROR", MessageButtons::Ok,
                       MessageIcon::Information);
    }
    close();
}

void ExpertSetupDialog::choose(const std::string& choice) {
    if (choice == kOkCaption) {
        onOk();
    } else if (choice == kSaveCaption) {
        onSave();
    } else if (choice == kCancelCaption) {
        onCancel();
    }
}

void ExpertSetupDialog::onCancel() {
    if (ended()) return;
    finish(DialogResult::Cancel);
}

void ExpertSetupDialog::apply() {
    if (!readInteger(portNumberText_, portNumber_)) showNotAnInteger();
    link_.expertUpload = expertChoice_ > 0;
    link_.comIndex = portChoice_ == kOtherPortChoice ? portNumber_ - 1 : portChoice_;
    const UnitChoice& unit = unitChoice_ >= 0 ? kUnitChoices[unitChoice_] : kNoUnitChosen;
    link_.receiverClass = unit.receiverClass;
    link_.unitType = unit.unitType;
}

void ExpertSetupDialog::close() {
    std::int32_t number = 0;
    if (!readInteger(portNumberText_, number)) {
        showNotAnInteger();
        return;
    }
    finish(DialogResult::Ok);
}

void ExpertSetupDialog::finish(DialogResult result) {
    // Files chosen for an identified receiver must be chosen again for the expert one.
    if (link_.expertUpload) {
        link_.codeSelected = false;
        link_.dataSelected = false;
    }
    endDialog(result);
}

void ExpertSetupDialog::showNotAnInteger() {
    ui_.messageBox(kNotAnIntegerText, kNotAnIntegerTitle, MessageButtons::Ok, MessageIcon::Warning);
}

}  // namespace zamel
