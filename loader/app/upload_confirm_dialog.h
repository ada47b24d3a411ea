#pragma once

#include <string>
#include <vector>

#include "dialog_controller.h"

namespace zamel {

// "Upload": the automatic upload's question before it starts, with the line that
// says which version or map it brings.
class UploadConfirmDialog final : public DialogController {
  public:
    static constexpr const char* kQuestion = "Proceed with software upload?";
    static constexpr const char* kYes = "YES";
    static constexpr const char* kNo = "NO";

    explicit UploadConfirmDialog(std::string line) : line_(std::move(line)) {}

    std::string caption() const override { return "Upload"; }
    void onInit() override {}
    void onTimer(int) override {}
    void onCancel() override { endDialog(DialogResult::Cancel); }
    std::vector<std::string> choices() const override { return {kYes, kNo}; }
    void choose(const std::string& choice) override {
        endDialog(choice == kYes ? DialogResult::Ok : DialogResult::Cancel);
    }

    const std::string& line() const { return line_; }

  private:
    std::string line_;
};

}  // namespace zamel
