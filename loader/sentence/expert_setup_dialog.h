#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "dialog_controller.h"
#include "receiver_model_table.h"
#include "serial_port_map.h"

namespace zamel {

class ReceiverLink;

// "Expert Setup": the user describes a receiver already in its upload mode by hand
// (unit type, serial port, whether "Expert Upload" is on). "OK" and "Save" apply the
// choices to the link at once; "Save" also writes zamel.cfg. The dialog has no timer:
// its view reads the captions and choices below, passes the user's choices to the
// setters and calls onOk, onSave or onCancel (or choose with the button's caption).
// Borrows the link and the Ui.
class ExpertSetupDialog final : public DialogController {
  public:
    struct UnitChoice {
        const char* caption;
        ReceiverClass receiverClass;
        UnitType unitType;
    };
    // The "Unit Type" radio buttons, in order, and what each sets in the link.
    static constexpr std::array<UnitChoice, 6> kUnitChoices{{
        {"NAV 415/420", ReceiverClass::Legacy, 2},
        {"PLT 430", ReceiverClass::FlashMapping, 5},
        {"Talvane GPS", ReceiverClass::FlashPlain, 6},
        {"Talvane", ReceiverClass::FlashMapping, 7},
        {"Trailix", ReceiverClass::PoiOnly, 10},
        {"Trailix Map/Pro", ReceiverClass::FlashMapping, 9},
    }};
    // Applied when no unit button is chosen.
    static constexpr UnitChoice kNoUnitChosen{"", ReceiverClass::FlashMapping, 5};
    static constexpr std::array<const char*, 5> kPortCaptions{"COM 1", "COM 2", "COM 3", "COM 4",
                                                              "COM"};
    // The "COM" button, whose port number is typed in the edit field beside it.
    static constexpr int kOtherPortChoice = 4;
    static constexpr std::array<const char*, 2> kExpertCaptions{"Off", "On"};

    static constexpr const char* kUnitGroupCaption = "Unit Type";
    static constexpr const char* kPortGroupCaption = "Com Port";
    static constexpr const char* kExpertGroupCaption = "Expert Upload";
    static constexpr const char* kSaveCaption = "Save";
    static constexpr const char* kCancelCaption = "Cancel";
    static constexpr const char* kOkCaption = "OK";
    static constexpr const char* kBaudRatesCaption = "Non-Standard Baud Rates";
    static constexpr const char* kNotAnIntegerText = "Please enter an integer.";
    static constexpr const char* kNotAnIntegerTitle = "Expert Setup";
    // zamel.cfg keeps a port index of at most two digits.
    static constexpr std::int32_t kHighestSavedPort = 100;
    static constexpr const char* kPortNotSavedFormat =
        "COM %d cannot be saved: zamel.cfg keeps COM 1 to COM 100.\nPlease enter a port "
        "number from 1 to 100.";

    // Fills the choices from the link and looks at the serial ports present.
    ExpertSetupDialog(ReceiverLink& link, Ui& ui);

    std::string caption() const override { return "Expert Setup"; }
    void onInit() override {}
    void onTimer(int) override {}
    // "Cancel" (or Escape): closes without applying.
    void onCancel() override;
    // "OK" (or Enter): applies, then closes unless the port number field is not an integer.
    // An integer here is an optional sign and decimal digits, blanks allowed around them,
    // of at most 2147483647 in size; anything else gets "Please enter an integer.".
    void onOk();
    // Applies, writes zamel.cfg, then closes as "OK" does. A "COM" port number that
    // the file cannot keep is refused with its own message, and the dialog stays open.
    void onSave();
    // The buttons by caption, "OK" (the default) first, for hosts that press them by name.
    std::vector<std::string> choices() const override {
        return {kOkCaption, kSaveCaption, kCancelCaption};
    }
    void choose(const std::string& choice) override;

    // Chosen radio button of each group; -1 when none is chosen.
    int unitChoice() const { return unitChoice_; }
    int portChoice() const { return portChoice_; }
    int expertChoice() const { return expertChoice_; }
    // The edit field beside "COM".
    const std::string& portNumberText() const { return portNumberText_; }
    // The device behind "COM 1" to "COM 4" (index 0 to 3), as of the dialog's opening.
    std::string portDeviceText(int index) const;
    // Every COM number with a device behind it, one line each ("COM5 /dev/ttyS0
    // (built-in serial port)"), or a line saying there is none.
    std::string portsPresentText() const;

    // "Non-Standard Baud Rates" is shown but nothing enables it.
    bool baudRatesEnabled() const { return false; }

    // Out-of-range indices choose no button.
    void setUnitChoice(int choice);
    void setPortChoice(int choice);
    void setExpertChoice(int choice);
    void setPortNumberText(std::string text) { portNumberText_ = std::move(text); }

  private:
    void apply();
    void close();
    void finish(DialogResult result);
    void showNotAnInteger();

    ReceiverLink& link_;
    Ui& ui_;
    int unitChoice_ = 0;
    int portChoice_ = 0;
    int expertChoice_ = 0;
    std::int32_t portNumber_ = 0;
    std::string portNumberText_;
    std::vector<PortMapping> ports_;
};

}  // namespace zamel
