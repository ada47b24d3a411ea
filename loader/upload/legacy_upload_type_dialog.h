#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "dialog_controller.h"

namespace zamel {

class ReceiverLink;
class Ui;

// What one NAV 415/420 upload writes.
using LegacyUploadType = std::int32_t;
inline constexpr LegacyUploadType kLegacyCode = 0;
inline constexpr LegacyUploadType kLegacyDatabase = 1;
inline constexpr LegacyUploadType kLegacyCodeAndDatabase = 2;
inline constexpr LegacyUploadType kLegacyNothing = 3;

// "NAV 415/420 - select upload type": each button acts at once. A choice without
// a file chosen yet asks for one; the code choice stands only with a code file,
// while the database choice stands even when its file dialog is cancelled (the
// empty path then fails when the file is opened). The choice marks the upload
// pending in the link and ends the dialog. Borrows the link and the Ui.
class LegacyUploadTypeDialog final : public DialogController {
  public:
    static constexpr const char* kCaption = "NAV 415/420 - select upload type";
    static constexpr const char* kProgramCode = "Program code";
    static constexpr const char* kDatabase = "Database";
    static constexpr const char* kProgramCodeAndDatabase = "Program code and Database";
    static constexpr const char* kCancel = "Cancel";

    LegacyUploadTypeDialog(ReceiverLink& link, Ui& ui) : link_(link), ui_(ui) {}

    std::string caption() const override { return kCaption; }
    void onInit() override {}
    void onTimer(int) override {}
    void onCancel() override;
    std::vector<std::string> choices() const override {
        return {kProgramCode, kDatabase, kProgramCodeAndDatabase, kCancel};
    }
    void choose(const std::string& choice) override;

    // The type chosen; kLegacyNothing until a choice stands.
    LegacyUploadType uploadType() const { return uploadType_; }

  private:
    bool chooseCode();
    void chooseDatabase();
    void standBy(LegacyUploadType type);

    ReceiverLink& link_;
    Ui& ui_;
    LegacyUploadType uploadType_ = kLegacyNothing;
};

// Shows the dialog modally and returns the chosen type.
LegacyUploadType askLegacyUploadType(ReceiverLink& link, Ui& ui);

}  // namespace zamel
