#pragma once

#include <string>
#include <vector>

#include "dialog_controller.h"
#include "flash_upload_type.h"

namespace zamel {

class ReceiverLink;
class Ui;

// "Select upload type" of the flash receivers: each choice picks what to upload,
// asks for the file when none is chosen yet, marks the upload pending in the link
// and ends the dialog. Borrows the link and the Ui.
class FlashUploadTypeDialog final : public DialogController {
  public:
    static constexpr const char* kProgramCodeOnly = "Program Code Only";
    static constexpr const char* kBaseMapOnly = "Base Map Only";
    static constexpr const char* kProgramCodeAndBaseMap = "Program Code and Base Map";
    static constexpr const char* kDetailMapOnly = "Detail Map Only";
    static constexpr const char* kProgramDetailMapOnly = "Program Detail Map Only";
    static constexpr const char* kCancel = "Cancel";

    FlashUploadTypeDialog(FlashVariant variant, ReceiverLink& link, Ui& ui);

    std::string caption() const override { return "Select upload type"; }
    void onInit() override {}
    void onTimer(int) override {}
    void onCancel() override;
    std::vector<std::string> choices() const override;
    void choose(const std::string& choice) override;

    // The type chosen; the variant's cancelled value until a choice stands.
    FlashUploadType uploadType() const { return uploadType_; }

  private:
    bool chooseCode();
    void chooseBaseMap();
    bool chooseDetailMap();
    void standBy(FlashUploadType type);

    FlashVariant variant_;
    ReceiverLink& link_;
    Ui& ui_;
    FlashUploadType uploadType_;
};

// Shows the dialog modally and returns the chosen type.
FlashUploadType askFlashUploadType(FlashVariant variant, ReceiverLink& link, Ui& ui);

}  // namespace zamel
