#pragma once

#include <memory>

#include "dialog_view.h"

namespace Ui {
class ConnectView;
}

namespace zamel {

class DialogHost;
class ConnectDialog;

// The connect dialog: the port and rate being tried, "Power on GPS unit", "Cancel".
class ConnectView final : public DialogView {
  public:
    ConnectView(ConnectDialog& dialog, DialogHost& host);
    ~ConnectView() override;

    void refresh() override;

  private:
    ConnectDialog& dialog_;
    std::unique_ptr<::Ui::ConnectView> ui_;
};

}  // namespace zamel
