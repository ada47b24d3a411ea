#pragma once

#include <array>
#include <chrono>
#include <functional>
#include <string>

#include "hand_off.h"
#include "personalizer_app.h"
#include "personalizer_ui.h"

namespace tagwright {

// A plain sleep of the window's thread (real) or a record of it (tests).
using Pause = std::function<void(std::chrono::milliseconds)>;

// The toolkit-free half of the Tagwright window: the check marks of the family
// and language buttons, the texts and captions of the three text groups and
// the handlers of every control. A view shows these values after each handler
// and closes the window once ended() is set. Borrows the app, the ui and the
// hand-off, which must outlive it.
class PersonalizerDialog {
  public:
    static constexpr int kFamilyCount = 3;
    static constexpr int kLanguageCount = 9;
    static constexpr int kGroupCount = 3;  // Title, Message, Agree
    static constexpr auto kLoaderStartPause = std::chrono::milliseconds(1000);
    static constexpr const char* kUnsavedQuestion =
        "Your texts have changed and are not saved.\r\rExit without saving them?";

    using Texts = std::array<std::string, kGroupCount>;

    PersonalizerDialog(PersonalizerApp& app, PersonalizerUi& ui, HandOff& handOff, Pause pause);

    // Window start: checks the buttons of the settings' family and language
    // and shows the three groups.
    void onInit();
    // family is the CorvathGPS value of the button: 0, 1 or 2.
    void onFamilyChosen(int family);
    // language is the Language value of the button: 0 to 8.
    void onLanguageChosen(int language);
    // texts are the three personal fields as Windows-1252 bytes, in group
    // order, with line breaks as carriage return and line feed. Does nothing
    // while saving is off (see saveEnabled).
    void onSaveChanges(const Texts& texts);
    // With unsaved edits the user is asked first; the window stays open
    // (ended() clear) unless the answer is Yes.
    void onExit(bool unsavedEdits);
    void onHelp();

    // Whether the fields hold anything other than the texts last shown.
    bool hasUnsavedEdits(const Texts& texts) const;
    // "Save Changes" is offered only while all three factory texts are found
    // in the firmware: saving without them would write the factory firmware
    // unchanged under the personalized name.
    bool saveEnabled() const;
    // Why saving is off, naming the texts not found; empty while it is on.
    std::string saveBlockedText() const;
    // What is left of a group's room when its field holds `used` characters
    // (a line break counting two).
    std::string charactersLeftText(int group, int used) const;

    bool ended() const { return ended_; }

    bool familyChecked(int family) const;
    bool languageChecked(int language) const;
    const std::string& factoryText(int group) const;
    std::string caption(int group) const;
    const std::string& personalText(int group) const;
    // How many characters the user may type into a group's field, a line break
    // counting as two: the room the firmware has, within what the settings
    // file keeps, and none for a group whose text was not found.
    int editLimit(int group) const;

  private:
    void refreshGroups();
    bool writeSetting(const char* key, const std::string& value);
    bool groupFound(int group) const;
    void askToStartLoader();

    PersonalizerApp& app_;
    PersonalizerUi& ui_;
    HandOff& handOff_;
    Pause pause_;
    std::array<bool, kFamilyCount> familyChecked_{};
    std::array<bool, kLanguageCount> languageChecked_{};
    bool ended_ = false;
};

}  // namespace tagwright
