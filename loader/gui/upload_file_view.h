#pragma once

#include <memory>

#include "dialog_view.h"

namespace Ui {
class UploadFileView;
}

namespace zamel {

class DialogHost;
class UploadFileDialog;

// "UPLOAD FILE": the file about to be sent, the radio-style buttons "Upload File"
// (Enter) and "Change file", and "Cancel".
class UploadFileView final : public DialogView {
  public:
    UploadFileView(UploadFileDialog& dialog, DialogHost& host);
    ~UploadFileView() override;

    void refresh() override;
    QAbstractButton* enterButton() const override;

  private:
    UploadFileDialog& dialog_;
    std::unique_ptr<::Ui::UploadFileView> ui_;
};

}  // namespace zamel
