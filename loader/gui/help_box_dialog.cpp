#include "help_box_dialog.h"

#include <QStyle>

#include "help_texts.h"
#include "mnemonic_text.h"
#include "ui_help_box.h"
#include "windows1252.h"

namespace zamel {

HelpBoxDialog::HelpBoxDialog(const HelpBox& box, Icon icon, QWidget* parent)
    : QDialog(parent), ui_(std::make_unique<::Ui::HelpBox>()) {
    ui_->setupUi(this);
    setWindowTitle(fromWindows1252(box.title));
    ui_->textLabel->setText(
        mnemonicRichText(fromWindows1252(box.text),
                         style()->styleHint(QStyle::SH_UnderlineShortcut, nullptr, this)));
    ui_->iconLabel->setVisible(icon == Icon::Shown);
}

HelpBoxDialog::~HelpBoxDialog() = default;

}  // namespace zamel
