#pragma once

#include <string>
#include <vector>

#include "dialog_controller.h"

namespace zamel {

class Ui;

// "UPLOAD FILE": shows the file an upload is about to send and lets the user go
// on with it, pick another one, or stop. The name is only shown, never read back.
class UploadFileDialog final : public DialogController {
  public:
    enum class Answer { UploadFile, ChangeFile, Cancel };
    static constexpr const char* kUploadFile = "Upload File";
    static constexpr const char* kChangeFile = "Change file";
    static constexpr const char* kCancel = "Cancel";

    explicit UploadFileDialog(std::string fileName) : fileName_(std::move(fileName)) {}

    std::string caption() const override { return "UPLOAD FILE"; }
    void onInit() override {}
    void onTimer(int) override {}
    void onCancel() override;
    std::vector<std::string> choices() const override {
        return {kUploadFile, kChangeFile, kCancel};
    }
    void choose(const std::string& choice) override;

    const std::string& fileName() const { return fileName_; }
    Answer answer() const { return answer_; }

  private:
    std::string fileName_;
    Answer answer_ = Answer::Cancel;
};

// Shows the dialog modally for one file and returns the button pressed.
UploadFileDialog::Answer confirmUploadFile(Ui& ui, const std::string& fileName);

}  // namespace zamel
