#pragma once

#include <memory>
#include <string>

#include "dialog_view.h"

namespace Ui {
class UploadStatusView;
}

namespace zamel {

class DialogHost;

// The fields of an upload dialog that its window shows, borrowed from the
// controller: the flash uploads and the legacy upload name theirs differently.
struct UploadStatusFields {
    const std::string& fileText;
    const std::string& statusText;
    const std::string& percentText;
    const int& progress;
};

// An upload in progress: the file being sent, the "Status" line, the progress bar
// with the percentage beside it, the controller's notice when the receiver does not
// answer, and "Cancel".
class UploadStatusView final : public DialogView {
  public:
    UploadStatusView(UploadStatusFields fields, DialogHost& host);
    ~UploadStatusView() override;

    void refresh() override;

  private:
    DialogHost& host_;
    UploadStatusFields fields_;
    std::unique_ptr<::Ui::UploadStatusView> ui_;
};

}  // namespace zamel
