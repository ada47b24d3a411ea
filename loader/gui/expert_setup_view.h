#pragma once

#include <QList>
#include <memory>

#include "dialog_view.h"

#include <QRadioButton>

namespace Ui {
class ExpertSetupView;
}

namespace zamel {

class DialogHost;
class ExpertSetupDialog;

// "Expert Setup": the "Unit Type", "Com Port" (with the port number beside "COM")
// and "Expert Upload" groups, "Save", "Cancel", "OK" (the default) and the
// disabled "Non-Standard Baud Rates". The choices are handed to the controller
// before "OK" or "Save" runs.
class ExpertSetupView final : public DialogView {
  public:
    ExpertSetupView(ExpertSetupDialog& dialog, DialogHost& host);
    ~ExpertSetupView() override;

    void refresh() override;

  private:
    void handChoicesOver();

    ExpertSetupDialog& dialog_;
    std::unique_ptr<::Ui::ExpertSetupView> ui_;
    QList<QRadioButton*> unitButtons_;
    QList<QRadioButton*> portButtons_;
    QList<QRadioButton*> expertButtons_;
};

}  // namespace zamel
