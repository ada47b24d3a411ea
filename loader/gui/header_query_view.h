#pragma once

#include <memory>

#include "dialog_view.h"

namespace Ui {
class HeaderQueryView;
}

namespace zamel {

class DialogHost;
class HeaderQueryDialog;

// The header query dialog: model and port, the time elapsed, "Cancel".
class HeaderQueryView final : public DialogView {
  public:
    HeaderQueryView(HeaderQueryDialog& dialog, DialogHost& host);
    ~HeaderQueryView() override;

    void refresh() override;

  private:
    HeaderQueryDialog& dialog_;
    std::unique_ptr<::Ui::HeaderQueryView> ui_;
};

}  // namespace zamel
