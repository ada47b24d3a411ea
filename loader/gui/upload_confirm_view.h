#pragma once

#include <memory>

#include "dialog_view.h"

namespace Ui {
class UploadConfirmView;
}

namespace zamel {

class DialogHost;
class UploadConfirmDialog;

// "Upload": the line naming what the automatic upload brings, the question, "YES"
// (the default) and "NO".
class UploadConfirmView final : public DialogView {
  public:
    UploadConfirmView(UploadConfirmDialog& dialog, DialogHost& host);
    ~UploadConfirmView() override;

    void refresh() override;

  private:
    UploadConfirmDialog& dialog_;
    std::unique_ptr<::Ui::UploadConfirmView> ui_;
};

}  // namespace zamel
