#include "about_dialog.h"

#include "ui_about_dialog.h"

namespace tagwright {

AboutDialog::AboutDialog(QWidget* parent)
    : QDialog(parent), ui_(std::make_unique<Ui::AboutDialog>()) {
    ui_->setupUi(this);
}

AboutDialog::~AboutDialog() = default;

}  // namespace tagwright
