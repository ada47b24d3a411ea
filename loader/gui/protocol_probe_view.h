#pragma once

#include <memory>

#include "dialog_view.h"

namespace Ui {
class ProtocolProbeView;
}

namespace zamel {

class DialogHost;
class ProtocolProbeDialog;

// The boot-loader probe: what to do if the unit leaves its upload mode, model and
// port, the time elapsed, "Cancel".
class ProtocolProbeView final : public DialogView {
  public:
    ProtocolProbeView(ProtocolProbeDialog& dialog, DialogHost& host);
    ~ProtocolProbeView() override;

    void refresh() override;

  private:
    ProtocolProbeDialog& dialog_;
    std::unique_ptr<::Ui::ProtocolProbeView> ui_;
};

}  // namespace zamel
